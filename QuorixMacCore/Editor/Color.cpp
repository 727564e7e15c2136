#include "QuorixMacCore/Editor/Color.h"

#include "QuorixMacCore/Actions/TextNormalization.h"

#include <cstddef>
#include <limits>
#include <string>

namespace quorix {

namespace {

int hexDigitValue(char character) {
    if (character >= '0' && character <= '9') {
        return character - '0';
    }
    if (character >= 'a' && character <= 'f') {
        return character - 'a' + 10;
    }
    if (character >= 'A' && character <= 'F') {
        return character - 'A' + 10;
    }
    return -1;
}

// Reads a hexadecimal number the way the stored colours were always read: an optional 0x
// prefix, digits up to the first other character, and a value too large for 64 bits
// saturating instead of wrapping.
std::uint64_t scanHexNumber(std::string_view text) {
    std::size_t index = 0;
    if (index + 2 < text.size() && text[index] == '0' &&
        (text[index + 1] == 'x' || text[index + 1] == 'X') && hexDigitValue(text[index + 2]) >= 0) {
        index += 2;
    }
    constexpr std::uint64_t maximum = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (; index < text.size(); ++index) {
        const int digit = hexDigitValue(text[index]);
        if (digit < 0) {
            break;
        }
        value = value > (maximum >> 4) ? maximum : (value << 4) | static_cast<std::uint64_t>(digit);
    }
    return value;
}

} // namespace

Color Color::fromHex(std::string_view text) {
    std::string digits = trimmedWhitespaceAndNewlines(text);
    std::erase(digits, '#');
    // Blanks that stood after a "#" ("# 4facfe") are skipped like leading ones.
    const std::uint64_t value = scanHexNumber(trimmedWhitespaceAndNewlines(digits));
    return Color{static_cast<std::uint8_t>((value >> 16) & 0xFF),
                 static_cast<std::uint8_t>((value >> 8) & 0xFF),
                 static_cast<std::uint8_t>(value & 0xFF)};
}

} // namespace quorix
