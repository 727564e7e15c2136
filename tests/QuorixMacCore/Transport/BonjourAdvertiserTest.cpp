#include "QuorixMacCore/Transport/BonjourAdvertiser.h"

#include "QuorixMacCore/Support/PrivateDNSSDDaemons.h"

#include <QCoreApplication>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace quorix {
namespace {

const QString serviceType = QStringLiteral("_quorix._tcp");

QStringList capturedWarnings;

void captureWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtWarningMsg) {
        capturedWarnings.append(message);
    }
}

TEST(BonjourAdvertiser, announcesTheListenerUntilItIsGone) {
    testing::PrivateDNSSDDaemons daemons;
    const auto failure = daemons.start();
    ASSERT_FALSE(failure) << failure->toStdString();

    auto listener = std::make_unique<QTcpServer>();
    ASSERT_TRUE(listener->listen(QHostAddress::LocalHost));
    const QString name = QStringLiteral("Kestrane Desk %1").arg(QCoreApplication::applicationPid());
    BonjourAdvertiser advertiser;
    ASSERT_EQ(advertiser.attach(listener.get(), QStringLiteral(" \n%1\t").arg(name)), std::nullopt);
    EXPECT_EQ(advertiser.listener(), listener.get());

    const auto found = testing::findService(
        daemons.browseUntil(
            serviceType,
            [&](const auto& services) { return testing::findService(services, name).has_value(); }),
        name);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->port, listener->serverPort());
    EXPECT_TRUE(found->txt.empty());

    listener.reset();
    EXPECT_EQ(advertiser.listener(), nullptr);
    EXPECT_FALSE(testing::findService(
        daemons.browseUntil(serviceType,
                            [&](const auto& now) { return !testing::findService(now, name); }),
        name));
}

TEST(BonjourAdvertiser, saysOnceWhyItCannotAdvertise) {
    // No fixture runs, so no responder answers.
    testing::PrivateDNSSDDaemons::systemBusAddress();
    QTcpServer listening;
    ASSERT_TRUE(listening.listen(QHostAddress::LocalHost));
    QTcpServer idle;

    struct Case {
        const char* what;
        QTcpServer* listener;
        int code;
    };
    const Case cases[] = {
        {"no responder", &listening, -65537},
        {"not listening", &idle, -65542},
    };
    for (const Case& c : cases) {
        BonjourAdvertiser advertiser;
        capturedWarnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(captureWarnings);
        const auto error = advertiser.attach(c.listener, u"Desk");
        qInstallMessageHandler(previous);

        ASSERT_TRUE(error) << c.what;
        EXPECT_EQ(error->code, c.code) << c.what;
        EXPECT_EQ(advertiser.listener(), c.listener) << c.what;
        ASSERT_EQ(capturedWarnings.size(), 1) << c.what;
        EXPECT_EQ(capturedWarnings[0],
                  QStringLiteral("Not advertising \"Desk\" on the local network: ") +
                      error->description());
    }
}

} // namespace
} // namespace quorix
