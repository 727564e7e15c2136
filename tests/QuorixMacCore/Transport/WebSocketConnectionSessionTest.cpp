#include "QuorixMacCore/Support/WebSocketServerHarness.h"
#include "QuorixMacCore/Support/WebSocketTestClient.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

using testing::WebSocketServerHarness;
using testing::WebSocketTestClient;
using Client = QuorixClientMessage;
using Server = QuorixServerMessage;

LayoutRecord sampleLayout() {
    PageRecord page;
    page.id = UUID::random();
    page.name = "メイン";
    LayoutRecord layout;
    layout.id = UUID::random();
    layout.pages = {page};
    layout.updatedAt = Date(std::chrono::seconds(1'700'000'000));
    return layout;
}

Server failure(AuthFailureReason reason) {
    return {Server::AuthFailure{reason}};
}

const Server appsList{Server::AppsList{}};

class WebSocketConnectionSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        port = harness.start();
        ASSERT_NE(port, 0);
    }

    /// A client that has paired; the token.
    std::string pairClient(WebSocketTestClient& client) {
        EXPECT_TRUE(client.open(port));
        const auto token = client.pair(harness.issueCode());
        EXPECT_TRUE(token.has_value());
        return token.value_or(std::string());
    }

    WebSocketServerHarness harness;
    std::uint16_t port = 0;
};

TEST_F(WebSocketConnectionSessionTest, handshakeAndFirstFrameInOneChunkAreBothHandled) {
    WebSocketTestClient client;
    ASSERT_TRUE(client.connectTo(port));
    const Encoded request = ProtocolJSON::encode(Client{Client::AuthRequest{harness.issueCode()}});
    client.sendRaw(testing::openingRequest() +
                   testing::maskedClientFrame(0x1, QByteArrayView(*request)));

    EXPECT_EQ(client.readHandshakeResponse(),
              QByteArray("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
                         "Connection: Upgrade\r\n"
                         "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n"));
    const auto reply = client.readMessage();
    ASSERT_TRUE(reply);
    const auto* success = std::get_if<Server::AuthSuccess>(&reply->value);
    ASSERT_NE(success, nullptr);
    EXPECT_TRUE(harness.tokenStore->contains(success->token));
}

TEST_F(WebSocketConnectionSessionTest, headerEndsAtLFLFButLinesSplitAtCRLFOnly) {
    struct Case {
        const char* name;
        QByteArray request;
        bool accepted;
    };
    const Case cases[] = {
        {"key first, LF LF", "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\n\n", true},
        {"request line, then key, LF LF",
         "GET / HTTP/1.1\r\nsec-websocket-key:  dGhlIHNhbXBsZSBub25jZQ== \n\n", true},
        {"bare LF lines",
         "GET / HTTP/1.1\nHost: x\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\n\n", false},
        {"no key", "GET / HTTP/1.1\r\nHost: x\r\n\r\n", false},
        {"not UTF-8", "GET / HTTP/1.1\r\nSec-WebSocket-Key: \xff\xfe\r\n\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WebSocketTestClient client;
        ASSERT_TRUE(client.connectTo(port));
        client.sendRaw(c.request);
        if (c.accepted) {
            const auto header = client.readHandshakeResponse();
            ASSERT_TRUE(header);
            EXPECT_EQ(WebSocketFrameCodec::checkHandshakeAnswer(*header, testing::sampleKey),
                      std::nullopt);
            EXPECT_EQ(client.exchange({Client::RequestState{}}),
                      failure(AuthFailureReason::notAuthenticated));
        } else {
            EXPECT_TRUE(client.waitForDisconnect());
            EXPECT_EQ(client.buffer(), QByteArray("\x88\x00", 2));
        }
    }
}

TEST_F(WebSocketConnectionSessionTest, unauthenticatedPhonesGetOnlyAuthenticationAnswers) {
    WebSocketTestClient client;
    ASSERT_TRUE(client.open(port));
    const std::vector<Client> messages = {
        {Client::Execute{UUID::random(), ActionSpec::launchApp("org.example.editor")}},
        {Client::LayoutUpdate{sampleLayout()}},
        {Client::CaptureKeys{5000}},
        {Client::RequestState{}},
        {Client::ListApps{}},
    };
    for (const Client& message : messages) {
        EXPECT_EQ(client.exchange(message), failure(AuthFailureReason::notAuthenticated));
    }

    // Failures keep the connection open, up to the lock-out.
    EXPECT_EQ(client.exchange({Client::AuthRequest{"123456"}}),
              failure(AuthFailureReason::expiredCode));
    const std::string code = harness.issueCode();
    const std::string wrong = code == "000000" ? "111111" : "000000";
    EXPECT_EQ(client.exchange({Client::AuthResume{"never-issued"}}),
              failure(AuthFailureReason::invalidToken));
    for (const auto reason : {AuthFailureReason::invalidCode, AuthFailureReason::invalidCode,
                              AuthFailureReason::locked}) {
        EXPECT_EQ(client.exchange({Client::AuthRequest{wrong}}), failure(reason));
    }
    EXPECT_EQ(client.exchange({Client::AuthRequest{code}}), failure(AuthFailureReason::locked));
    EXPECT_EQ(client.exchange({Client::RequestState{}}),
              failure(AuthFailureReason::notAuthenticated));

    EXPECT_TRUE(harness.executor->actions().empty());
    std::scoped_lock lock(harness.callbackMutex);
    EXPECT_TRUE(harness.receivedLayouts.empty());
    EXPECT_TRUE(harness.authenticatedOnThreads.empty());
}

TEST_F(WebSocketConnectionSessionTest, anAuthenticatedPhoneGetsItsAnswersDespiteLaterFailures) {
    WebSocketTestClient client;
    pairClient(client);
    const auto wrongCode = client.exchange({Client::AuthRequest{"999999"}});
    ASSERT_TRUE(wrongCode);
    EXPECT_TRUE(std::holds_alternative<Server::AuthFailure>(wrongCode->value));
    EXPECT_EQ(client.exchange({Client::AuthResume{"unknown"}}),
              failure(AuthFailureReason::invalidToken));

    const UUID buttonId = UUID::random();
    const ActionSpec action = ActionSpec::launchApp("org.example.editor");
    EXPECT_EQ(client.exchange({Client::Execute{buttonId, action}}),
              (Server{Server::ExecuteResult{buttonId, true, std::nullopt}}));
    EXPECT_EQ(harness.executor->actions(), std::vector<ActionSpec>{action});
    harness.executor->immediateOutcome = {false, "app_not_found"};
    EXPECT_EQ(client.exchange({Client::Execute{buttonId, action}}),
              (Server{Server::ExecuteResult{buttonId, false, "app_not_found"}}));

    const LayoutRecord layout = sampleLayout();
    EXPECT_EQ(client.exchange({Client::LayoutUpdate{layout}}),
              Server{Server::LayoutChanged{layout}});
    EXPECT_EQ(client.exchange({Client::CaptureKeys{5000}}),
              failure(AuthFailureReason::protocolError));
    client.send({Client::RequestState{}});
    EXPECT_EQ(client.readFrame(),
              (WebSocketFrame{WebSocketOpcode::text, R"({"apps":[],"type":"apps_list"})"}));
    EXPECT_EQ(client.exchange({Client::ListApps{}}), appsList);

    const QByteArray undecodable[] = {
        "not json",
        R"({"type":"teleport"})",
        R"({"type":"execute","buttonId":"not-a-uuid","action":{"type":"launchApp"}})",
        R"({"type":"auth_request","code":123456})",
        "\xff\xfe",
    };
    for (const QByteArray& payload : undecodable) {
        client.sendFrame(0x1, payload);
        EXPECT_EQ(client.readMessage(), failure(AuthFailureReason::protocolError))
            << payload.data();
    }
    EXPECT_EQ(client.exchange({Client::RequestState{}}), appsList);
    EXPECT_EQ(harness.executor->actions().size(), 2u);

    std::scoped_lock lock(harness.callbackMutex);
    EXPECT_EQ(harness.receivedLayouts, std::vector<LayoutRecord>{layout});
    const QString connectionThread = WebSocketServer::connectionQueueLabel;
    EXPECT_EQ(harness.layoutsOnThreads, std::vector<QString>{connectionThread});
    EXPECT_EQ(harness.authenticatedOnThreads, std::vector<QString>{connectionThread});
}

TEST_F(WebSocketConnectionSessionTest, controlFramesAndBinaryMessages) {
    WebSocketTestClient client;
    ASSERT_TRUE(client.open(port));

    // Several frames in one chunk are all answered, in order.
    client.sendRaw(testing::maskedClientFrame(0x9, "heartbeat-7") +
                   testing::maskedClientFrame(0x9, ""));
    EXPECT_EQ(client.readFrame(), (WebSocketFrame{WebSocketOpcode::pong, "heartbeat-7"}));
    EXPECT_EQ(client.readFrame(), (WebSocketFrame{WebSocketOpcode::pong, ""}));

    // Pongs and continuations are ignored; the binary message after them is answered.
    client.sendFrame(0xA, "unsolicited");
    client.sendFrame(0x0, "stray");
    client.sendFrame(0x2, R"({"type":"request_state"})");
    EXPECT_EQ(client.readMessage(), failure(AuthFailureReason::notAuthenticated));

    client.sendFrame(0x8, "\x03\xe8");
    EXPECT_EQ(client.readFrame(), (WebSocketFrame{WebSocketOpcode::close, {}}));
    EXPECT_TRUE(client.waitForDisconnect());
    EXPECT_TRUE(testing::waitUntil([&] { return harness.server->sessionCount() == 0; }));
}

TEST_F(WebSocketConnectionSessionTest, aSlowActionIsAnsweredAfterLaterRequests) {
    WebSocketTestClient client;
    pairClient(client);
    harness.executor->finishImmediately = false;

    const UUID slow = UUID::random();
    const UUID fast = UUID::random();
    client.send({Client::Execute{slow, ActionSpec::launchApp("slow")}});
    ASSERT_TRUE(testing::waitUntil([&] { return harness.executor->pendingCount() == 1; }));
    client.send({Client::Execute{fast, ActionSpec::launchApp("fast")}});
    ASSERT_TRUE(testing::waitUntil([&] { return harness.executor->pendingCount() == 2; }));
    EXPECT_EQ(client.exchange({Client::RequestState{}}), appsList);

    // Finished from this thread, as an executor's timer or child process would.
    ASSERT_TRUE(harness.executor->finishOldest({false, "accessibility_not_granted"}));
    EXPECT_EQ(client.readMessage(),
              (Server{Server::ExecuteResult{slow, false, "accessibility_not_granted"}}));
    ASSERT_TRUE(harness.executor->finishOldest(ExecuteOutcome::succeeded()));
    EXPECT_EQ(client.readMessage(), (Server{Server::ExecuteResult{fast, true, std::nullopt}}));
}

TEST_F(WebSocketConnectionSessionTest, aFrameOfMegabytesArrivesWholeWhileAnotherPhoneIsServed) {
    WebSocketTestClient sender;
    ASSERT_TRUE(sender.open(port));
    WebSocketTestClient other;
    ASSERT_TRUE(other.open(port));

    const QByteArray payload(3 * 1024 * 1024, 'm');
    const QByteArray frame = testing::maskedClientFrame(0x9, payload);
    // Half now: the session must wait for the rest without blocking the other phone.
    sender.sendRaw(frame.first(frame.size() / 2));
    EXPECT_EQ(other.exchange({Client::RequestState{}}),
              failure(AuthFailureReason::notAuthenticated));
    sender.sendRaw(frame.sliced(frame.size() / 2));
    EXPECT_EQ(sender.readFrame(), (WebSocketFrame{WebSocketOpcode::pong, payload}));
}

} // namespace
} // namespace quorix
