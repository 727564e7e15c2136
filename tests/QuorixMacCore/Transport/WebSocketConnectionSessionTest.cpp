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
    page.gridColumns = 3;
    page.gridRows = 2;
    LayoutRecord layout;
    layout.id = UUID::random();
    layout.pages = {page};
    layout.updatedAt = Date(std::chrono::seconds(1'700'000'000));
    return layout;
}

Server failure(AuthFailureReason reason) {
    return {Server::AuthFailure{reason}};
}

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
    const std::string code = harness.issueCode();
    const Encoded request = ProtocolJSON::encode(Client{Client::AuthRequest{code}});
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
    EXPECT_EQ(success->deviceName, "Test Desk");
    EXPECT_EQ(success->deviceType, DeviceType::mac);
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
            EXPECT_TRUE(header->contains("Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo="));
            client.send({Client::RequestState{}});
            EXPECT_EQ(client.readMessage(), failure(AuthFailureReason::notAuthenticated));
        } else {
            EXPECT_TRUE(client.waitForDisconnect());
            EXPECT_EQ(client.buffer(), QByteArray("\x88\x00", 2));
        }
    }
}

TEST_F(WebSocketConnectionSessionTest, everythingButAuthenticationNeedsItFirst) {
    const std::vector<Client> messages = {
        {Client::Execute{UUID::random(), ActionSpec::launchApp("org.example.editor")}},
        {Client::LayoutUpdate{sampleLayout()}},
        {Client::CaptureKeys{5000}},
        {Client::RequestState{}},
        {Client::ListApps{}},
    };
    WebSocketTestClient client;
    ASSERT_TRUE(client.open(port));
    for (const Client& message : messages) {
        client.send(message);
        EXPECT_EQ(client.readMessage(), failure(AuthFailureReason::notAuthenticated));
    }
    EXPECT_TRUE(harness.executor->actions().empty());
    std::scoped_lock lock(harness.callbackMutex);
    EXPECT_TRUE(harness.receivedLayouts.empty());
    EXPECT_TRUE(harness.authenticatedOnThreads.empty());
}

TEST_F(WebSocketConnectionSessionTest, authenticatedRequestsGetTheirAnswers) {
    WebSocketTestClient client;
    pairClient(client);

    const UUID buttonId = UUID::random();
    const ActionSpec action = ActionSpec::launchApp("org.example.editor");
    client.send({Client::Execute{buttonId, action}});
    EXPECT_EQ(client.readMessage(), (Server{Server::ExecuteResult{buttonId, true, std::nullopt}}));
    EXPECT_EQ(harness.executor->actions(), std::vector<ActionSpec>{action});

    harness.executor->immediateOutcome = {false, "app_not_found"};
    client.send({Client::Execute{buttonId, action}});
    EXPECT_EQ(client.readMessage(),
              (Server{Server::ExecuteResult{buttonId, false, "app_not_found"}}));

    const LayoutRecord layout = sampleLayout();
    client.send({Client::LayoutUpdate{layout}});
    EXPECT_EQ(client.readMessage(), Server{Server::LayoutChanged{layout}});

    client.send({Client::CaptureKeys{5000}});
    EXPECT_EQ(client.readMessage(), failure(AuthFailureReason::protocolError));

    client.send({Client::RequestState{}});
    const auto state = client.readFrame();
    ASSERT_TRUE(state);
    EXPECT_EQ(state->payload, QByteArray(R"({"apps":[],"type":"apps_list"})"));

    client.send({Client::ListApps{}});
    EXPECT_EQ(client.readMessage(), Server{Server::AppsList{}});

    std::scoped_lock lock(harness.callbackMutex);
    EXPECT_EQ(harness.receivedLayouts, std::vector<LayoutRecord>{layout});
    const QString connectionThread = WebSocketServer::connectionQueueLabel;
    EXPECT_EQ(harness.layoutsOnThreads, std::vector<QString>{connectionThread});
    EXPECT_EQ(harness.authenticatedOnThreads, std::vector<QString>{connectionThread});
}

TEST_F(WebSocketConnectionSessionTest, pairingAndResumingFailuresKeepTheConnectionOpen) {
    WebSocketTestClient client;
    ASSERT_TRUE(client.open(port));

    client.send({Client::AuthRequest{"123456"}});
    EXPECT_EQ(client.readMessage(), failure(AuthFailureReason::expiredCode));

    const std::string code = harness.issueCode();
    const std::string wrong = code == "000000" ? "111111" : "000000";
    client.send({Client::AuthResume{"never-issued"}});
    EXPECT_EQ(client.readMessage(), failure(AuthFailureReason::invalidToken));
    client.send({Client::AuthRequest{wrong}});
    EXPECT_EQ(client.readMessage(), failure(AuthFailureReason::invalidCode));
    client.send({Client::AuthRequest{wrong}});
    EXPECT_EQ(client.readMessage(), failure(AuthFailureReason::invalidCode));
    client.send({Client::AuthRequest{wrong}});
    EXPECT_EQ(client.readMessage(), failure(AuthFailureReason::locked));
    client.send({Client::AuthRequest{code}});
    EXPECT_EQ(client.readMessage(), failure(AuthFailureReason::locked));

    client.send({Client::Execute{UUID::random(), ActionSpec::launchApp("x")}});
    EXPECT_EQ(client.readMessage(), failure(AuthFailureReason::notAuthenticated));
}

TEST_F(WebSocketConnectionSessionTest, resumingWithAKnownTokenEchoesIt) {
    std::string token;
    {
        WebSocketTestClient first;
        token = pairClient(first);
    }
    WebSocketTestClient second;
    ASSERT_TRUE(second.open(port));
    second.send({Client::AuthResume{token}});
    EXPECT_EQ(second.readMessage(),
              (Server{Server::AuthSuccess{token, "Test Desk", DeviceType::mac}}));
    second.send({Client::RequestState{}});
    EXPECT_EQ(second.readMessage(), Server{Server::AppsList{}});
    std::scoped_lock lock(harness.callbackMutex);
    EXPECT_EQ(harness.authenticatedOnThreads.size(), 2u);
}

TEST_F(WebSocketConnectionSessionTest, aLaterWrongCodeDoesNotUndoAuthentication) {
    WebSocketTestClient client;
    const std::string token = pairClient(client);
    client.send({Client::AuthRequest{"999999"}});
    const auto reply = client.readMessage();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(std::holds_alternative<Server::AuthFailure>(reply->value));
    client.send({Client::AuthResume{"unknown"}});
    EXPECT_EQ(client.readMessage(), failure(AuthFailureReason::invalidToken));
    client.send({Client::RequestState{}});
    EXPECT_EQ(client.readMessage(), Server{Server::AppsList{}});
}

TEST_F(WebSocketConnectionSessionTest, controlFramesAndBinaryMessages) {
    WebSocketTestClient client;
    ASSERT_TRUE(client.open(port));

    client.sendFrame(0x9, "heartbeat-7");
    EXPECT_EQ(client.readFrame(), (WebSocketFrame{WebSocketOpcode::pong, "heartbeat-7"}));
    client.sendFrame(0x9, "");
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

TEST_F(WebSocketConnectionSessionTest, undecodableMessagesAreProtocolErrors) {
    WebSocketTestClient client;
    const std::string token = pairClient(client);
    const QByteArray payloads[] = {
        "not json",
        R"({"type":"teleport"})",
        R"({"type":"execute","buttonId":"not-a-uuid","action":{"type":"launchApp"}})",
        R"({"type":"auth_request","code":123456})",
        R"([])",
        "\xff\xfe",
    };
    for (const QByteArray& payload : payloads) {
        SCOPED_TRACE(payload.toStdString());
        client.sendFrame(0x1, payload);
        EXPECT_EQ(client.readMessage(), failure(AuthFailureReason::protocolError));
    }
    client.send({Client::RequestState{}});
    EXPECT_EQ(client.readMessage(), Server{Server::AppsList{}});
    EXPECT_TRUE(harness.executor->actions().empty());
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
    client.send({Client::RequestState{}});
    EXPECT_EQ(client.readMessage(), Server{Server::AppsList{}});

    // Finished from this thread, as an executor's timer or child process would.
    ASSERT_TRUE(harness.executor->finishOldest({false, "accessibility_not_granted"}));
    EXPECT_EQ(client.readMessage(),
              (Server{Server::ExecuteResult{slow, false, "accessibility_not_granted"}}));
    ASSERT_TRUE(harness.executor->finishOldest(ExecuteOutcome::succeeded()));
    EXPECT_EQ(client.readMessage(), (Server{Server::ExecuteResult{fast, true, std::nullopt}}));
}

TEST_F(WebSocketConnectionSessionTest, aLayoutOfMegabytesArrivesWholeWhileAnotherPhoneIsServed) {
    WebSocketTestClient sender;
    pairClient(sender);
    WebSocketTestClient other;
    pairClient(other);

    LayoutRecord layout = sampleLayout();
    QuorixButtonRecord button;
    button.id = UUID::random();
    button.action = ActionSpec::launchApp("org.example.viewer");
    Bytes icon(3 * 1024 * 1024);
    for (std::size_t i = 0; i < icon.size(); ++i) {
        icon[i] = static_cast<std::uint8_t>(i * 131 + (i >> 12));
    }
    button.icon = {IconRef::Custom{std::move(icon)}};
    layout.pages.front().buttons = {button};

    const Encoded json = ProtocolJSON::encode(Client{Client::LayoutUpdate{layout}});
    const QByteArray frame = testing::maskedClientFrame(0x1, QByteArrayView(*json));
    // Half now: the session must wait for the rest without blocking the other phone.
    sender.sendRaw(frame.first(frame.size() / 2));
    other.send({Client::RequestState{}});
    EXPECT_EQ(other.readMessage(), Server{Server::AppsList{}});
    sender.sendRaw(frame.sliced(frame.size() / 2));

    EXPECT_EQ(sender.readMessage(), Server{Server::LayoutChanged{layout}});
    std::scoped_lock lock(harness.callbackMutex);
    ASSERT_EQ(harness.receivedLayouts.size(), 1u);
    EXPECT_EQ(harness.receivedLayouts.front(), layout);
}

TEST_F(WebSocketConnectionSessionTest, manyFramesInOneChunkAreAnsweredInOrder) {
    WebSocketTestClient client;
    ASSERT_TRUE(client.open(port));
    QByteArray burst;
    constexpr int count = 200;
    for (int i = 0; i < count; ++i) {
        burst += testing::maskedClientFrame(0x9, QByteArray::number(i));
    }
    client.sendRaw(burst);
    for (int i = 0; i < count; ++i) {
        const auto frame = client.readFrame();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->payload, QByteArray::number(i));
    }
}

} // namespace
} // namespace quorix
