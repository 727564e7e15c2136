#include "QuorixMacCore/Transport/WebSocketFrameCodec.h"

#include <QCryptographicHash>
#include <QString>

#include <array>
#include <cstring>
#include <limits>

namespace quorix {

namespace {

constexpr std::uint8_t finalFrameBit = 0x80;
constexpr std::uint8_t opcodeMask = 0x0F;
constexpr std::uint8_t maskBit = 0x80;
constexpr std::uint8_t lengthCodeMask = 0x7F;
constexpr std::uint8_t sixteenBitLengthCode = 126;
constexpr std::uint8_t sixtyFourBitLengthCode = 127;
constexpr std::uint64_t largestOneByteLength = 125;
constexpr std::uint64_t largestSixteenBitLength = 0xFFFF;
constexpr qsizetype maskingKeyLength = 4;
constexpr std::uint8_t firstControlOpcode = 0x8;
constexpr std::uint8_t largestControlPayload = 125;

constexpr std::array<WebSocketOpcode, 6> knownOpcodes = {
    WebSocketOpcode::continuation, WebSocketOpcode::text, WebSocketOpcode::binary,
    WebSocketOpcode::close,        WebSocketOpcode::ping, WebSocketOpcode::pong,
};

constexpr QByteArrayView keyHeaderName = "sec-websocket-key:";
constexpr QByteArrayView acceptHeaderName = "sec-websocket-accept:";

std::uint8_t byteAt(QByteArrayView buffer, qsizetype index) {
    return static_cast<std::uint8_t>(buffer[index]);
}

std::uint64_t bigEndian(QByteArrayView bytes) {
    std::uint64_t value = 0;
    for (const char byte : bytes) {
        value = (value << 8) | static_cast<std::uint8_t>(byte);
    }
    return value;
}

bool startsWithIgnoringCase(QByteArrayView line, QByteArrayView prefix) {
    return line.size() >= prefix.size() &&
           line.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

// XORs eight bytes at a time: layouts with icons arrive as frames of several megabytes,
// and all phones share the one thread that reads them.
void applyMask(char* data, qsizetype size, QByteArrayView key) {
    std::array<std::uint8_t, 8> pattern{};
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        pattern[i] = static_cast<std::uint8_t>(key[qsizetype(i % 4)]);
    }
    std::uint64_t wideKey = 0;
    std::memcpy(&wideKey, pattern.data(), sizeof wideKey);
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, data + i, sizeof word);
        word ^= wideKey;
        std::memcpy(data + i, &word, sizeof word);
    }
    for (; i < size; ++i) {
        data[i] = char(data[i] ^ char(pattern[std::size_t(i % 8)]));
    }
}

// The first byte and the length in its shortest encoding with the mask flag, in a buffer
// with room for the masking key and the payload that follow.
QByteArray frameHeader(std::uint8_t opcode, std::uint64_t length, std::uint8_t maskFlag) {
    QByteArray bytes;
    bytes.reserve(qsizetype(length) + 14);
    bytes.append(char(finalFrameBit | (opcode & opcodeMask)));
    int lengthBytes = 0;
    if (length <= largestOneByteLength) {
        bytes.append(char(maskFlag | length));
    } else if (length <= largestSixteenBitLength) {
        bytes.append(char(maskFlag | sixteenBitLengthCode));
        lengthBytes = 2;
    } else {
        bytes.append(char(maskFlag | sixtyFourBitLengthCode));
        lengthBytes = 8;
    }
    for (int shift = (lengthBytes - 1) * 8; shift >= 0; shift -= 8) {
        bytes.append(char((length >> shift) & 0xFF));
    }
    return bytes;
}

// The raw value of the first header line named `name` (lower case, colon included); lines
// end at CR LF only.
std::optional<QByteArrayView> headerValue(QByteArrayView header, QByteArrayView name) {
    qsizetype lineStart = 0;
    while (lineStart <= header.size()) {
        qsizetype lineEnd = header.indexOf(QByteArrayView("\r\n"), lineStart);
        if (lineEnd < 0) {
            lineEnd = header.size();
        }
        const QByteArrayView line = header.sliced(lineStart, lineEnd - lineStart);
        if (startsWithIgnoringCase(line, name)) {
            return line.sliced(name.size());
        }
        lineStart = lineEnd + 2;
    }
    return std::nullopt;
}

} // namespace

std::optional<WebSocketOpcode> webSocketOpcode(std::uint8_t rawValue) {
    for (const WebSocketOpcode opcode : knownOpcodes) {
        if (static_cast<std::uint8_t>(opcode) == rawValue) {
            return opcode;
        }
    }
    return std::nullopt;
}

std::string_view description(WebSocketFrameError error) {
    switch (error) {
    case WebSocketFrameError::reservedOpcode:
        return "The WebSocket frame uses a reserved opcode.";
    case WebSocketFrameError::lengthOutOfRange:
        return "The WebSocket frame announces a length with its most significant bit set.";
    case WebSocketFrameError::frameTooLarge:
        return "The WebSocket frame is larger than the accepted maximum.";
    case WebSocketFrameError::oversizedControlFrame:
        return "The WebSocket control frame is longer than 125 bytes.";
    case WebSocketFrameError::fragmentedControlFrame:
        return "The WebSocket control frame is fragmented.";
    case WebSocketFrameError::maskedServerFrame:
        return "The WebSocket server sent a masked frame.";
    }
    return {};
}

namespace WebSocketFrameCodec {

QByteArray acceptValue(QByteArrayView key) {
    QCryptographicHash sha1(QCryptographicHash::Sha1);
    sha1.addData(key);
    sha1.addData(QByteArrayView(handshakeGUID.data(), qsizetype(handshakeGUID.size())));
    return sha1.result().toBase64();
}

std::optional<QByteArray> handshakeResponse(QByteArrayView request) {
    const std::optional<QByteArrayView> rawKey = headerValue(request, keyHeaderName);
    if (!rawKey) {
        return std::nullopt;
    }
    // Trimmed as text, so that Unicode blanks around the value go too.
    const QString key = QString::fromUtf8(*rawKey).trimmed();
    QByteArray response = QByteArrayLiteral("HTTP/1.1 101 Switching Protocols\r\n"
                                            "Upgrade: websocket\r\n"
                                            "Connection: Upgrade\r\n"
                                            "Sec-WebSocket-Accept: ");
    response += acceptValue(key.toUtf8());
    response += "\r\n\r\n";
    return response;
}

QByteArray frame(WebSocketOpcode opcode, QByteArrayView payload) {
    return frame(opcode, {payload});
}

QByteArray frame(WebSocketOpcode opcode, std::initializer_list<QByteArrayView> payloadParts) {
    qsizetype length = 0;
    for (const QByteArrayView part : payloadParts) {
        length += part.size();
    }
    QByteArray bytes =
        frameHeader(static_cast<std::uint8_t>(opcode), static_cast<std::uint64_t>(length), 0);
    for (const QByteArrayView part : payloadParts) {
        bytes.append(part);
    }
    return bytes;
}

Expected<std::optional<WebSocketFrameHeader>, WebSocketFrameError>
readFrameHeader(QByteArrayView buffer, qsizetype maxPayload) {
    using Result = Expected<std::optional<WebSocketFrameHeader>, WebSocketFrameError>;
    const Result needMore{std::optional<WebSocketFrameHeader>{}};
    if (buffer.size() < 2) {
        return needMore;
    }
    const std::optional<WebSocketOpcode> opcode = webSocketOpcode(byteAt(buffer, 0) & opcodeMask);
    if (!opcode) {
        return WebSocketFrameError::reservedOpcode;
    }
    const bool masked = (byteAt(buffer, 1) & maskBit) != 0;
    const std::uint8_t lengthCode = byteAt(buffer, 1) & lengthCodeMask;
    // A control frame fits in the first two bytes' length and is never split, so a peer
    // cannot make one large: pongs answer pings byte for byte.
    if (static_cast<std::uint8_t>(*opcode) >= firstControlOpcode) {
        if ((byteAt(buffer, 0) & finalFrameBit) == 0) {
            return WebSocketFrameError::fragmentedControlFrame;
        }
        if (lengthCode > largestControlPayload) {
            return WebSocketFrameError::oversizedControlFrame;
        }
    }

    qsizetype headerLength = 2;
    std::uint64_t length = lengthCode;
    if (lengthCode == sixteenBitLengthCode) {
        headerLength = 4;
    } else if (lengthCode == sixtyFourBitLengthCode) {
        headerLength = 10;
    }
    if (buffer.size() < headerLength) {
        return needMore;
    }
    if (headerLength > 2) {
        length = bigEndian(buffer.sliced(2, headerLength - 2));
    }
    if (length >> 63 != 0) {
        return WebSocketFrameError::lengthOutOfRange;
    }
    if (length > static_cast<std::uint64_t>(maxPayload)) {
        return WebSocketFrameError::frameTooLarge;
    }
    if (masked) {
        headerLength += maskingKeyLength;
    }
    if (buffer.size() < headerLength) {
        return needMore;
    }
    return Result{WebSocketFrameHeader{*opcode, headerLength, static_cast<qsizetype>(length)}};
}

Expected<std::optional<ParsedWebSocketFrame>, WebSocketFrameError> readFrame(QByteArrayView buffer,
                                                                             qsizetype maxPayload) {
    using Result = Expected<std::optional<ParsedWebSocketFrame>, WebSocketFrameError>;
    const auto header = readFrameHeader(buffer, maxPayload);
    if (!header) {
        return header.error();
    }
    // Compared against what is left after the header, so that a length near 2^63 cannot
    // overflow the sum of header and payload.
    if (!header->has_value() ||
        buffer.size() - (*header)->headerLength < (*header)->payloadLength) {
        return Result{std::optional<ParsedWebSocketFrame>{}};
    }
    const auto [opcode, headerLength, payloadLength] = **header;
    QByteArray payload = buffer.sliced(headerLength, payloadLength).toByteArray();
    if ((byteAt(buffer, 1) & maskBit) != 0) {
        applyMask(payload.data(), payload.size(),
                  buffer.sliced(headerLength - maskingKeyLength, maskingKeyLength));
    }
    return Result{ParsedWebSocketFrame{WebSocketFrame{opcode, std::move(payload)},
                                       headerLength + payloadLength}};
}

QByteArrayView unmaskedPayload(QByteArray& buffer, qsizetype frameStart,
                               const WebSocketFrameHeader& header) {
    char* payload = buffer.data() + frameStart + header.headerLength;
    if ((byteAt(buffer, frameStart + 1) & maskBit) != 0) {
        const QByteArray key(payload - maskingKeyLength, maskingKeyLength);
        applyMask(payload, header.payloadLength, key);
    }
    return {payload, header.payloadLength};
}

std::optional<ParsedWebSocketFrame> parseFrame(QByteArrayView buffer) {
    auto result = readFrame(buffer, std::numeric_limits<qsizetype>::max());
    if (!result) {
        return std::nullopt;
    }
    return std::move(result).value();
}

QByteArray clientHandshakeRequest(QByteArrayView host, QByteArrayView key, QByteArrayView path) {
    QByteArray request = "GET " + path.toByteArray() + " HTTP/1.1\r\nHost: " + host.toByteArray();
    request += "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: ";
    request += key;
    request += "\r\nSec-WebSocket-Version: 13\r\n\r\n";
    return request;
}

std::optional<WebSocketHandshakeError> checkHandshakeAnswer(QByteArrayView answer,
                                                            QByteArrayView key) {
    if (!answer.startsWith("HTTP/1.1 101 ")) {
        return WebSocketHandshakeError::notSwitchingProtocols;
    }
    const std::optional<QByteArrayView> accept = headerValue(answer, acceptHeaderName);
    if (!accept || accept->trimmed() != acceptValue(key)) {
        return WebSocketHandshakeError::wrongAccept;
    }
    return std::nullopt;
}

QByteArray clientFrame(std::uint8_t opcode, QByteArrayView payload, std::uint32_t maskKey) {
    QByteArray bytes = frameHeader(opcode, static_cast<std::uint64_t>(payload.size()), maskBit);
    const char key[maskingKeyLength] = {char(maskKey >> 24), char(maskKey >> 16),
                                        char(maskKey >> 8), char(maskKey)};
    bytes.append(key, maskingKeyLength);
    const qsizetype start = bytes.size();
    bytes.append(payload);
    applyMask(bytes.data() + start, payload.size(), QByteArrayView(key, maskingKeyLength));
    return bytes;
}

Expected<std::optional<ParsedWebSocketFrame>, WebSocketFrameError>
readServerFrame(QByteArrayView buffer, qsizetype maxPayload) {
    if (buffer.size() >= 2 && (byteAt(buffer, 1) & maskBit) != 0) {
        return WebSocketFrameError::maskedServerFrame;
    }
    return readFrame(buffer, maxPayload);
}

} // namespace WebSocketFrameCodec
} // namespace quorix
