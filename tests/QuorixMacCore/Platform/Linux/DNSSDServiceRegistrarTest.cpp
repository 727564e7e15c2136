#include "QuorixMacCore/Platform/ServiceRegistrar.h"
#include "QuorixMacCore/Support/PrivateDNSSDDaemons.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace quorix {
namespace {

using testing::BrowsedService;

const QString serviceType = QStringLiteral("_quorix._tcp");

// Tests on this machine may run side by side and share the loopback multicast group.
QString uniqueName(const char* stem) {
    return QString::fromUtf8(stem) + QStringLiteral(" %1").arg(QCoreApplication::applicationPid());
}

const BrowsedService* named(const std::vector<BrowsedService>& services, const QString& name) {
    for (const BrowsedService& service : services) {
        if (service.name == name && service.type == serviceType) {
            return &service;
        }
    }
    return nullptr;
}

TEST(DNSSDServiceRegistrar, announcesReplacesAndWithdrawsAService) {
    testing::PrivateDNSSDDaemons daemons;
    const auto failure = daemons.start();
    ASSERT_FALSE(failure) << failure->toStdString();

    const auto registrar = makeSystemServiceRegistrar();
    QString confirmedName;
    registrar->onRegistered = [&](const QString& name) { confirmedName = name; };
    const QString name = uniqueName("Büro.Mac");
    ServiceRegistration registration{name,
                                     serviceType,
                                     47001,
                                     {{QStringLiteral("pairingCode"), QStringLiteral("123456")},
                                      {QStringLiteral("host"), QStringLiteral("10.0.0.2")},
                                      {QStringLiteral("empty"), QString()}}};
    ASSERT_EQ(registrar->registerService(registration), std::nullopt);
    EXPECT_EQ(qgetenv("AVAHI_COMPAT_NOWARN"), "1");
    EXPECT_TRUE(testing::pumpUntil([&] { return !confirmedName.isEmpty(); }));
    EXPECT_EQ(confirmedName, name);

    auto services = daemons.browseUntil(
        serviceType, [&](const auto& found) { return named(found, name) != nullptr; });
    ASSERT_NE(named(services, name), nullptr);
    EXPECT_EQ(named(services, name)->port, 47001);
    EXPECT_EQ(named(services, name)->txt,
              (std::map<QString, QString>{{QStringLiteral("pairingCode"), QStringLiteral("123456")},
                                          {QStringLiteral("host"), QStringLiteral("10.0.0.2")},
                                          {QStringLiteral("empty"), QString()}}));

    registration.txtRecord = {{QStringLiteral("pairingCode"), QStringLiteral("654321")}};
    ASSERT_EQ(registrar->registerService(registration), std::nullopt);
    services = daemons.browseUntil(serviceType, [&](const auto& found) {
        return named(found, name) && named(found, name)->txt.size() == 1;
    });
    ASSERT_NE(named(services, name), nullptr);
    EXPECT_EQ(
        named(services, name)->txt,
        (std::map<QString, QString>{{QStringLiteral("pairingCode"), QStringLiteral("654321")}}));

    registrar->unregister();
    EXPECT_FALSE(registrar->isRegistered());
    services = daemons.browseUntil(
        serviceType, [&](const auto& found) { return named(found, name) == nullptr; });
    EXPECT_EQ(named(services, name), nullptr);
}

TEST(DNSSDServiceRegistrar, reportsALostResponder) {
    testing::PrivateDNSSDDaemons daemons;
    const auto failure = daemons.start();
    ASSERT_FALSE(failure) << failure->toStdString();

    const auto registrar = makeSystemServiceRegistrar();
    bool confirmed = false;
    std::optional<ServiceRegistrationError> lost;
    registrar->onRegistered = [&](const QString&) { confirmed = true; };
    registrar->onFailed = [&](const ServiceRegistrationError& error) { lost = error; };
    ASSERT_EQ(registrar->registerService({uniqueName("Lost"), serviceType, 47002, {}}),
              std::nullopt);
    ASSERT_TRUE(testing::pumpUntil([&] { return confirmed; }));

    daemons.stopAvahi();
    EXPECT_TRUE(testing::pumpUntil([&] { return lost.has_value(); }));
    EXPECT_FALSE(registrar->isRegistered());
}

TEST(DNSSDServiceRegistrar, refusesWhatCannotBeAnnounced) {
    // No fixture runs, so no bus answers at the address.
    testing::PrivateDNSSDDaemons::systemBusAddress();
    const auto registrar = makeSystemServiceRegistrar();

    const auto noResponder =
        registrar->registerService({QStringLiteral("Nobody"), serviceType, 1, {}});
    ASSERT_TRUE(noResponder);
    EXPECT_EQ(noResponder->code, -65537);
    EXPECT_EQ(
        noResponder->description(),
        QStringLiteral("DNS-SD registration failed with error -65537 (no responder answered)."));
    EXPECT_FALSE(registrar->isRegistered());

    struct Case {
        const char* what;
        TXTRecordEntry entry;
    };
    const Case cases[] = {
        {"value too long", {QStringLiteral("fingerprint"), QString(250, u'A')}},
        {"empty key", {QString(), QStringLiteral("x")}},
        {"key with equals sign", {QStringLiteral("a=b"), QStringLiteral("x")}},
    };
    for (const Case& c : cases) {
        const auto refused =
            registrar->registerService({QStringLiteral("Bad"), serviceType, 1, {c.entry}});
        ASSERT_TRUE(refused) << c.what;
        EXPECT_EQ(refused->code, -65549) << c.what;
        EXPECT_EQ(refused->description(),
                  QStringLiteral("DNS-SD registration failed with error -65549 "
                                 "(invalid name, type or TXT record)."));
    }
}

} // namespace
} // namespace quorix
