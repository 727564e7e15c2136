#include "QuorixProtocol/Foundation.h"

#include <gtest/gtest.h>
#include <set>

namespace quorix {
namespace {

using namespace std::chrono;

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

TEST(Base64, encodesAndDecodesTheTestVectorsOfItsStandard) {
    const std::pair<std::string_view, std::string_view> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(Base64::encode(bytesOf(plain)), encoded);
        EXPECT_EQ(Base64::decode(encoded), bytesOf(plain)) << encoded;
    }
}

TEST(Base64, roundTripsEveryByteValueAtEveryRemainderLength) {
    Bytes all(256);
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i] = static_cast<std::uint8_t>(i);
    }
    for (std::size_t length : {253, 254, 255, 256}) {
        const Bytes data(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(length));
        const std::string text = Base64::encode(data);
        EXPECT_EQ(text.size() % 4, 0U);
        EXPECT_EQ(Base64::decode(text), data) << length;
    }
}

TEST(Base64, encodeAppendingKeepsWhatWasThere) {
    std::string text = "prefix:";
    Base64::encodeAppending(bytesOf("foobar"), text);
    EXPECT_EQ(text, "prefix:Zm9vYmFy");
}

TEST(Base64, refusesAnythingButStrictPaddedText) {
    const std::string_view invalid[] = {
        "Zg",       "Zg=",  "Zm9v\n",   "Zm9v\r\n",  " Zm9v",       "Zm 9v",
        "Zm9v====", "Z===", "====",     "Zm-_",      "Zm9v_w==",    "Zg==Zg==",
        "Zm9=Zg==", "=Zg=", "Zm9vYmF*", "Zm9vYmFy=", "\xC3\xA9Zm9", std::string_view("Zm\0v", 4),
    };
    for (const std::string_view text : invalid) {
        EXPECT_EQ(Base64::decode(text), std::nullopt) << text;
    }
}

TEST(UUID, readsEitherCaseAndWritesUpperCase) {
    const auto lower = UUID::fromString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    const auto upper = UUID::fromString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    const auto mixed = UUID::fromString("e621E1F8-c36C-495a-93Fc-0C247a3E6e5F");
    ASSERT_TRUE(lower && upper && mixed);
    EXPECT_EQ(*lower, *upper);
    EXPECT_EQ(*mixed, *upper);
    EXPECT_EQ(lower->uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(lower->bytes[0], 0xE6);
    EXPECT_EQ(lower->bytes[15], 0x5F);
}

TEST(UUID, refusesTextThatIsNotTheCanonicalForm) {
    const std::string_view invalid[] = {
        "",
        "E621E1F8C36C495A93FC0C247A3E6E5F",
        "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}",
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5",
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5F0",
        "E621E1F8C-36C-495A-93FC-0C247A3E6E5F",
        "G621E1F8-C36C-495A-93FC-0C247A3E6E5F",
        "E621E1F8-C36C-495A-93FC 0C247A3E6E5F",
        " E621E1F8-C36C-495A-93FC-0C247A3E6E5",
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
        EXPECT_EQ(UUID::fromString(uuid.uuidString()), uuid);
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 100U);
}

Date at(int y, unsigned m, unsigned d, int hh, int mm, int ss) {
    return Date{sys_days{year{y} / m / d} + hours{hh} + minutes{mm} + seconds{ss}};
}

TEST(ISO8601, readsWholeSecondsWithZuluOrANumericOffset) {
    EXPECT_EQ(ISO8601::parse("2026-01-31T09:15:00Z"), at(2026, 1, 31, 9, 15, 0));
    EXPECT_EQ(ISO8601::parse("2026-01-31T18:15:00+09:00"), at(2026, 1, 31, 9, 15, 0));
    EXPECT_EQ(ISO8601::parse("2026-01-31T04:45:00-04:30"), at(2026, 1, 31, 9, 15, 0));
    EXPECT_EQ(ISO8601::parse("2024-02-29T23:59:59Z"), at(2024, 2, 29, 23, 59, 59));
    EXPECT_EQ(ISO8601::parse("1969-12-31T23:59:59Z"), at(1969, 12, 31, 23, 59, 59));
}

TEST(ISO8601, refusesFractionsAndOtherForms) {
    const std::string_view invalid[] = {
        "",
        "2026-01-31T09:15:00.5Z",
        "2026-01-31T09:15:00.000Z",
        "2026-01-31T09:15:00",
        "2026-01-31 09:15:00Z",
        "2026-01-31t09:15:00z",
        "2026-01-31T09:15Z",
        "2026-1-31T09:15:00Z",
        "2026-02-30T09:15:00Z",
        "2025-02-29T09:15:00Z",
        "2026-13-01T09:15:00Z",
        "2026-01-31T24:00:00Z",
        "2026-01-31T09:60:00Z",
        "2026-01-31T09:15:60Z",
        "2026-01-31T09:15:00+0900",
        "2026-01-31T09:15:00+24:00",
        "2026-01-31T09:15:00ZZ",
        "+2026-01-31T09:15:00Z",
        "2026-01-31T09:15:00Z\n",
    };
    for (const std::string_view text : invalid) {
        EXPECT_EQ(ISO8601::parse(text), std::nullopt) << text;
    }
}

TEST(ISO8601, refusesDatesBeyondWhatADateHolds) {
    EXPECT_TRUE(ISO8601::parse("2262-01-01T00:00:00Z"));
    EXPECT_TRUE(ISO8601::parse("1678-01-01T00:00:00Z"));
    EXPECT_EQ(ISO8601::parse("2263-01-01T00:00:00Z"), std::nullopt);
    EXPECT_EQ(ISO8601::parse("9999-12-31T23:59:59Z"), std::nullopt);
    EXPECT_EQ(ISO8601::parse("1677-01-01T00:00:00Z"), std::nullopt);
    EXPECT_EQ(ISO8601::parse("0000-01-01T00:00:00Z"), std::nullopt);
}

TEST(ISO8601, writesUTCAndDropsTheSubSecondPartTowardsThePast) {
    EXPECT_EQ(ISO8601::format(at(2026, 1, 31, 9, 15, 0) + milliseconds{999}),
              "2026-01-31T09:15:00Z");
    EXPECT_EQ(ISO8601::format(at(1970, 1, 1, 0, 0, 0) - milliseconds{500}), "1969-12-31T23:59:59Z");
    EXPECT_EQ(ISO8601::format(at(2000, 2, 29, 0, 0, 0)), "2000-02-29T00:00:00Z");
    const Date date = at(2031, 7, 4, 1, 2, 3);
    EXPECT_EQ(ISO8601::parse(ISO8601::format(date)), date);
}

TEST(URL, acceptsAbsoluteAndRelativeReferences) {
    const std::string_view valid[] = {
        "https://example.com/favicon.ico",
        "https://example.com/a?b=c&d=e#frag",
        "shortcuts://run-shortcut?name=My%20Shortcut",
        "http://[::1]:8080/path",
        "mailto:someone@example.com",
        "file:///Applications/Safari.app",
        "/relative/path",
        "relative/path:with-colon",
        "?query",
        "#fragment",
        "HTTPS://EXAMPLE.COM",
    };
    for (const std::string_view text : valid) {
        const auto url = URL::parse(text);
        ASSERT_TRUE(url) << text;
        EXPECT_EQ(url->absoluteString(), text);
    }
}

TEST(URL, refusesTextThatIsNotAURLReference) {
    const std::string_view invalid[] = {
        "",
        "http://exa mple.com",
        "https://example.com/%zz",
        "https://example.com/%2",
        "ht tp://example.com",
        "https://example.com/日本",
        "https://example.com/a#b#c",
        "1abc:foo",
        "https://example.com/[x]",
        "https://example.com/\"quoted\"",
        "https://example.com/\n",
    };
    for (const std::string_view text : invalid) {
        EXPECT_EQ(URL::parse(text), std::nullopt) << text;
    }
}

TEST(URL, schemeIsLowerCaseAndEmptyForRelativeReferences) {
    EXPECT_EQ(URL::parse("HTTPS://example.com")->scheme(), "https");
    EXPECT_EQ(URL::parse("shortcuts://run-shortcut")->scheme(), "shortcuts");
    EXPECT_EQ(URL::parse("/path")->scheme(), "");
}

} // namespace
} // namespace quorix
