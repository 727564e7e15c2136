#include "QuorixProtocol/JSONWriter.h"

#include "QuorixProtocol/Foundation.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace quorix {
namespace {

TEST(JSONWriter, formatsNumbersAsTheirShortestTextWithoutTrailingFraction) {
    const std::pair<double, std::string_view> cases[] = {
        {135.0, "135"},
        {0.0, "0"},
        {-0.0, "-0"},
        {0.5, "0.5"},
        {-2.5, "-2.5"},
        {22.5, "22.5"},
        {0.1, "0.1"},
        {1.0 / 3.0, "0.3333333333333333"},
        {0.0001, "0.0001"},
        {0.00012345, "0.00012345"},
        {1e-05, "1e-05"},
        {-1.5e-07, "-1.5e-07"},
        {1e15, "1000000000000000"},
        {1234567890123456.0, "1234567890123456"},
        {1e16, "1e+16"},
        {123456789012345680.0, "1.2345678901234568e+17"},
        {12345678000000.0, "12345678000000"},
        {100.25, "100.25"},
        {5e-324, "5e-324"},
        {1e100, "1e+100"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(formatJSONNumber(value), text) << text;
        EXPECT_EQ(std::strtod(std::string(text).c_str(), nullptr), value) << text;
    }
}

TEST(JSONWriter, refusesNumbersThatAreNotFinite) {
    std::string output;
    JSONWriter writer(output);
    writer.beginArray();
    EXPECT_FALSE(writer.number(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(writer.number(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(writer.number(-std::numeric_limits<double>::infinity()));
    EXPECT_TRUE(writer.number(1.5));
    writer.endArray();
    EXPECT_EQ(output, "[1.5]");
}

TEST(JSONWriter, escapesQuotesBackslashesSlashesAndControlCharacters) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"plain", R"("plain")"},
        {"a/b", R"("a\/b")"},
        {"say \"hi\"", R"("say \"hi\"")"},
        {"C:\\dir", R"("C:\\dir")"},
        {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
        {std::string_view("\x00\x01\x1f", 3), R"("\u0000\u0001\u001f")"},
        {"\x7f", "\"\x7f\""},
        {"仕事 é", "\"仕事 é\""},
        {"", R"("")"},
    };
    for (const auto& [text, expected] : cases) {
        std::string output;
        JSONWriter(output).string(text);
        EXPECT_EQ(output, expected);
    }
}

TEST(JSONWriter, separatesMembersAndElementsWithCommas) {
    std::string output;
    JSONWriter writer(output);
    writer.beginObject();
    writer.key("a");
    writer.beginArray();
    writer.integer(-9223372036854775807 - 1);
    writer.boolean(true);
    writer.beginObject();
    writer.endObject();
    writer.beginArray();
    writer.endArray();
    writer.endArray();
    writer.key("b");
    writer.boolean(false);
    writer.endObject();
    EXPECT_EQ(output, R"({"a":[-9223372036854775808,true,{},[]],"b":false})");
}

TEST(JSONWriter, writesBase64WithEverySlashEscaped) {
    const std::pair<Bytes, std::string_view> cases[] = {
        {{}, R"("")"},
        {{0xFF}, R"("\/w==")"},
        {{0xFF, 0xFF}, R"("\/\/8=")"},
        {{0xFB, 0xFF, 0xBF, 0x00}, R"("+\/+\/AA==")"},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, R"("\/\/\/\/\/\/\/\/")"},
    };
    for (const auto& [bytes, expected] : cases) {
        std::string small;
        JSONWriter(small).base64(bytes);
        EXPECT_EQ(small, expected);
    }

    std::mt19937 generator(7);
    Bytes data(100'003);
    for (auto& byte : data) {
        byte = static_cast<std::uint8_t>(generator());
    }
    std::string expected = "\"";
    for (const char c : Base64::encode(data)) {
        if (c == '/') {
            expected += '\\';
        }
        expected += c;
    }
    expected += '"';
    std::string output = "x";
    JSONWriter(output).base64(data);
    EXPECT_EQ(output, "x" + expected);
}

} // namespace
} // namespace quorix
