#include "QuorixMacCore/Transport/WebSocketFrameCodec.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>

using namespace quorix;

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

// A masked client frame of `length` bytes, as a phone would send it.
QByteArray maskedClientFrame(WebSocketOpcode opcode, const QByteArray& payload) {
    QByteArray frame = WebSocketFrameCodec::frame(opcode, payload);
    const qsizetype headerLength = frame.size() - payload.size();
    frame[1] = char(frame[1] | 0x80);
    const QByteArray key = bytes({0x12, 0x34, 0x56, 0x78});
    frame.insert(headerLength, key);
    for (qsizetype i = 0; i < payload.size(); ++i) {
        frame[headerLength + 4 + i] = char(payload[i] ^ key[i % 4]);
    }
    return frame;
}

} // namespace

TEST(WebSocketFrameCodec, answersTheSampleHandshakeOfTheRFC) {
    const QByteArray request = "GET /chat HTTP/1.1\r\n"
                               "Host: server.example.com\r\n"
                               "Upgrade: websocket\r\n"
                               "Connection: Upgrade\r\n"
                               "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                               "Sec-WebSocket-Version: 13\r\n\r\n";
    EXPECT_EQ(WebSocketFrameCodec::handshakeResponse(request),
              QByteArray("HTTP/1.1 101 Switching Protocols\r\n"
                         "Upgrade: websocket\r\n"
                         "Connection: Upgrade\r\n"
                         "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n"));
}

TEST(WebSocketFrameCodec, findsTheKeyLineInAnyLetterCaseAndTrimsItsValue) {
    struct Case {
        const char* request;
        std::optional<QByteArray> accept;
    };
    const Case cases[] = {
        {"GET / HTTP/1.1\r\nSEC-WEBSOCKET-KEY:   dGhlIHNhbXBsZSBub25jZQ== \t\r\n\r\n",
         "s3pPLMBiTxaQ9kYGzzhZRbK+xOo="},
        {"sec-websocket-key:dGhlIHNhbXBsZSBub25jZQ==", "s3pPLMBiTxaQ9kYGzzhZRbK+xOo="},
        // The first matching line wins.
        {"GET / HTTP/1.1\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
         "Sec-WebSocket-Key: other\r\n\r\n",
         "s3pPLMBiTxaQ9kYGzzhZRbK+xOo="},
        {"GET / HTTP/1.1\r\nHost: x\r\n\r\n", std::nullopt},
        {"GET / HTTP/1.1\r\nX-Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n", std::nullopt},
        {"GET / HTTP/1.1\r\nSec-WebSocket-Key dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<QByteArray> response =
            WebSocketFrameCodec::handshakeResponse(c.request);
        ASSERT_EQ(response.has_value(), c.accept.has_value()) << c.request;
        if (c.accept) {
            EXPECT_TRUE(response->endsWith("Sec-WebSocket-Accept: " + *c.accept + "\r\n\r\n"))
                << c.request;
        }
    }
}

TEST(WebSocketFrameCodec, readsExactlyTheSixOpcodes) {
    for (int raw = 0; raw <= 0xFF; ++raw) {
        const bool known = raw <= 0x2 || (raw >= 0x8 && raw <= 0xA);
        const std::optional<WebSocketOpcode> opcode = webSocketOpcode(std::uint8_t(raw));
        ASSERT_EQ(opcode.has_value(), known) << raw;
        if (known) {
            EXPECT_EQ(std::uint8_t(*opcode), raw);
        }
    }
}

TEST(WebSocketFrameCodec, writesEachLengthEncodingAtItsBoundaries) {
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
        const QByteArray frame = WebSocketFrameCodec::frame(WebSocketOpcode::binary, payload);
        EXPECT_EQ(frame.first(c.header.size()), c.header) << c.length;
        EXPECT_EQ(frame.size(), c.header.size() + c.length);

        const auto parsed = WebSocketFrameCodec::parseFrame(frame);
        ASSERT_TRUE(parsed) << c.length;
        EXPECT_EQ(parsed->frame, (WebSocketFrame{WebSocketOpcode::binary, payload}));
        EXPECT_EQ(parsed->consumed, frame.size());
    }
}

TEST(WebSocketFrameCodec, writesEveryOpcodeAsAFinalUnmaskedFrame) {
    EXPECT_EQ(WebSocketFrameCodec::frame(WebSocketOpcode::close, {}), bytes({0x88, 0x00}));
    EXPECT_EQ(WebSocketFrameCodec::frame(WebSocketOpcode::text, "Hi"), bytes({0x81, 2, 'H', 'i'}));
    const std::pair<WebSocketOpcode, int> firstBytes[] = {
        {WebSocketOpcode::continuation, 0x80}, {WebSocketOpcode::text, 0x81},
        {WebSocketOpcode::binary, 0x82},       {WebSocketOpcode::close, 0x88},
        {WebSocketOpcode::ping, 0x89},         {WebSocketOpcode::pong, 0x8A},
    };
    for (const auto& [opcode, firstByte] : firstBytes) {
        EXPECT_EQ(std::uint8_t(WebSocketFrameCodec::frame(opcode, "x")[0]), firstByte);
    }
}

TEST(WebSocketFrameCodec, unmasksTheHelloOfTheRFC) {
    const auto parsed = WebSocketFrameCodec::parseFrame(maskedHello);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->frame, (WebSocketFrame{WebSocketOpcode::text, "Hello"}));
    EXPECT_EQ(parsed->consumed, 11);

    const auto unmasked =
        WebSocketFrameCodec::parseFrame(bytes({0x81, 0x05, 0x48, 0x65, 0x6c, 0x6c, 0x6f}));
    ASSERT_TRUE(unmasked);
    EXPECT_EQ(unmasked->frame.payload, "Hello");
}

TEST(WebSocketFrameCodec, everyPrefixOfAMaskedFrameYieldsNothingAndTheWholeUnmasks) {
    for (const qsizetype length : {qsizetype(5), qsizetype(203), qsizetype(70000)}) {
        QByteArray payload(length, Qt::Uninitialized);
        for (qsizetype i = 0; i < length; ++i) {
            payload[i] = char(i % 251);
        }
        const QByteArray frame = maskedClientFrame(WebSocketOpcode::binary, payload);
        for (qsizetype prefix = 0; prefix < frame.size(); ++prefix) {
            const auto result = WebSocketFrameCodec::readFrame(frame.first(prefix));
            ASSERT_TRUE(result.hasValue()) << length << " " << prefix;
            ASSERT_FALSE(result.value().has_value()) << length << " " << prefix;
        }
        const auto whole = WebSocketFrameCodec::parseFrame(frame);
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole->frame.payload, payload);
        EXPECT_EQ(whole->consumed, frame.size());
    }
}

TEST(WebSocketFrameCodec, leavesTheRestOfABufferForTheNextCall) {
    const QByteArray second = maskedClientFrame(WebSocketOpcode::ping, "second");
    QByteArray buffer = maskedHello + second.first(second.size() / 2);

    const auto first = WebSocketFrameCodec::parseFrame(buffer);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->frame.payload, "Hello");
    ASSERT_EQ(first->consumed, maskedHello.size());

    buffer.remove(0, first->consumed);
    EXPECT_FALSE(WebSocketFrameCodec::parseFrame(buffer));
    buffer += second.sliced(second.size() / 2);
    const auto next = WebSocketFrameCodec::parseFrame(buffer);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->frame, (WebSocketFrame{WebSocketOpcode::ping, "second"}));
    EXPECT_EQ(next->consumed, buffer.size());
}

TEST(WebSocketFrameCodec, refusesFramesThatCanNeverBeRead) {
    struct Case {
        const char* name;
        QByteArray buffer;
        qsizetype maxPayload;
        WebSocketFrameError error;
        const char* description;
    };
    const Case cases[] = {
        {"opcode 0x3", bytes({0x83, 0x00}), 1024, WebSocketFrameError::reservedOpcode,
         "The WebSocket frame uses a reserved opcode."},
        {"opcode 0xF with FIN clear", bytes({0x0F, 0x80}), 1024,
         WebSocketFrameError::reservedOpcode, "The WebSocket frame uses a reserved opcode."},
        {"64-bit length with its top bit set", bytes({0x82, 127, 0x80, 0, 0, 0, 0, 0, 0, 0x01}),
         WebSocketFrameCodec::maxPayloadLength, WebSocketFrameError::lengthOutOfRange,
         "The WebSocket frame announces a length with its most significant bit set."},
        {"one byte over the limit, header only", bytes({0x82, 126, 0x04, 0x01}), 1024,
         WebSocketFrameError::frameTooLarge,
         "The WebSocket frame is larger than the accepted maximum."},
    };
    for (const Case& c : cases) {
        const auto result = WebSocketFrameCodec::readFrame(c.buffer, c.maxPayload);
        ASSERT_FALSE(result.hasValue()) << c.name;
        EXPECT_EQ(result.error(), c.error) << c.name;
        EXPECT_EQ(description(result.error()), c.description) << c.name;
        EXPECT_FALSE(WebSocketFrameCodec::parseFrame(c.buffer)) << c.name;
    }
    for (int raw : {0x3, 0x4, 0x5, 0x6, 0x7, 0xB, 0xC, 0xD, 0xE, 0xF}) {
        EXPECT_FALSE(WebSocketFrameCodec::parseFrame(bytes({0x80 | raw, 0x00}))) << raw;
    }
}

TEST(WebSocketFrameCodec, acceptsAFrameOfExactlyTheLimit) {
    const QByteArray frame =
        WebSocketFrameCodec::frame(WebSocketOpcode::binary, QByteArray(1024, 'z'));
    const auto result = WebSocketFrameCodec::readFrame(frame, 1024);
    ASSERT_TRUE(result.hasValue());
    ASSERT_TRUE(result.value());
    EXPECT_EQ(result.value()->consumed, frame.size());
}

TEST(WebSocketFrameCodec, waitsWithoutOverflowForTheLargestLegalLength) {
    // 2^63 - 1 plus the header does not fit a signed 64-bit size.
    for (const int maskBit : {0x00, 0x80}) {
        const QByteArray header = bytes(
            {0x82, 127 | maskBit, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4});
        EXPECT_FALSE(WebSocketFrameCodec::parseFrame(header + "partial payload")) << maskBit;
    }
}
