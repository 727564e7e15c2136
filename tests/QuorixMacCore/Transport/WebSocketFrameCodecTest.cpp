#include "QuorixMacCore/Transport/WebSocketFrameCodec.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>

using namespace quorix;
namespace Codec = quorix::WebSocketFrameCodec;

namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray result;
    for (const int value : values) {
        result.append(char(value));
    }
    return result;
}

// The masked "Hello" of RFC 6455, section 5.7.
const QByteArray maskedHello =
    bytes({0x81, 0x85, 0x37, 0xfa, 0x21, 0x3d, 0x7f, 0x9f, 0x4d, 0x51, 0x58});
constexpr std::uint32_t helloMask = 0x37fa213d;
constexpr QByteArrayView sampleKey = "dGhlIHNhbXBsZSBub25jZQ==";

QByteArray binaryFrameFromClient(const QByteArray& payload) {
    return Codec::clientFrame(std::uint8_t(WebSocketOpcode::binary), payload, 0x12345678);
}

} // namespace

TEST(WebSocketFrameCodec, speaksBothSidesOfTheSampleHandshakeOfTheRFC) {
    const QByteArray request =
        Codec::clientHandshakeRequest("server.example.com", sampleKey, "/chat");
    EXPECT_EQ(request, QByteArray("GET /chat HTTP/1.1\r\n"
                                  "Host: server.example.com\r\n"
                                  "Upgrade: websocket\r\n"
                                  "Connection: Upgrade\r\n"
                                  "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                  "Sec-WebSocket-Version: 13\r\n\r\n"));
    const std::optional<QByteArray> answer = Codec::handshakeResponse(request);
    EXPECT_EQ(answer, QByteArray("HTTP/1.1 101 Switching Protocols\r\n"
                                 "Upgrade: websocket\r\n"
                                 "Connection: Upgrade\r\n"
                                 "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n"));
    EXPECT_EQ(Codec::checkHandshakeAnswer(answer.value_or(""), sampleKey), std::nullopt);
}

TEST(WebSocketFrameCodec, findsTheKeyLineInAnyLetterCaseAndTrimsItsValue) {
    const std::pair<const char*, bool> requests[] = {
        {"GET / HTTP/1.1\r\nSEC-WEBSOCKET-KEY:   dGhlIHNhbXBsZSBub25jZQ== \t\r\n\r\n", true},
        {"sec-websocket-key:dGhlIHNhbXBsZSBub25jZQ==", true},
        // The first matching line wins.
        {"GET / HTTP/1.1\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
         "Sec-WebSocket-Key: other\r\n\r\n",
         true},
        {"GET / HTTP/1.1\r\nHost: x\r\n\r\n", false},
        {"GET / HTTP/1.1\r\nX-Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n", false},
        {"GET / HTTP/1.1\r\nSec-WebSocket-Key dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n", false},
    };
    for (const auto& [request, answered] : requests) {
        EXPECT_EQ(Codec::handshakeResponse(request).value_or("").endsWith(
                      "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n"),
                  answered)
            << request;
    }
}

TEST(WebSocketFrameCodec, aClientGoesOnOnlyAfterASwitchWithTheMatchingAccept) {
    using enum WebSocketHandshakeError;
    const std::pair<const char*, std::optional<WebSocketHandshakeError>> answers[] = {
        {"HTTP/1.1 101 OK\r\nsec-websocket-accept:  s3pPLMBiTxaQ9kYGzzhZRbK+xOo= \r\n\r\n",
         std::nullopt},
        {"HTTP/1.1 200 OK\r\nSec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n",
         notSwitchingProtocols},
        {"HTTP/1.1 101 OK\r\nSec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOp=\r\n\r\n",
         wrongAccept},
    };
    for (const auto& [answer, problem] : answers) {
        EXPECT_EQ(Codec::checkHandshakeAnswer(answer, sampleKey), problem) << answer;
    }
}

TEST(WebSocketFrameCodec, writesEachLengthEncodingAtItsBoundariesForBothSides) {
    struct Case {
        qsizetype length;
        QByteArray header;
    };
    const Case cases[] = {
        {0, bytes({0x82, 0x00})},
        {125, bytes({0x82, 125})},
        {126, bytes({0x82, 126, 0x00, 0x7E})},
        {65535, bytes({0x82, 126, 0xFF, 0xFF})},
        {65536, bytes({0x82, 127, 0, 0, 0, 0, 0, 0x01, 0x00, 0x00})},
    };
    for (const Case& c : cases) {
        const QByteArray payload(c.length, 'x');
        const QByteArray frame = Codec::frame(WebSocketOpcode::binary, payload);
        EXPECT_EQ(frame, c.header + payload) << c.length;
        // What follows a frame in the buffer is left for the next call.
        EXPECT_EQ(Codec::parseFrame(frame + "\x89"),
                  (ParsedWebSocketFrame{{WebSocketOpcode::binary, payload}, frame.size()}));

        QByteArray maskedHeader = c.header;
        maskedHeader[1] = char(maskedHeader[1] | 0x80);
        const QByteArray fromClient = binaryFrameFromClient(payload);
        EXPECT_TRUE(fromClient.startsWith(maskedHeader + bytes({0x12, 0x34, 0x56, 0x78})));
        EXPECT_EQ(Codec::parseFrame(fromClient),
                  (ParsedWebSocketFrame{{WebSocketOpcode::binary, payload}, fromClient.size()}));
    }
    EXPECT_EQ(Codec::frame(WebSocketOpcode::close, {}), bytes({0x88, 0x00}));
    EXPECT_EQ(Codec::frame(WebSocketOpcode::pong, "Hi"), bytes({0x8A, 2, 'H', 'i'}));
}

TEST(WebSocketFrameCodec, masksAndUnmasksTheHelloOfTheRFC) {
    EXPECT_EQ(Codec::clientFrame(0x1, "Hello", helloMask), maskedHello);
    EXPECT_EQ(Codec::parseFrame(maskedHello),
              (ParsedWebSocketFrame{{WebSocketOpcode::text, "Hello"}, 11}));
    const QByteArray unmasked = bytes({0x81, 0x05, 0x48, 0x65, 0x6c, 0x6c, 0x6f});
    EXPECT_EQ(Codec::readServerFrame(unmasked).value(),
              (ParsedWebSocketFrame{{WebSocketOpcode::text, "Hello"}, 7}));
    // A client refuses a masked frame from its first two bytes on.
    const auto masked = Codec::readServerFrame(maskedHello.first(2));
    ASSERT_FALSE(masked.hasValue());
    EXPECT_EQ(description(masked.error()), "The WebSocket server sent a masked frame.");
}

TEST(WebSocketFrameCodec, everyPrefixOfAMaskedFrameYieldsNothingAndTheWholeUnmasks) {
    for (const qsizetype length : {qsizetype(5), qsizetype(203), qsizetype(70000)}) {
        QByteArray payload(length, Qt::Uninitialized);
        for (qsizetype i = 0; i < length; ++i) {
            payload[i] = char(i % 251);
        }
        const QByteArray frame = binaryFrameFromClient(payload);
        for (qsizetype prefix = 0; prefix < frame.size(); ++prefix) {
            const auto result = Codec::readFrame(QByteArrayView(frame).first(prefix));
            ASSERT_TRUE(result.hasValue()) << length << " " << prefix;
            ASSERT_FALSE(result.value().has_value()) << length << " " << prefix;
        }
        const auto whole = Codec::parseFrame(frame);
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole->frame.payload, payload);
        EXPECT_EQ(whole->consumed, frame.size());
    }
}

TEST(WebSocketFrameCodec, refusesFramesThatCanNeverBeReadAndTakesOneOfExactlyTheLimit) {
    struct Case {
        const char* name;
        QByteArray buffer;
        qsizetype maxPayload;
        WebSocketFrameError error;
        const char* description;
    };
    const Case cases[] = {
        {"opcode 0xF with FIN clear", bytes({0x0F, 0x80}), 1024,
         WebSocketFrameError::reservedOpcode, "The WebSocket frame uses a reserved opcode."},
        {"64-bit length with its top bit set", bytes({0x82, 127, 0x80, 0, 0, 0, 0, 0, 0, 0x01}),
         Codec::maxPayloadLength, WebSocketFrameError::lengthOutOfRange,
         "The WebSocket frame announces a length with its most significant bit set."},
        {"one byte over the limit, header only", bytes({0x82, 126, 0x04, 0x01}), 1024,
         WebSocketFrameError::frameTooLarge,
         "The WebSocket frame is larger than the accepted maximum."},
        // Control frames are judged on their first two bytes, whatever the limit.
        {"a ping of 126 bytes", bytes({0x89, 126}), Codec::maxPayloadLength,
         WebSocketFrameError::oversizedControlFrame,
         "The WebSocket control frame is longer than 125 bytes."},
        {"a masked close announcing 2^32 bytes", bytes({0x88, 0x80 | 127}), Codec::maxPayloadLength,
         WebSocketFrameError::oversizedControlFrame,
         "The WebSocket control frame is longer than 125 bytes."},
        {"a pong with FIN clear", bytes({0x0A, 0x00}), Codec::maxPayloadLength,
         WebSocketFrameError::fragmentedControlFrame, "The WebSocket control frame is fragmented."},
    };
    for (const Case& c : cases) {
        const auto result = Codec::readFrame(c.buffer, c.maxPayload);
        ASSERT_FALSE(result.hasValue()) << c.name;
        EXPECT_EQ(result.error(), c.error) << c.name;
        EXPECT_EQ(description(result.error()), c.description) << c.name;
        EXPECT_FALSE(Codec::parseFrame(c.buffer)) << c.name;
    }
    for (int raw = 0; raw <= 0xF; ++raw) {
        const bool known = raw <= 0x2 || (raw >= 0x8 && raw <= 0xA);
        EXPECT_EQ(Codec::readFrame(bytes({0x80 | raw, 0x00})).hasValue(), known) << raw;
    }
    // Data frames without FIN, and control frames of exactly 125 bytes, are read.
    EXPECT_TRUE(Codec::readFrame(bytes({0x01, 0x00})).value());
    EXPECT_TRUE(
        Codec::readFrame(Codec::frame(WebSocketOpcode::ping, QByteArray(125, 'p'))).value());
    const QByteArray atLimit = Codec::frame(WebSocketOpcode::binary, QByteArray(1024, 'z'));
    ASSERT_TRUE(Codec::readFrame(atLimit, 1024).hasValue());
    EXPECT_TRUE(Codec::readFrame(atLimit, 1024).value());
}

TEST(WebSocketFrameCodec, waitsWithoutOverflowForTheLargestLegalLength) {
    // 2^63 - 1 plus the header does not fit a signed 64-bit size.
    for (const int maskBit : {0x00, 0x80}) {
        const QByteArray header = bytes(
            {0x82, 127 | maskBit, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4});
        EXPECT_FALSE(Codec::parseFrame(header + "partial payload")) << maskBit;
    }
}
