#include "QuorixMacCore/Support/WebSocketServerHarness.h"
#include "QuorixMacCore/Support/WebSocketTestClient.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <QFile>
#include <QProcess>
#include <QSemaphore>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quorix {
namespace {

using testing::WebSocketServerHarness;
using testing::WebSocketTestClient;
using Client = QuorixClientMessage;
using Server = QuorixServerMessage;

LayoutRecord layoutNamed(const std::string& pageName) {
    PageRecord page;
    page.id = UUID::random();
    page.name = pageName;
    LayoutRecord layout;
    layout.id = UUID::random();
    layout.pages = {page};
    layout.updatedAt = Date(std::chrono::seconds(1'700'000'000));
    return layout;
}

TEST(WebSocketServer, startsStopsAndStartsAgainOnTheSamePort) {
    WebSocketServerHarness harness;
    const std::uint16_t port = harness.start();
    ASSERT_NE(port, 0);
    EXPECT_EQ(harness.server->port(), port);

    WebSocketTestClient before;
    ASSERT_TRUE(before.open(port));
    ASSERT_TRUE(testing::waitUntil([&] { return harness.server->sessionCount() == 1; }));

    harness.server->stop();
    EXPECT_EQ(harness.server->sessionCount(), 0u);
    EXPECT_TRUE(before.waitForDisconnect());
    EXPECT_EQ(harness.server->port(), port);

    const auto again = harness.server->start(port, false);
    ASSERT_TRUE(again) << again.error().description().toStdString();
    EXPECT_EQ(*again, port);
    WebSocketTestClient after;
    ASSERT_TRUE(after.open(port));
    EXPECT_EQ(after.exchange({Client::RequestState{}}),
              (Server{Server::AuthFailure{AuthFailureReason::notAuthenticated}}));
}

TEST(WebSocketServer, aPortInUseFailsTheStartWithTheSystemsReason) {
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::Any, 0));
    WebSocketServerHarness harness;
    const auto started = harness.server->start(occupant.serverPort(), false);
    ASSERT_FALSE(started);
    EXPECT_EQ(started.error().kind, WebSocketServerError::Kind::listenerFailed);
    EXPECT_FALSE(started.error().platformError.isEmpty());
    EXPECT_EQ(started.error().description(),
              QStringLiteral("The WebSocket listener failed: ") + started.error().platformError);
    EXPECT_FALSE(harness.server->port());
}

TEST(WebSocketServer, secureModeWithoutAnIdentityOpensNothingAndStopsHarmlessly) {
    WebSocketServerHarness harness;
    WebSocketServer secure(QStringLiteral("Desk"), harness.pairingService, harness.executor,
                           harness.scanner, TransportSecurityMode::secureSelfSigned, std::nullopt,
                           QString(), harness.listenerQueue, harness.connectionQueue);
    const auto started = secure.start(0, true);
    ASSERT_FALSE(started);
    EXPECT_EQ(started.error(), WebSocketServerError::missingTLSIdentity());
    EXPECT_EQ(started.error().description(),
              QStringLiteral("Secure mode requires a TLS identity."));
    EXPECT_FALSE(secure.port());
    EXPECT_EQ(secure.sessionCount(), 0u);
    EXPECT_FALSE(secure.fingerprintSHA256());
    secure.stop();
    secure.stop();
    EXPECT_EQ(secure.broadcastLayoutChanged(layoutNamed("x")), 0);
}

TEST(WebSocketServer, secureModeSpeaksTLSWithTheGivenIdentity) {
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString keyPath = directory.filePath(QStringLiteral("key.pem"));
    const QString certificatePath = directory.filePath(QStringLiteral("certificate.pem"));
    QProcess openssl;
    openssl.start(
        QStringLiteral("/usr/bin/openssl"),
        QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
                       "-subj /CN=Kestrane -days 1 -keyout")
                .split(u' ') +
            QStringList{keyPath, QStringLiteral("-out"), certificatePath});
    ASSERT_TRUE(openssl.waitForFinished(60'000));
    ASSERT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().toStdString();
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(certificatePath);
    ASSERT_EQ(certificates.size(), 1);
    QFile keyFile(keyPath);
    ASSERT_TRUE(keyFile.open(QIODevice::ReadOnly));
    const QSslKey key(&keyFile, QSsl::Ec);
    ASSERT_FALSE(key.isNull());

    WebSocketServerHarness harness;
    WebSocketServer secure(QStringLiteral("Desk"), harness.pairingService, harness.executor,
                           harness.scanner, TransportSecurityMode::secureSelfSigned,
                           TLSIdentityBundle{certificates.front(), key, QStringLiteral("AB:CD")},
                           QString(), harness.listenerQueue, harness.connectionQueue);
    EXPECT_EQ(secure.fingerprintSHA256(), QStringLiteral("AB:CD"));
    const auto started = secure.start(0, false);
    ASSERT_TRUE(started) << started.error().description().toStdString();

    WebSocketTestClient phone;
    ASSERT_TRUE(phone.connectEncrypted(*started));
    EXPECT_EQ(static_cast<QSslSocket&>(phone.socket()).peerCertificate(), certificates.front());
    ASSERT_TRUE(phone.handshake());
    EXPECT_TRUE(phone.pair(harness.issueCode()));

    WebSocketTestClient plain;
    ASSERT_TRUE(plain.connectTo(*started));
    plain.sendRaw(testing::openingRequest());
    EXPECT_TRUE(plain.waitForDisconnect());
    EXPECT_FALSE(plain.buffer().startsWith("HTTP/1.1 101"));
}

TEST(WebSocketServer, aListenerQueueThatNeverGetsToItTimesTheStartOut) {
    WebSocketServerHarness harness;
    QSemaphore release;
    harness.listenerQueue->post([&release] { release.acquire(); });
    const auto started = harness.server->start(0, false);
    release.release();
    ASSERT_FALSE(started);
    EXPECT_EQ(started.error(), WebSocketServerError::startTimedOut());
    EXPECT_EQ(started.error().description(),
              QStringLiteral("The WebSocket listener did not become ready in time."));
    // The late listener is the server's until it stops.
    harness.server->stop();
    EXPECT_EQ(harness.server->sessionCount(), 0u);
}

TEST(WebSocketServer, broadcastReachesAuthenticatedPhonesOnlyAndClosedOnesLeave) {
    WebSocketServerHarness harness;
    const std::uint16_t port = harness.start();
    ASSERT_NE(port, 0);

    WebSocketTestClient first;
    auto second = std::make_unique<WebSocketTestClient>();
    WebSocketTestClient stranger;
    WebSocketTestClient handshaking;
    for (WebSocketTestClient* phone : {&first, second.get()}) {
        ASSERT_TRUE(phone->open(port));
        ASSERT_TRUE(phone->pair(harness.issueCode()));
    }
    ASSERT_TRUE(stranger.open(port));
    ASSERT_TRUE(handshaking.connectTo(port));
    handshaking.sendRaw("GET / HTTP/1.1\r\n");
    ASSERT_TRUE(testing::waitUntil([&] { return harness.server->sessionCount() == 4; }));

    const LayoutRecord layout = layoutNamed("同期");
    EXPECT_EQ(harness.server->broadcastLayoutChanged(layout), 2);
    const Encoded expected = ProtocolJSON::encode(Server{Server::LayoutChanged{layout}});
    for (WebSocketTestClient* phone : {&first, second.get()}) {
        EXPECT_EQ(phone->readFrame(),
                  (WebSocketFrame{WebSocketOpcode::text, QByteArray::fromStdString(*expected)}));
    }
    // The next thing the stranger hears is the answer to its own request.
    EXPECT_EQ(stranger.exchange({Client::RequestState{}}),
              (Server{Server::AuthFailure{AuthFailureReason::notAuthenticated}}));
    EXPECT_TRUE(handshaking.staysQuiet(std::chrono::milliseconds(200)));
    EXPECT_TRUE(handshaking.buffer().isEmpty());

    second->socket().disconnectFromHost();
    second.reset();
    EXPECT_TRUE(testing::waitUntil([&] { return harness.server->sessionCount() == 3; }));
    EXPECT_EQ(harness.server->broadcastLayoutChanged(layoutNamed("a")), 1);
}

} // namespace
} // namespace quorix
