#include "QuorixMacCore/Support/WebSocketServerHarness.h"
#include "QuorixMacCore/Transport/LocalNetworkAddressProvider.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <QFile>
#include <QProcess>
#include <QSemaphore>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quorix {
namespace {

using testing::maskedClientFrame;
using testing::WebSocketServerHarness;
using testing::WebSocketTestClient;
using Client = QuorixClientMessage;
using Server = QuorixServerMessage;

const Server notAuthenticated{Server::AuthFailure{AuthFailureReason::notAuthenticated}};
const QByteArray closeFrame("\x88\x00", 2);

TEST(WebSocketServer, aFailedStartSaysWhyAndLeavesNothingOpen) {
    WebSocketServerHarness harness;
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::Any, 0));
    const auto inUse = harness.server->start(occupant.serverPort(), false);
    ASSERT_FALSE(inUse);
    EXPECT_EQ(inUse.error().kind, WebSocketServerError::Kind::listenerFailed);
    EXPECT_FALSE(inUse.error().platformError.isEmpty());
    EXPECT_EQ(inUse.error().description(),
              QStringLiteral("The WebSocket listener failed: ") + inUse.error().platformError);
    EXPECT_FALSE(harness.server->port());

    // The late listener of a start that timed out is the server's until it stops.
    QSemaphore release;
    harness.server->listenerQueue().post([&release] { release.acquire(); });
    const auto late = harness.server->start(0, false);
    release.release();
    ASSERT_FALSE(late);
    EXPECT_EQ(late.error().description(),
              QStringLiteral("The WebSocket listener did not become ready in time."));
    harness.server->stop();

    WebSocketServerHarness secure({.securityMode = TransportSecurityMode::secureSelfSigned});
    const auto unidentified = secure.server->start(0, true);
    ASSERT_FALSE(unidentified);
    EXPECT_EQ(unidentified.error().description(),
              QStringLiteral("Secure mode requires a TLS identity."));
    EXPECT_FALSE(secure.server->port());
    EXPECT_FALSE(secure.server->fingerprintSHA256());
    secure.server->stop();
    secure.server->stop();
    EXPECT_EQ(secure.server->broadcastLayoutChanged(testing::layoutNamed("x")), 0);
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
    ASSERT_TRUE(openssl.waitForFinished(int(testing::hangLimit.count())));
    ASSERT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().toStdString();
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(certificatePath);
    ASSERT_EQ(certificates.size(), 1);
    QFile keyFile(keyPath);
    ASSERT_TRUE(keyFile.open(QIODevice::ReadOnly));
    const QSslKey key(&keyFile, QSsl::Ec);

    WebSocketServerHarness harness(
        {.securityMode = TransportSecurityMode::secureSelfSigned,
         .identity = TLSIdentityBundle{certificates.front(), key, QStringLiteral("AB:CD")}});
    const std::uint16_t port = harness.start(true);
    ASSERT_NE(port, 0);
    testing::drain(harness.server->listenerQueue());
    const std::vector<TXTRecordEntry>& txt = harness.registrarLog->registrations.at(0).txtRecord;
    EXPECT_EQ(std::vector(txt.begin() + 2, txt.begin() + 4),
              testing::txtRecord({{"fingerprint", u"AB:CD"}, {"security", u"tls"}}));

    WebSocketTestClient phone;
    ASSERT_TRUE(phone.connectEncrypted(port));
    EXPECT_EQ(phone.socket().peerCertificate(), certificates.front());
    ASSERT_TRUE(phone.handshake());
    EXPECT_TRUE(phone.pair(harness.issueCode()));

    WebSocketTestClient plain;
    ASSERT_TRUE(plain.connectTo(port));
    plain.sendRaw(testing::openingRequest());
    EXPECT_TRUE(plain.waitForDisconnect());
    EXPECT_FALSE(plain.buffer().startsWith("HTTP/1.1 101"));
}

TEST(WebSocketServer, announcesFromTheListenerThreadAndAgainWithEachNewCode) {
    WebSocketServerHarness harness({.deviceName = QStringLiteral(" \nKestrane Desk\t")});
    const std::uint16_t port = harness.start(true);
    ASSERT_NE(port, 0);
    testing::drain(harness.server->listenerQueue());
    harness.server->updatePairingCode(QStringLiteral("042917"));
    // Stopping runs on the listener thread after the announcements.
    harness.server->stop();

    const testing::RegistrarLog& log = *harness.registrarLog;
    std::vector<TXTRecordEntry> txt = testing::txtRecord({
        {"deviceType", u"mac"},
        {"version", u"m1"},
        {"fingerprint", u""},
        {"security", u"plain"},
        {"host", LocalNetworkAddressProvider::preferredIPv4Address().value_or(QString())},
        {"port", QString::number(port)},
    });
    ASSERT_EQ(log.registrations.size(), 2u);
    EXPECT_EQ(log.registrations[0],
              (ServiceRegistration{QStringLiteral("Kestrane Desk"), QStringLiteral("_quorix._tcp"),
                                   port, txt}));
    txt.push_back({QStringLiteral("pairingCode"), QStringLiteral("042917")});
    EXPECT_EQ(log.registrations[1].txtRecord, txt);
    EXPECT_EQ(log.threads, QStringList(2, QString(WebSocketServer::listenerQueueLabel)));
    EXPECT_EQ(log.unregistrations, 1);
}

TEST(WebSocketServer, servesWithoutAnnouncingWhenNoResponderAnswersAndSaysSo) {
    WebSocketServerHarness harness;
    const ServiceRegistrationError noResponder{-65537};
    harness.registrarLog->refusal = noResponder;
    const QStringList warnings = testing::warningsDuring([&] {
        ASSERT_NE(harness.start(true), 0);
        WebSocketTestClient phone;
        EXPECT_TRUE(harness.pair(phone));
        harness.server->stop();
    });
    EXPECT_EQ(warnings,
              QStringList(QStringLiteral("Running without advertising on the local network: ") +
                          noResponder.description()));
}

using StartedServer = testing::StartedServerTest;

TEST_F(StartedServer, stopsAndStartsAgainOnTheSamePort) {
    harness.server->stop();
    EXPECT_EQ(harness.server->sessionCount(), 0u);
    EXPECT_TRUE(phone.waitForDisconnect());
    EXPECT_EQ(harness.server->port(), port);

    const auto again = harness.server->start(port, false);
    ASSERT_TRUE(again) << again.error().description().toStdString();
    EXPECT_EQ(*again, port);
    WebSocketTestClient after;
    ASSERT_TRUE(after.open(port));
    EXPECT_EQ(after.exchange({Client::RequestState{}}), notAuthenticated);
}

TEST_F(StartedServer, broadcastReachesAuthenticatedPhonesOnly) {
    WebSocketTestClient second;
    WebSocketTestClient stranger;
    WebSocketTestClient handshaking;
    ASSERT_TRUE(harness.pair(second));
    ASSERT_TRUE(stranger.open(port));
    ASSERT_TRUE(handshaking.connectTo(port));
    const QByteArray request = testing::openingRequest();
    handshaking.sendRaw(request.first(20));
    ASSERT_TRUE(testing::waitUntil([&] { return harness.server->sessionCount() == 4; }));

    const LayoutRecord layout = testing::layoutNamed("同期");
    EXPECT_EQ(harness.server->broadcastLayoutChanged(layout), 2);
    const Encoded expected = ProtocolJSON::encode(Server{Server::LayoutChanged{layout}});
    for (WebSocketTestClient* paired : {&phone, &second}) {
        EXPECT_EQ(paired->readFrame(),
                  (WebSocketFrame{WebSocketOpcode::text, QByteArray::fromStdString(*expected)}));
    }
    // The others' connections are served in order: the first thing they hear is the answer
    // to what they send next.
    handshaking.sendRaw(request.sliced(20));
    const auto answer = handshaking.readHandshakeResponse();
    EXPECT_TRUE(answer && answer->startsWith("HTTP/1.1 101"));
    for (WebSocketTestClient* other : {&stranger, &handshaking}) {
        EXPECT_EQ(other->exchange({Client::RequestState{}}), notAuthenticated);
    }

    second.socket().abort();
    ASSERT_TRUE(testing::waitUntil([&] { return harness.server->sessionCount() == 3; }));
    EXPECT_EQ(harness.server->broadcastLayoutChanged(layout), 1);
}

TEST_F(StartedServer, closesWhatCanNeverBeServedWithACloseFrameAndOnlyThat) {
    struct Case {
        const char* name;
        bool opens;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"no key", false, "GET / HTTP/1.1\r\nHost: x\r\n\r\n"},
        {"lines ending in LF only", false,
         "GET / HTTP/1.1\nHost: x\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\n\n"},
        {"a header that is not UTF-8", false,
         "GET / HTTP/1.1\r\nSec-WebSocket-Key: \xff\xfe\r\n\r\n"},
        {"a header over the limit", false,
         "GET / HTTP/1.1\r\nX-Filler: " + QByteArray(limits.maxHandshakeBytes, 'a')},
        {"a header never completed", false, "GET / HTTP/1.1\r\nHost: x\r\n"},
        {"a frame announcing 1 GiB", true,
         QByteArray("\x81\xFF\0\0\0\0\x40\0\0\0\x01\x02\x03\x04", 14)},
        {"a reserved opcode", true, maskedClientFrame(0x3, "{}")},
        {"a ping of 126 bytes", true, maskedClientFrame(0x9, QByteArray(126, 'p'))},
        {"a ping without its final bit", true, QByteArray("\x09\x80\x01\x02\x03\x04", 6)},
    };
    for (const Case& c : cases) {
        WebSocketTestClient offender;
        ASSERT_TRUE(c.opens ? offender.open(port) : offender.connectTo(port)) << c.name;
        offender.sendRaw(c.bytes);
        EXPECT_TRUE(offender.waitForDisconnect()) << c.name;
        EXPECT_EQ(offender.buffer(), closeFrame) << c.name;
        expectPhoneStillServed();
    }

    // A client vanishing mid-frame leaves no session behind either.
    WebSocketTestClient vanishing;
    ASSERT_TRUE(vanishing.open(port));
    vanishing.sendRaw(maskedClientFrame(0x1, QByteArray(4000, 'x')).first(1500));
    ASSERT_TRUE(testing::waitUntil([&] { return harness.server->sessionCount() == 2; }));
    vanishing.socket().abort();
    EXPECT_TRUE(testing::waitUntil([&] { return harness.server->sessionCount() == 1; }));
    expectPhoneStillServed();
}

} // namespace
} // namespace quorix
