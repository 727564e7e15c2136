#include "QuorixMacCore/Actions/TextNormalization.h"

#include <QChar>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace quorix {

namespace {

// Decodes the code point starting at `index`; malformed input yields U+FFFD and a length
// of one byte, which is never white space, so trimming stops there.
char32_t decodeAt(std::string_view text, std::size_t index, std::size_t& length) {
    const auto lead = static_cast<std::uint8_t>(text[index]);
    std::size_t expected = 0;
    char32_t value = 0;
    if (lead < 0x80) {
        length = 1;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        expected = 2;
        value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        expected = 3;
        value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        expected = 4;
        value = lead & 0x07;
    } else {
        length = 1;
        return 0xFFFD;
    }
    if (index + expected > text.size()) {
        length = 1;
        return 0xFFFD;
    }
    for (std::size_t i = 1; i < expected; ++i) {
        const auto next = static_cast<std::uint8_t>(text[index + i]);
        if ((next & 0xC0) != 0x80) {
            length = 1;
            return 0xFFFD;
        }
        value = (value << 6) | (next & 0x3F);
    }
    length = expected;
    return value;
}

bool isContinuationByte(char byte) {
    return (static_cast<std::uint8_t>(byte) & 0xC0) == 0x80;
}

} // namespace

std::string trimmedWhitespaceAndNewlines(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t length = 0;
        if (!QChar::isSpace(decodeAt(text, begin, length))) {
            break;
        }
        begin += length;
    }
    std::size_t end = text.size();
    while (end > begin) {
        std::size_t start = end - 1;
        while (start > begin && isContinuationByte(text[start])) {
            --start;
        }
        std::size_t length = 0;
        const char32_t codePoint = decodeAt(text, start, length);
        if (start + length != end || !QChar::isSpace(codePoint)) {
            break;
        }
        end = start;
    }
    return std::string(text.substr(begin, end - begin));
}

std::string lowercased(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .toLower()
        .toStdString();
}

std::string uppercased(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .toUpper()
        .toStdString();
}

} // namespace quorix
