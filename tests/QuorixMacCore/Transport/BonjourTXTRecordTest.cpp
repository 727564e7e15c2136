#include "QuorixMacCore/Transport/BonjourTXTRecord.h"

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

} // namespace
} // namespace quorix
