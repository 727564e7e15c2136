#pragma once

#include "QuorixProtocol/Foundation.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>

namespace quorix {

enum class WebSocketOpcode : std::uint8_t {
    continuation = 0x0,
    text = 0x1,
    binary = 0x2,
    close = 0x8,
    ping = 0x9,
    pong = 0xA,
};

/// The opcode with that raw value; nothing for the reserved values 0x3-0x7 and 0xB-0xF
/// (and anything above 0xF).
std::optional<WebSocketOpcode> webSocketOpcode(std::uint8_t rawValue);

struct WebSocketFrame {
    WebSocketOpcode opcode = WebSocketOpcode::text;
    /// Already unmasked.
    QByteArray payload;

    bool operator==(const WebSocketFrame&) const = default;
};

/// A frame read from the front of a buffer and the number of bytes it occupied there.
struct ParsedWebSocketFrame {
    WebSocketFrame frame;
    qsizetype consumed = 0;

    bool operator==(const ParsedWebSocketFrame&) const = default;
};

/// What the header at the front of a buffer announces.
struct WebSocketFrameHeader {
    WebSocketOpcode opcode = WebSocketOpcode::text;
    /// Bytes of the header, masking key included.
    qsizetype headerLength = 0;
    qsizetype payloadLength = 0;

    bool operator==(const WebSocketFrameHeader&) const = default;
};

/// Why the front of a buffer can never become a frame; the connection cannot go on.
enum class WebSocketFrameError {
    reservedOpcode,
    lengthOutOfRange,
    frameTooLarge,
    /// A close, ping or pong frame longer than 125 bytes (RFC 6455 section 5.5).
    oversizedControlFrame,
    /// A close, ping or pong frame without its final bit (RFC 6455 section 5.5).
    fragmentedControlFrame,
    /// Only a client reports this: server frames are never masked.
    maskedServerFrame,
};

/// A fixed English description of the error.
std::string_view description(WebSocketFrameError error);

/// Why a client must not go on after the server's answer to its opening request.
enum class WebSocketHandshakeError {
    notSwitchingProtocols,
    wrongAccept,
};

/// The byte level of RFC 6455 for both sides: the opening handshake, frames, and frames cut
/// from the front of a receive buffer. No extensions, subprotocols or fragmentation. Every
/// function is pure.
namespace WebSocketFrameCodec {

inline constexpr std::string_view handshakeGUID = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";

/// The largest payload `readFrame` accepts by default. Layouts with many custom icons are
/// large, so the limit is generous; it still bounds what one phone can make us buffer.
inline constexpr qsizetype maxPayloadLength = 64 * 1024 * 1024;

/// The "Sec-WebSocket-Accept" value for a key: Base64 of SHA-1 over key + GUID.
QByteArray acceptValue(QByteArrayView key);

/// The complete "101 Switching Protocols" answer to a request header block (UTF-8 text),
/// or nothing when it has no "Sec-WebSocket-Key" line. Nothing else of the request is
/// examined.
std::optional<QByteArray> handshakeResponse(QByteArrayView request);

/// One complete, final, unmasked server frame.
QByteArray frame(WebSocketOpcode opcode, QByteArrayView payload);
/// One complete, final, unmasked server frame whose payload is the parts one after another,
/// written without joining them first.
QByteArray frame(WebSocketOpcode opcode, std::initializer_list<QByteArrayView> payloadParts);

/// The first frame at the front of the buffer (masked or not), nothing while the buffer
/// holds only part of one, or the error that makes the front unreadable. A frame announcing
/// more than `maxPayload` bytes, and a control frame that is fragmented or longer than 125
/// bytes, fail as soon as their header is in, before the payload is buffered. The buffer is
/// not changed; the caller removes the consumed bytes.
Expected<std::optional<ParsedWebSocketFrame>, WebSocketFrameError>
readFrame(QByteArrayView buffer, qsizetype maxPayload = maxPayloadLength);

/// The header of the first frame at the front of the buffer, nothing while the buffer holds
/// only part of the header, or the error `readFrame` reports for that front. Tells how many
/// bytes the whole frame needs without copying or unmasking its payload.
Expected<std::optional<WebSocketFrameHeader>, WebSocketFrameError>
readFrameHeader(QByteArrayView buffer, qsizetype maxPayload = maxPayloadLength);

/// The payload of the whole frame at `frameStart` in `buffer`, whose header is `header`,
/// unmasked where it lies. For a frame of megabytes whose bytes the caller owns: nothing is
/// copied.
QByteArrayView unmaskedPayload(QByteArray& buffer, qsizetype frameStart,
                               const WebSocketFrameHeader& header);

/// As `readFrame` without a size limit, where an unreadable front gives nothing just like
/// an incomplete frame.
std::optional<ParsedWebSocketFrame> parseFrame(QByteArrayView buffer);

/// The opening request a client sends with `key` (Base64 of 16 random bytes).
QByteArray clientHandshakeRequest(QByteArrayView host, QByteArrayView key,
                                  QByteArrayView path = "/");

/// What is wrong with a server's complete answer header to the request made with `key`:
/// it must have status 101 and the matching "Sec-WebSocket-Accept" (name in any letter case).
std::optional<WebSocketHandshakeError> checkHandshakeAnswer(QByteArrayView answer,
                                                            QByteArrayView key);

/// One complete, final client frame masked with `maskKey` (its most significant byte goes
/// first). The opcode's low four bits are written as given, reserved values included.
QByteArray clientFrame(std::uint8_t opcode, QByteArrayView payload, std::uint32_t maskKey);

/// As `readFrame`, for a client: a masked frame fails with `maskedServerFrame` as soon as
/// its first two bytes are in.
Expected<std::optional<ParsedWebSocketFrame>, WebSocketFrameError>
readServerFrame(QByteArrayView buffer, qsizetype maxPayload = maxPayloadLength);

} // namespace WebSocketFrameCodec
} // namespace quorix
