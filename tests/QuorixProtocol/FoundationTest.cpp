#include "QuorixProtocol/Foundation.h"

#include <gtest/gtest.h>
#include <numeric>
#include <set>

namespace quorix {
namespace {

using namespace std::chrono;
using namespace std::string_view_literals;

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

TEST(Base64, encodesTheVectorsOfItsStandardAndRoundTripsEveryByteValueAtEveryRemainder) {
    const std::pair<std::string_view, std::string_view> vectors[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, encoded] : vectors) {
        std::string text = "kept:";
        Base64::encodeAppending(bytesOf(plain), text);
        EXPECT_EQ(text, "kept:" + std::string(encoded));
        EXPECT_EQ(Base64::decode(encoded), bytesOf(plain)) << encoded;
    }
    Bytes all(256);
    std::iota(all.begin(), all.end(), std::uint8_t{0});
    for (const std::ptrdiff_t length : {254, 255, 256}) {
        const Bytes data(all.begin(), all.begin() + length);
        EXPECT_EQ(Base64::decode(Base64::encode(data)), data) << length;
    }
}

TEST(Base64, refusesAnythingButStrictPaddedText) {
    const std::string_view invalid[] = {
        "Zg",       "Zg=",      "Zm9v\n", "Zm 9v",    "Zm9v====",  "Z===",        "====",
        "Zm9v_w==", "Zg==Zg==", "=Zg=",   "Zm9vYmF*", "Zm9vYmFy=", "\xC3\xA9Zm9", "Zm\0v"sv,
    };
    for (const std::string_view text : invalid) {
        EXPECT_EQ(Base64::decode(text), std::nullopt) << text;
    }
}

TEST(UUID, readsOnlyTheCanonicalFormInEitherCaseAndWritesUpperCase) {
    const auto uuid = UUID::fromString("e621E1F8-c36C-495a-93Fc-0C247a3E6e5F");
    ASSERT_TRUE(uuid);
    EXPECT_EQ(uuid->uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(uuid->bytes[0], 0xE6);
    EXPECT_EQ(uuid->bytes[15], 0x5F);
    const std::string_view invalid[] = {
        "E621E1F8C36C495A93FC0C247A3E6E5F",     "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}",
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5",  "E621E1F8C-36C-495A-93FC-0C247A3E6E5F",
        "G621E1F8-C36C-495A-93FC-0C247A3E6E5F", "E621E1F8-C36C-495A-93FC 0C247A3E6E5F",
    };
    for (const std::string_view text : invalid) {
        EXPECT_EQ(UUID::fromString(text), std::nullopt) << text;
    }
}

TEST(UUID, randomIdentifiersAreVersionFourAndDistinct) {
    std::set<UUID> seen;
    for (int i = 0; i < 100; ++i) {
        const UUID uuid = UUID::random();
        EXPECT_EQ(uuid.bytes[6] >> 4, 4);
        EXPECT_EQ(uuid.bytes[8] >> 6, 2);
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 100U);
}

Date at(int y, unsigned m, unsigned d, int hh, int mm, int ss) {
    return Date{sys_days{year{y} / m / d} + hours{hh} + minutes{mm} + seconds{ss}};
}

TEST(ISO8601, readsOnlyWholeSecondsWithZuluOrANumericOffsetWithinWhatADateHolds) {
    const std::pair<std::string_view, Date> valid[] = {
        {"2026-01-31T09:15:00Z", at(2026, 1, 31, 9, 15, 0)},
        {"2026-01-31T18:15:00+09:00", at(2026, 1, 31, 9, 15, 0)},
        {"2026-01-31T04:45:00-04:30", at(2026, 1, 31, 9, 15, 0)},
        {"2024-02-29T23:59:59Z", at(2024, 2, 29, 23, 59, 59)},
        {"2262-01-01T00:00:00Z", at(2262, 1, 1, 0, 0, 0)},
        {"1678-01-01T00:00:00Z", at(1678, 1, 1, 0, 0, 0)},
    };
    for (const auto& [text, date] : valid) {
        EXPECT_EQ(ISO8601::parse(text), date) << text;
    }
    const std::string_view invalid[] = {
        "2026-01-31T09:15:00.5Z",   "2026-01-31T09:15:00",   "2026-01-31t09:15:00z",
        "2026-01-31T09:15Z",        "2025-02-29T09:15:00Z",  "2026-13-01T09:15:00Z",
        "2026-01-31T24:00:00Z",     "2026-01-31T09:15:60Z",  "2026-01-31T09:15:00+24:00",
        "2026-01-31T09:15:00+0900", "+2026-01-31T09:15:00Z", "2026-01-31T09:15:00Z\n",
        "2026-01-31 09:15:00Z",     "2263-01-01T00:00:00Z",  "1677-01-01T00:00:00Z",
    };
    for (const std::string_view text : invalid) {
        EXPECT_EQ(ISO8601::parse(text), std::nullopt) << text;
    }
}

TEST(ISO8601, writesUTCAndDropsTheSubSecondPartTowardsThePast) {
    EXPECT_EQ(ISO8601::format(at(2026, 1, 31, 9, 15, 0) + milliseconds{999}),
              "2026-01-31T09:15:00Z");
    EXPECT_EQ(ISO8601::format(at(1970, 1, 1, 0, 0, 0) - milliseconds{500}), "1969-12-31T23:59:59Z");
    EXPECT_EQ(ISO8601::format(at(2000, 2, 29, 0, 0, 0)), "2000-02-29T00:00:00Z");
}

TEST(URL, acceptsOnlyAbsoluteAndRelativeReferencesAndLowerCasesTheScheme) {
    const std::pair<std::string_view, std::string_view> valid[] = {
        {"https://example.com/a?b=c&d=e#frag", "https"},
        {"shortcuts://run-shortcut?name=My%20Shortcut", "shortcuts"},
        {"http://[::1]:8080/path", "http"},
        {"mailto:someone@example.com", "mailto"},
        {"file:///Applications/Safari.app", "file"},
        {"HTTPS://EXAMPLE.COM", "https"},
        {"/relative/path", ""},
        {"relative/path:with-colon", ""},
        {"#fragment", ""},
    };
    for (const auto& [text, scheme] : valid) {
        const auto url = URL::parse(text);
        ASSERT_TRUE(url) << text;
        EXPECT_EQ(url->absoluteString(), text);
        EXPECT_EQ(url->scheme(), scheme);
    }
    const std::string_view invalid[] = {
        "http://exa mple.com",      "https://example.com/%zz",   "https://example.com/%2",
        "https://example.com/日本", "https://example.com/a#b#c", "1abc:foo",
        "https://example.com/[x]",  "https://example.com/\n",    "",
    };
    for (const std::string_view text : invalid) {
        EXPECT_EQ(URL::parse(text), std::nullopt) << text;
    }
}

} // namespace
} // namespace quorix
