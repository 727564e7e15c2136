#include "QuorixProtocol/JSONWriter.h"

#include "QuorixProtocol/Foundation.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace quorix {
namespace {

TEST(JSONWriter, formatsNumbersAsTheirShortestTextWithoutTrailingFraction) {
    const std::pair<double, std::string_view> cases[] = {
        {135.0, "135"},         {-0.0, "0"},
        {-2.5, "-2.5"},         {1.0 / 3.0, "0.3333333333333333"},
        {0.0001, "0.0001"},     {1e-05, "1e-05"},
        {-1.5e-07, "-1.5e-07"}, {1234567890123456.0, "1234567890123456"},
        {1e16, "1e+16"},        {123456789012345680.0, "1.2345678901234568e+17"},
        {5e-324, "5e-324"},     {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(formatJSONNumber(value), text) << text;
        EXPECT_EQ(std::strtod(std::string(text).c_str(), nullptr), value) << text;
    }
}

TEST(JSONWriter, escapesBackslashesAndControlCharactersButNotDelete) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"C:\\dir", R"("C:\\dir")"},
        {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
        {std::string_view("\x00\x01\x1f", 3), R"("\u0000\u0001\u001f")"},
        {"\x7f", "\"\x7f\""},
    };
    for (const auto& [text, expected] : cases) {
        std::string output;
        JSONWriter(output).string(text);
        EXPECT_EQ(output, expected);
    }
}

TEST(JSONWriter, writesBase64WithEverySlashEscaped) {
    std::mt19937 generator(7);
    Bytes random(100'003);
    for (auto& byte : random) {
        byte = static_cast<std::uint8_t>(generator());
    }
    // Bytes of all ones make slashes in a whole group and in either partial one; the random
    // run crosses the encoder's chunks.
    for (const Bytes& bytes : {Bytes{0xFF}, Bytes{0xFF, 0xFF}, Bytes(6, 0xFF), random}) {
        std::string expected = "x\"";
        for (const char c : Base64::encode(bytes)) {
            expected += c == '/' ? "\\/" : std::string(1, c);
        }
        std::string output = "x";
        JSONWriter(output).base64(bytes);
        EXPECT_EQ(output, expected + '"');
    }
}

} // namespace
} // namespace quorix
