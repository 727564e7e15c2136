#include "FuzzSupport.h"
#include "QuorixMacCore/Transport/WebSocketFrameCodec.h"

#include <array>

namespace {

using namespace quorix;
using fuzz::require;

// The limits a session may run with: the boundaries of the three length encodings, and
// the default.
constexpr std::array<qsizetype, 6> limits{0,     125,   126,
                                          65535, 65536, WebSocketFrameCodec::maxPayloadLength};

void checkFrame(QByteArrayView buffer, qsizetype limit, const ParsedWebSocketFrame& parsed) {
    const WebSocketFrame& frame = parsed.frame;
    require(parsed.consumed >= 2 && parsed.consumed <= buffer.size(),
            "a frame lies inside the buffer");
    require(frame.payload.size() <= limit, "a frame keeps to the limit");
    require(WebSocketFrameCodec::parseFrame(buffer) == parsed,
            "the unlimited reader reads the same frame");

    const QByteArrayView exact = buffer.first(parsed.consumed);
    const auto alone = WebSocketFrameCodec::readFrame(exact, limit);
    require(alone && alone->has_value() && **alone == parsed, "a frame needs no byte after it");
    const auto cut = WebSocketFrameCodec::readFrame(exact.chopped(1), limit);
    require(cut && !cut->has_value(), "a frame missing its last byte needs more");

    const bool masked = (static_cast<std::uint8_t>(buffer[1]) & 0x80) != 0;
    const auto asClient = WebSocketFrameCodec::readServerFrame(buffer, limit);
    require(masked ? (!asClient && asClient.error() == WebSocketFrameError::maskedServerFrame)
                   : (asClient && *asClient == std::optional(parsed)),
            "a client reads unmasked frames alike and refuses masked ones");

    const QByteArray reframed = WebSocketFrameCodec::frame(frame.opcode, frame.payload);
    require(WebSocketFrameCodec::parseFrame(reframed) ==
                ParsedWebSocketFrame{frame, reframed.size()},
            "a server frame reads back");
    const QByteArray remasked = WebSocketFrameCodec::clientFrame(
        static_cast<std::uint8_t>(frame.opcode), frame.payload, 0xA5C30F81);
    require(WebSocketFrameCodec::parseFrame(remasked) ==
                ParsedWebSocketFrame{frame, remasked.size()},
            "a masked client frame reads back");

    // A frame sent the way the writers write it (final, no reserved bits, shortest length)
    // is, bit for bit, what they write for the frame that was read from it.
    const auto first = static_cast<std::uint8_t>(exact[0]);
    const qsizetype maskLength = masked ? 4 : 0;
    if (first != (0x80 | static_cast<std::uint8_t>(frame.opcode)) ||
        exact.size() != reframed.size() + maskLength) {
        return;
    }
    if (!masked) {
        require(exact == reframed, "an unmasked frame is what the server writes");
        return;
    }
    const QByteArrayView key = exact.sliced(exact.size() - frame.payload.size() - 4, 4);
    const auto keyByte = [&](qsizetype i) { return std::uint32_t(std::uint8_t(key[i])); };
    const std::uint32_t maskKey =
        keyByte(0) << 24 | keyByte(1) << 16 | keyByte(2) << 8 | keyByte(3);
    require(exact == WebSocketFrameCodec::clientFrame(first & 0x0F, frame.payload, maskKey),
            "a masked frame is what a client writes with its key");
}

} // namespace

// The first byte picks the limit; the rest is a receive buffer, cut into frames the way a
// session does until it needs more bytes or the front is unreadable.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const qsizetype limit = limits[data[0] % limits.size()];
    QByteArrayView buffer(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);
    while (true) {
        const auto result = WebSocketFrameCodec::readFrame(buffer, limit);
        if (!result) {
            // Only a size error may go away without the limit.
            if (result.error() != WebSocketFrameError::frameTooLarge) {
                require(!WebSocketFrameCodec::parseFrame(buffer).has_value(),
                        "an unreadable front is unreadable without a limit too");
            }
            return 0;
        }
        if (!result->has_value()) {
            return 0;
        }
        checkFrame(buffer, limit, **result);
        buffer = buffer.sliced((*result)->consumed);
    }
}
