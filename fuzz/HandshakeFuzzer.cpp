#include "FuzzSupport.h"
#include "QuorixMacCore/Transport/WebSocketFrameCodec.h"

namespace {

using namespace quorix;
using fuzz::require;

// The sample key of RFC 6455 and its accept value.
constexpr QByteArrayView sampleKey = "dGhlIHNhbXBsZSBub25jZQ==";
constexpr QByteArrayView sampleAccept = "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=";
constexpr QByteArrayView responseStart = "HTTP/1.1 101 Switching Protocols\r\n"
                                         "Upgrade: websocket\r\n"
                                         "Connection: Upgrade\r\n"
                                         "Sec-WebSocket-Accept: ";
// Base64 of a SHA-1 digest, then the end of the header.
constexpr qsizetype responseLength = responseStart.size() + 28 + 4;

void checkResponse(const QByteArray& response) {
    require(response.startsWith(responseStart) && response.endsWith("\r\n\r\n") &&
                response.size() == responseLength,
            "a response is the fixed header with one accept value");
}

} // namespace

// The input is a header block as a phone might send it, and the server's answer as a
// client might read it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));

    if (const std::optional<QByteArray> response = WebSocketFrameCodec::handshakeResponse(input)) {
        checkResponse(*response);
    }

    // Whatever follows, the first key line is the one answered.
    const QByteArray request = "GET / HTTP/1.1\r\nSec-WebSocket-Key: " + sampleKey.toByteArray() +
                               "\r\n" + input.toByteArray();
    const std::optional<QByteArray> response = WebSocketFrameCodec::handshakeResponse(request);
    require(response.has_value(), "a request with a key is answered");
    checkResponse(*response);
    require(response->chopped(4).endsWith(sampleAccept), "the first key is answered");
    require(!WebSocketFrameCodec::checkHandshakeAnswer(*response, sampleKey).has_value(),
            "a client accepts the answer to its key");

    // An answer that starts right but carries anything else never crashes the client.
    (void)WebSocketFrameCodec::checkHandshakeAnswer(input, sampleKey);
    return 0;
}
