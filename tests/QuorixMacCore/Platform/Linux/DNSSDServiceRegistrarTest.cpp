#include "QuorixMacCore/Platform/ServiceRegistrar.h"
#include "QuorixMacCore/Support/PrivateDNSSDDaemons.h"
#include "QuorixMacCore/Support/Waiting.h"
#include "QuorixMacCore/Transport/BonjourTXTRecord.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace quorix {
namespace {

const QString serviceType = QStringLiteral("_quorix._tcp");

std::map<QString, QString> asMap(const std::vector<TXTRecordEntry>& entries) {
    std::map<QString, QString> map;
    for (const TXTRecordEntry& entry : entries) {
        map[entry.key] = entry.value;
    }
    return map;
}

TEST(DNSSDServiceRegistrar, announcesReplacesAndWithdrawsTheServersRecord) {
    testing::PrivateDNSSDDaemons daemons;
    const auto failure = daemons.start();
    ASSERT_FALSE(failure) << failure->toStdString();

    // Tests may run side by side and share the loopback multicast group.
    const QString name = QStringLiteral("Büro.Mac %1").arg(QCoreApplication::applicationPid());
    BonjourTXTRecord::Fields fields{BonjourTXTRecord::macDeviceType,
                                    BonjourTXTRecord::protocolVersion,
                                    std::nullopt,
                                    BonjourTXTRecord::securityPlain,
                                    QStringLiteral("10.0.0.2"),
                                    47001,
                                    QString()};
    const auto registrar = makeSystemServiceRegistrar();
    QString confirmedName;
    registrar->onRegistered = [&](const QString& confirmed) { confirmedName = confirmed; };
    const auto browseFor = [&](std::size_t keys) {
        return testing::findService(
            daemons.browseUntil(serviceType,
                                [&](const auto& found) {
                                    const auto service = testing::findService(found, name);
                                    return service && service->txt.size() == keys;
                                }),
            name);
    };

    ASSERT_EQ(
        registrar->registerService({name, serviceType, 47001, BonjourTXTRecord::entries(fields)}),
        std::nullopt);
    EXPECT_EQ(qgetenv("AVAHI_COMPAT_NOWARN"), "1");
    EXPECT_TRUE(testing::waitUntil([&] { return !confirmedName.isEmpty(); }));
    EXPECT_EQ(confirmedName, name);
    auto service = browseFor(6);
    ASSERT_TRUE(service);
    EXPECT_EQ(service->port, 47001);
    EXPECT_EQ(service->txt, asMap(BonjourTXTRecord::entries(fields)));

    fields.pairingCode = QStringLiteral("042917");
    ASSERT_EQ(
        registrar->registerService({name, serviceType, 47001, BonjourTXTRecord::entries(fields)}),
        std::nullopt);
    service = browseFor(7);
    ASSERT_TRUE(service);
    EXPECT_EQ(service->txt, asMap(BonjourTXTRecord::entries(fields)));

    // 30 kanji are 90 bytes of UTF-8, more than a DNS label holds; 21 are 63.
    const auto longNamed = makeSystemServiceRegistrar();
    QString longConfirmedName;
    longNamed->onRegistered = [&](const QString& confirmed) { longConfirmedName = confirmed; };
    ASSERT_EQ(longNamed->registerService({QString(30, QChar(0x6F22)), serviceType, 47004, {}}),
              std::nullopt);
    EXPECT_TRUE(testing::waitUntil([&] { return !longConfirmedName.isEmpty(); }));
    EXPECT_EQ(longConfirmedName, QString(21, QChar(0x6F22)));

    registrar->unregister();
    EXPECT_FALSE(registrar->isRegistered());
    EXPECT_FALSE(testing::findService(
        daemons.browseUntil(serviceType,
                            [&](const auto& found) { return !testing::findService(found, name); }),
        name));
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
    ASSERT_EQ(registrar->registerService(
                  {QStringLiteral("Lost %1").arg(QCoreApplication::applicationPid()),
                   serviceType,
                   47002,
                   {}}),
              std::nullopt);
    ASSERT_TRUE(testing::waitUntil([&] { return confirmed; }));

    daemons.stopAvahi();
    EXPECT_TRUE(testing::waitUntil([&] { return lost.has_value(); }));
    EXPECT_FALSE(registrar->isRegistered());
}

TEST(DNSSDServiceRegistrar, refusesWhatCannotBeAnnounced) {
    // No fixture runs, so no bus answers at the address.
    testing::PrivateDNSSDDaemons::systemBusAddress();
    const auto registrar = makeSystemServiceRegistrar();
    const std::tuple<const char*, TXTRecordEntry, int, const char*> cases[] = {
        {"no responder",
         {QStringLiteral("a"), QStringLiteral("b")},
         -65537,
         "DNS-SD registration failed with error -65537 (no responder answered)."},
        {"value too long",
         {QStringLiteral("fingerprint"), QString(250, u'A')},
         -65549,
         "DNS-SD registration failed with error -65549 (invalid name, type or TXT record)."},
        {"empty key", {QString(), QStringLiteral("x")}, -65549, nullptr},
        {"key with equals sign", {QStringLiteral("a=b"), QStringLiteral("x")}, -65549, nullptr},
    };
    for (const auto& [what, entry, code, description] : cases) {
        const auto refused =
            registrar->registerService({QStringLiteral("Bad"), serviceType, 1, {entry}});
        ASSERT_TRUE(refused) << what;
        EXPECT_EQ(refused->code, code) << what;
        if (description) {
            EXPECT_EQ(refused->description(), QString::fromUtf8(description));
        }
        EXPECT_FALSE(registrar->isRegistered());
    }
}

} // namespace
} // namespace quorix
