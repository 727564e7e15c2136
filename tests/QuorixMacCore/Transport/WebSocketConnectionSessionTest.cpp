#include "QuorixMacCore/Support/WebSocketServerHarness.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

using testing::maskedClientFrame;
using testing::WebSocketTestClient;
using Client = QuorixClientMessage;
using Server = QuorixServerMessage;
using WebSocketConnectionSessionTest = testing::StartedServerTest;

Server failure(AuthFailureReason reason) {
    return {Server::AuthFailure{reason}};
}

QByteArray encoded(const Client& message) {
    return QByteArray::fromStdString(ProtocolJSON::encode(message).value());
}

TEST_F(WebSocketConnectionSessionTest, opensOnACompleteHeaderAndGoesOnWithWhatFollowsIt) {
    // A header may end in LF LF, but its lines are split at CR LF only.
    const QByteArray headers[] = {
        testing::openingRequest(),
        "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\n\n",
        "GET / HTTP/1.1\r\nsec-websocket-key:  dGhlIHNhbXBsZSBub25jZQ== \n\n",
    };
    for (const QByteArray& header : headers) {
        WebSocketTestClient client;
        ASSERT_TRUE(client.connectTo(port));
        client.sendRaw(header +
                       maskedClientFrame(0x1, encoded({Client::AuthRequest{harness.issueCode()}})));
        // The answer alone, as the codec writes it for the same key.
        EXPECT_EQ(client.readHandshakeResponse(),
                  WebSocketFrameCodec::handshakeResponse(testing::openingRequest()))
            << header.data();
        const auto reply = client.readMessage();
        const auto* success = reply ? std::get_if<Server::AuthSuccess>(&reply->value) : nullptr;
        ASSERT_NE(success, nullptr) << header.data();
        EXPECT_TRUE(harness.tokenStore->contains(success->token));
    }
}

TEST_F(WebSocketConnectionSessionTest, answersOnlyAuthenticationUntilThePhoneHasAuthenticated) {
    const UUID buttonId = UUID::random();
    const ActionSpec action = ActionSpec::launchApp("org.example.editor");
    const LayoutRecord layout = testing::layoutNamed("メイン");
    const Server notAuthenticated = failure(AuthFailureReason::notAuthenticated);
    const Server protocolError = failure(AuthFailureReason::protocolError);
    const std::pair<Client, Server> authenticatedAnswers[] = {
        {{Client::Execute{buttonId, action}},
         {Server::ExecuteResult{buttonId, true, std::nullopt}}},
        {{Client::LayoutUpdate{layout}}, {Server::LayoutChanged{layout}}},
        {{Client::CaptureKeys{5000}}, protocolError},
        {{Client::RequestState{}}, {Server::AppsList{}}},
        {{Client::ListApps{}}, {Server::AppsList{}}},
    };
    const QByteArray undecodable[] = {
        "not json",
        R"({"type":"teleport"})",
        R"({"type":"execute","buttonId":"not-a-uuid","action":{"type":"launchApp"}})",
        R"({"type":"auth_request","code":123456})",
        "\xff\xfe",
    };
    WebSocketTestClient client;
    ASSERT_TRUE(client.open(port));
    const auto expectAnswers = [&](bool authenticated) {
        for (const auto& [message, answer] : authenticatedAnswers) {
            EXPECT_EQ(client.exchange(message), authenticated ? answer : notAuthenticated);
        }
        // Undecodable messages leave the connection open and the authentication as it was.
        for (const QByteArray& payload : undecodable) {
            client.sendFrame(0x1, payload);
            EXPECT_EQ(client.readMessage(), protocolError) << payload.data();
        }
    };
    expectAnswers(false);
    const QStringList callbacksBefore = harness.callbackThreads();

    // Each refusal has its own reason, and none closes the connection.
    EXPECT_EQ(client.exchange({Client::AuthRequest{"123456"}}),
              failure(AuthFailureReason::expiredCode));
    EXPECT_EQ(client.exchange({Client::AuthResume{"never-issued"}}),
              failure(AuthFailureReason::invalidToken));
    const std::string wrong = harness.issueCode() == "000000" ? "111111" : "000000";
    for (const auto reason : {AuthFailureReason::invalidCode, AuthFailureReason::invalidCode,
                              AuthFailureReason::locked}) {
        EXPECT_EQ(client.exchange({Client::AuthRequest{wrong}}), failure(reason));
    }
    EXPECT_TRUE(harness.executor->actions().empty());
    EXPECT_EQ(harness.callbackThreads(), callbacksBefore);

    ASSERT_TRUE(client.pair(harness.issueCode()));
    expectAnswers(true);
    // Later failures do not take the authentication back.
    EXPECT_EQ(client.exchange({Client::AuthRequest{wrong}}),
              failure(AuthFailureReason::expiredCode));
    EXPECT_EQ(client.exchange({Client::AuthResume{"unknown"}}),
              failure(AuthFailureReason::invalidToken));
    client.send({Client::RequestState{}});
    EXPECT_EQ(client.readFrame(),
              (WebSocketFrame{WebSocketOpcode::text, R"({"apps":[],"type":"apps_list"})"}));

    EXPECT_EQ(harness.executor->actions(), std::vector<ActionSpec>{action});
    EXPECT_EQ(harness.takeReceivedLayouts(), std::vector<LayoutRecord>{layout});
    // Both pairings and the layout, all on the connections' thread.
    EXPECT_EQ(harness.callbackThreads(),
              QStringList(3, QString(WebSocketServer::connectionQueueLabel)));
}

TEST_F(WebSocketConnectionSessionTest, answersControlFramesAndBinaryMessagesInOrder) {
    WebSocketTestClient client;
    ASSERT_TRUE(client.open(port));
    client.sendRaw(maskedClientFrame(0x9, "heartbeat-7") + maskedClientFrame(0x9, ""));
    EXPECT_EQ(client.readFrame(), (WebSocketFrame{WebSocketOpcode::pong, "heartbeat-7"}));
    EXPECT_EQ(client.readFrame(), (WebSocketFrame{WebSocketOpcode::pong, ""}));

    // Pongs and continuations are ignored; the binary message after them is answered.
    client.sendRaw(maskedClientFrame(0xA, "unsolicited") + maskedClientFrame(0x0, "stray") +
                   maskedClientFrame(0x2, R"({"type":"request_state"})"));
    EXPECT_EQ(client.readMessage(), failure(AuthFailureReason::notAuthenticated));

    client.sendFrame(0x8, "\x03\xe8");
    EXPECT_EQ(client.readFrame(), (WebSocketFrame{WebSocketOpcode::close, {}}));
    EXPECT_TRUE(client.waitForDisconnect());
    EXPECT_TRUE(testing::waitUntil([&] { return harness.server->sessionCount() == 1; }));
}

TEST_F(WebSocketConnectionSessionTest, aSlowActionIsAnsweredAfterLaterRequests) {
    harness.executor->finishImmediately = false;
    const UUID slow = UUID::random();
    const UUID fast = UUID::random();
    phone.send({Client::Execute{slow, ActionSpec::launchApp("slow")}});
    // Each runs as a task of its own, which may start in any order.
    ASSERT_TRUE(testing::waitUntil([&] { return harness.executor->pendingCount() == 1; }));
    phone.send({Client::Execute{fast, ActionSpec::launchApp("fast")}});
    ASSERT_TRUE(testing::waitUntil([&] { return harness.executor->pendingCount() == 2; }));
    EXPECT_EQ(phone.exchange({Client::RequestState{}}), Server{Server::AppsList{}});

    // Finished from this thread, as an executor's timer or child process would.
    ASSERT_TRUE(harness.executor->finishOldest({false, "accessibility_not_granted"}));
    EXPECT_EQ(phone.readMessage(),
              (Server{Server::ExecuteResult{slow, false, "accessibility_not_granted"}}));
    ASSERT_TRUE(harness.executor->finishOldest(ExecuteOutcome::succeeded()));
    EXPECT_EQ(phone.readMessage(), (Server{Server::ExecuteResult{fast, true, std::nullopt}}));
}

TEST_F(WebSocketConnectionSessionTest, aMessageOfTheLargestSizeArrivesWholeWhileOthersAreServed) {
    WebSocketTestClient sender;
    ASSERT_TRUE(harness.pair(sender));
    QByteArray payload = R"({"type":"request_state","padding":")";
    payload += QByteArray(limits.maxMessageBytes - payload.size() - 2, 'm') + "\"}";
    ASSERT_EQ(payload.size(), limits.maxMessageBytes);
    const QByteArray frame = maskedClientFrame(0x2, payload);
    // Half now: the session must wait for the rest without holding up the other phone.
    sender.sendRaw(frame.first(frame.size() / 2));
    expectPhoneStillServed();
    sender.sendRaw(frame.sliced(frame.size() / 2));
    EXPECT_EQ(sender.readMessage(), Server{Server::AppsList{}});
}

} // namespace
} // namespace quorix
