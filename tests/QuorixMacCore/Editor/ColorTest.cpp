#include "QuorixMacCore/Editor/Color.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

TEST(Color, readsHexTextLeniently) {
    const std::pair<std::string_view, Color> cases[] = {
        {"#4facfe", {0x4f, 0xac, 0xfe}},
        {"  #4FACFE \n", {0x4f, 0xac, 0xfe}},
        {"\u3000#4facfe", {0x4f, 0xac, 0xfe}},
        {"4f#ac#fe", {0x4f, 0xac, 0xfe}},
        {"#0x4facfe", {0x4f, 0xac, 0xfe}},
        {"#4facfeZZ", {0x4f, 0xac, 0xfe}},
        {"#fff", {0x00, 0x0f, 0xff}},      // not expanded
        {"#11223344", {0x22, 0x33, 0x44}}, // low 24 bits only
        {"#12 34", {0x00, 0x00, 0x12}},    // stops at the blank
        {"", {}},
        {"0x", {}},
        {"red", {}},
        {"-4facfe", {}},
        // Past 64 bits the number saturates instead of wrapping.
        {"#123456789abcdef0123", {0xff, 0xff, 0xff}},
        {"#0000000000000000004facfe", {0x4f, 0xac, 0xfe}}};
    for (const auto& [text, color] : cases) {
        EXPECT_EQ(Color::fromHex(text), color) << text;
    }
}

} // namespace
} // namespace quorix
