#include "RoundTrip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quorix::fuzz::requireRoundTrip(data, size, [](std::string_view bytes) {
        return quorix::ProtocolJSON::decodeLayout(bytes);
    });
    return 0;
}
