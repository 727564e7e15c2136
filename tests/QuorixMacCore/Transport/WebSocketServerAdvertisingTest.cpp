#include "QuorixMacCore/Support/PrivateDNSSDDaemons.h"
#include "QuorixMacCore/Support/WebSocketServerHarness.h"
#include "QuorixMacCore/Support/WebSocketTestClient.h"
#include "QuorixMacCore/Transport/LocalNetworkAddressProvider.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace quorix {
namespace {

const QString serviceType = QStringLiteral("_quorix._tcp");

/// The harness's pieces behind a server that talks to the system's responder.
std::unique_ptr<WebSocketServer> serverWithSystemResponder(testing::WebSocketServerHarness& harness,
                                                           const QString& deviceName) {
    return std::make_unique<WebSocketServer>(
        deviceName, harness.pairingService, harness.executor, harness.scanner,
        TransportSecurityMode::plaintextForLocalTesting, std::nullopt, QString(),
        harness.listenerQueue, harness.connectionQueue);
}

TEST(WebSocketServerAdvertising, browsersSeeTheRecordAndEachNewCode) {
    testing::PrivateDNSSDDaemons daemons;
    const auto failure = daemons.start();
    ASSERT_FALSE(failure) << failure->toStdString();

    testing::WebSocketServerHarness harness;
    // Responders of other test runs may share the loopback multicast group.
    const QString name = QStringLiteral("Kestrane Desk %1-%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(QRandomGenerator::global()->bounded(1'000'000));
    auto server = serverWithSystemResponder(harness, QStringLiteral(" \n") + name + u'\t');
    const auto started = server->start(0, true);
    ASSERT_TRUE(started) << started.error().description().toStdString();

    // Waits for the record to become `txt`; what was last seen.
    const auto browseFor = [&](const std::map<QString, QString>& txt) {
        return testing::findService(daemons.browseUntil(serviceType,
                                                        [&](const auto& found) {
                                                            const auto service =
                                                                testing::findService(found, name);
                                                            return service && service->txt == txt;
                                                        }),
                                    name);
    };
    std::map<QString, QString> txt{
        {QStringLiteral("deviceType"), QStringLiteral("mac")},
        {QStringLiteral("version"), QStringLiteral("m1")},
        {QStringLiteral("fingerprint"), QString()},
        {QStringLiteral("security"), QStringLiteral("plain")},
        {QStringLiteral("host"),
         LocalNetworkAddressProvider::preferredIPv4Address().value_or(QString())},
        {QStringLiteral("port"), QString::number(*started)},
    };
    auto service = browseFor(txt);
    ASSERT_TRUE(service);
    EXPECT_EQ(service->port, *started);
    EXPECT_EQ(service->txt, txt);

    server->updatePairingCode(QStringLiteral("042917"));
    txt[QStringLiteral("pairingCode")] = QStringLiteral("042917");
    service = browseFor(txt);
    ASSERT_TRUE(service);
    EXPECT_EQ(service->txt, txt);

    server->stop();
    EXPECT_FALSE(testing::findService(
        daemons.browseUntil(serviceType,
                            [&](const auto& found) { return !testing::findService(found, name); }),
        name));
}

std::mutex warningsMutex;
QStringList capturedWarnings;

void captureWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtWarningMsg) {
        std::scoped_lock lock(warningsMutex);
        capturedWarnings.append(message);
    }
}

TEST(WebSocketServerAdvertising, runsAndSaysSoWhenNoResponderAnswers) {
    // The private bus exists, but no avahi-daemon is on it.
    testing::PrivateDNSSDDaemons::systemBusAddress();
    {
        std::scoped_lock lock(warningsMutex);
        capturedWarnings.clear();
    }
    const QtMessageHandler previous = qInstallMessageHandler(captureWarnings);
    testing::WebSocketServerHarness harness;
    auto server = serverWithSystemResponder(harness, QStringLiteral("Quiet Desk"));
    const auto started = server->start(0, true);
    EXPECT_TRUE(testing::waitUntil([] {
        std::scoped_lock lock(warningsMutex);
        return !capturedWarnings.isEmpty();
    }));
    qInstallMessageHandler(previous);
    ASSERT_TRUE(started) << started.error().description().toStdString();

    testing::WebSocketTestClient phone;
    ASSERT_TRUE(phone.open(*started));
    EXPECT_TRUE(phone.pair(harness.issueCode()));
    std::scoped_lock lock(warningsMutex);
    ASSERT_EQ(capturedWarnings.size(), 1) << capturedWarnings.join(u'\n').toStdString();
    EXPECT_TRUE(capturedWarnings.front().startsWith(
        QStringLiteral("Running without advertising on the local network: DNS-SD registration "
                       "failed with error -65537")))
        << capturedWarnings.front().toStdString();
}

} // namespace
} // namespace quorix
