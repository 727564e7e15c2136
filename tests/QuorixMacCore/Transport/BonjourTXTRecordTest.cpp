#include "QuorixMacCore/Transport/BonjourTXTRecord.h"

#include "QuorixMacCore/Support/PrivateDNSSDDaemons.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace quorix {
namespace {

std::vector<TXTRecordEntry>
record(std::initializer_list<std::pair<const char*, const char*>> keys) {
    std::vector<TXTRecordEntry> entries;
    for (const auto& [key, value] : keys) {
        entries.push_back({QString::fromUtf8(key), QString::fromUtf8(value)});
    }
    return entries;
}

TEST(BonjourTXTRecord, carriesTheDesignedKeysInOrder) {
    using namespace BonjourTXTRecord;
    struct Case {
        const char* what;
        Fields fields;
        std::vector<TXTRecordEntry> expected;
    };
    const Case cases[] = {
        {"secure, bound, with a code",
         {macDeviceType, protocolVersion, QStringLiteral("AB:CD"), securityTLS,
          QStringLiteral("192.168.1.20"), 50123, QStringLiteral("042917")},
         record({{"deviceType", "mac"},
                 {"version", "m1"},
                 {"fingerprint", "AB:CD"},
                 {"security", "tls"},
                 {"host", "192.168.1.20"},
                 {"port", "50123"},
                 {"pairingCode", "042917"}})},
        {"plain, before the listener is ready, no network, no code",
         {macDeviceType, protocolVersion, std::nullopt, securityPlain, std::nullopt, std::nullopt,
          QString()},
         record({{"deviceType", "mac"},
                 {"version", "m1"},
                 {"fingerprint", ""},
                 {"security", "plain"},
                 {"host", ""},
                 {"port", "47532"}})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(entries(c.fields), c.expected) << c.what;
    }
}

std::map<QString, QString> asMap(const std::vector<TXTRecordEntry>& entries) {
    std::map<QString, QString> map;
    for (const TXTRecordEntry& entry : entries) {
        map[entry.key] = entry.value;
    }
    return map;
}

TEST(BonjourTXTRecord, reachesBrowsersWithExactlyItsKeys) {
    testing::PrivateDNSSDDaemons daemons;
    const auto failure = daemons.start();
    ASSERT_FALSE(failure) << failure->toStdString();

    const QString type = QStringLiteral("_quorix._tcp");
    const QString name = QStringLiteral("TXT %1").arg(QCoreApplication::applicationPid());
    BonjourTXTRecord::Fields fields{BonjourTXTRecord::macDeviceType,
                                    BonjourTXTRecord::protocolVersion,
                                    std::nullopt,
                                    BonjourTXTRecord::securityPlain,
                                    QStringLiteral("10.0.0.2"),
                                    47003,
                                    QString()};
    const auto registrar = makeSystemServiceRegistrar();
    const auto seenWith = [&](std::size_t keyCount) {
        return daemons.browseUntil(type, [&](const std::vector<testing::BrowsedService>& found) {
            return std::any_of(found.begin(), found.end(), [&](const auto& service) {
                return service.name == name && service.txt.size() == keyCount;
            });
        });
    };
    const auto txtOf = [&](const std::vector<testing::BrowsedService>& found) {
        for (const auto& service : found) {
            if (service.name == name) {
                return service.txt;
            }
        }
        return std::map<QString, QString>();
    };

    ASSERT_EQ(registrar->registerService({name, type, 47003, BonjourTXTRecord::entries(fields)}),
              std::nullopt);
    EXPECT_EQ(txtOf(seenWith(6)), asMap(BonjourTXTRecord::entries(fields)));

    fields.pairingCode = QStringLiteral("042917");
    ASSERT_EQ(registrar->registerService({name, type, 47003, BonjourTXTRecord::entries(fields)}),
              std::nullopt);
    const auto withCode = txtOf(seenWith(7));
    EXPECT_EQ(withCode, asMap(BonjourTXTRecord::entries(fields)));
    EXPECT_EQ(withCode.count(QStringLiteral("pairingCode")), 1u);
}

} // namespace
} // namespace quorix
