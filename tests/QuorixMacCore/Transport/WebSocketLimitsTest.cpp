#include "QuorixMacCore/Support/WebSocketServerHarness.h"
#include "QuorixMacCore/Support/WebSocketTestClient.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace quorix {
namespace {

using testing::WebSocketServerHarness;
using testing::WebSocketTestClient;
using Client = QuorixClientMessage;
using Server = QuorixServerMessage;

const QByteArray closeFrame("\x88\x00", 2);

/// A phone that paired before the misbehaving client showed up must not notice it.
class WebSocketLimitsTest : public ::testing::Test {
protected:
    explicit WebSocketLimitsTest(WebSocketLimits limits = {})
        : harness(limits) {}

    void SetUp() override {
        port = harness.start();
        ASSERT_NE(port, 0);
        ASSERT_TRUE(phone.open(port));
        ASSERT_TRUE(phone.pair(harness.issueCode()));
    }

    void expectPhoneStillWorks() {
        const UUID buttonId = UUID::random();
        EXPECT_EQ(
            phone.exchange({Client::Execute{buttonId, ActionSpec::launchApp("org.example.term")}}),
            (Server{Server::ExecuteResult{buttonId, true, std::nullopt}}));
    }

    WebSocketServerHarness harness;
    std::uint16_t port = 0;
    WebSocketTestClient phone;
};

TEST_F(WebSocketLimitsTest, anEndlessHeaderIsCutOff) {
    WebSocketTestClient flooder;
    ASSERT_TRUE(flooder.connectTo(port));
    flooder.sendRaw("GET / HTTP/1.1\r\n");
    const QByteArray line = "X-Filler: " + QByteArray(1000, 'a') + "\r\n";
    for (int i = 0; i < 32 && flooder.socket().state() == QAbstractSocket::ConnectedState; ++i) {
        flooder.sendRaw(line);
    }
    EXPECT_TRUE(flooder.waitForDisconnect());
    EXPECT_EQ(flooder.buffer(), closeFrame);
    expectPhoneStillWorks();
    EXPECT_TRUE(testing::waitUntil([&] { return harness.server->sessionCount() == 1; }));
}

TEST_F(WebSocketLimitsTest, framesThatCanNeverBeReadCloseTheirConnection) {
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"a frame announcing 1 GiB", QByteArray("\x81\xFF\0\0\0\0\x40\0\0\0\x01\x02\x03\x04", 14)},
        {"reserved opcode 0x3", testing::maskedClientFrame(0x3, "{}")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WebSocketTestClient offender;
        ASSERT_TRUE(offender.open(port));
        offender.sendRaw(c.bytes);
        EXPECT_TRUE(offender.waitForDisconnect());
        EXPECT_EQ(offender.buffer(), closeFrame);
        expectPhoneStillWorks();
    }
    EXPECT_TRUE(testing::waitUntil([&] { return harness.server->sessionCount() == 1; }));
}

TEST_F(WebSocketLimitsTest, aClientVanishingMidFrameLeavesNoTrace) {
    {
        WebSocketTestClient vanishing;
        ASSERT_TRUE(vanishing.open(port));
        const QByteArray frame = testing::maskedClientFrame(0x1, QByteArray(4000, 'x'));
        vanishing.sendRaw(frame.first(1500));
        ASSERT_TRUE(testing::waitUntil([&] { return harness.server->sessionCount() == 2; }));
        expectPhoneStillWorks();
        vanishing.socket().abort();
    }
    EXPECT_TRUE(testing::waitUntil([&] { return harness.server->sessionCount() == 1; }));
    expectPhoneStillWorks();
}

TEST_F(WebSocketLimitsTest, connectionsBeyondTheLimitAreClosedAtOnce) {
    const int limit = WebSocketLimits::defaultMaxConnections;
    std::vector<std::unique_ptr<WebSocketTestClient>> crowd;
    // The phone holds one place already.
    for (int i = 1; i < limit; ++i) {
        crowd.push_back(std::make_unique<WebSocketTestClient>());
        ASSERT_TRUE(crowd.back()->connectTo(port));
    }
    ASSERT_TRUE(
        testing::waitUntil([&] { return harness.server->sessionCount() == std::size_t(limit); }));

    WebSocketTestClient extra;
    ASSERT_TRUE(extra.connectTo(port));
    EXPECT_TRUE(extra.waitForDisconnect());
    EXPECT_TRUE(extra.buffer().isEmpty());
    EXPECT_EQ(harness.server->sessionCount(), std::size_t(limit));
    expectPhoneStillWorks();

    // A place that frees up can be taken again.
    crowd.pop_back();
    ASSERT_TRUE(testing::waitUntil(
        [&] { return harness.server->sessionCount() == std::size_t(limit - 1); }));
    WebSocketTestClient late;
    ASSERT_TRUE(late.open(port));
    EXPECT_EQ(late.exchange({Client::RequestState{}}),
              (Server{Server::AuthFailure{AuthFailureReason::notAuthenticated}}));
}

class TightLimitsTest : public WebSocketLimitsTest {
protected:
    TightLimitsTest()
        : WebSocketLimitsTest(
              {.handshakeTimeout = std::chrono::milliseconds(300), .maxMessageBytes = 1000}) {}
};

TEST_F(TightLimitsTest, aHandshakeThatNeverCompletesTimesOut) {
    WebSocketTestClient slow;
    ASSERT_TRUE(slow.connectTo(port));
    slow.sendRaw("GET / HTTP/1.1\r\nHost: x\r\n");
    EXPECT_TRUE(slow.waitForDisconnect());
    EXPECT_EQ(slow.buffer(), closeFrame);
    // The paired phone had completed its handshake long before; its timer is gone.
    expectPhoneStillWorks();
}

TEST_F(TightLimitsTest, aMessageAtTheLimitPassesAndOneByteMoreCloses) {
    WebSocketTestClient sender;
    ASSERT_TRUE(sender.open(port));
    sender.sendFrame(0x9, QByteArray(1000, 'p'));
    const auto pong = sender.readFrame();
    ASSERT_TRUE(pong);
    EXPECT_EQ(pong->payload.size(), 1000);
    sender.sendFrame(0x9, QByteArray(1001, 'p'));
    EXPECT_TRUE(sender.waitForDisconnect());
    EXPECT_EQ(sender.buffer(), closeFrame);
    expectPhoneStillWorks();
}

} // namespace
} // namespace quorix
