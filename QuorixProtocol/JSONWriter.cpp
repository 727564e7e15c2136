#include "QuorixProtocol/JSONWriter.h"

#include "QuorixProtocol/Foundation.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace quorix {

namespace {

// 0 = copied as is; otherwise the letter of a short escape, or 'u' for "\u00xx".
constexpr std::array<char, 256> escapeTable = [] {
    std::array<char, 256> table{};
    for (int c = 0; c < 0x20; ++c) {
        table[c] = 'u';
    }
    table['\b'] = 'b';
    table['\f'] = 'f';
    table['\n'] = 'n';
    table['\r'] = 'r';
    table['\t'] = 't';
    table['"'] = '"';
    table['\\'] = '\\';
    table['/'] = '/';
    return table;
}();

// Decimal exponents from this one up to (not including) the upper one are written in
// fixed notation; the rest as digits with an exponent.
constexpr int lowestFixedExponent = -4;
constexpr int firstExponentNotation = 16;

} // namespace

void JSONWriter::string(std::string_view text) {
    separate();
    m_out.push_back('"');
    const char* run = text.data();
    const char* const end = text.data() + text.size();
    for (const char* p = run; p != end; ++p) {
        const char escape = escapeTable[static_cast<unsigned char>(*p)];
        if (escape == 0) {
            continue;
        }
        m_out.append(run, p);
        run = p + 1;
        if (escape != 'u') {
            const char pair[2] = {'\\', escape};
            m_out.append(pair, 2);
            continue;
        }
        static constexpr char hex[] = "0123456789abcdef";
        const auto byte = static_cast<unsigned char>(*p);
        const char sequence[6] = {'\\', 'u', '0', '0', hex[byte >> 4], hex[byte & 0xF]};
        m_out.append(sequence, 6);
    }
    m_out.append(run, end);
    m_out.push_back('"');
    m_needsComma = true;
}

void JSONWriter::integer(std::int64_t value) {
    separate();
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    m_out.append(buffer, result.ptr);
    m_needsComma = true;
}

bool JSONWriter::number(double value) {
    if (!std::isfinite(value)) {
        return false;
    }
    separate();
    m_out.append(formatJSONNumber(value));
    m_needsComma = true;
    return true;
}

void JSONWriter::base64(std::span<const std::uint8_t> bytes) {
    separate();
    m_out.push_back('"');
    Base64::encodeAppendingEscapingSlashes(bytes, m_out);
    m_out.push_back('"');
    m_needsComma = true;
}

std::string formatJSONNumber(double value) {
    // Decoding reads "-0" as the integer 0, so negative zero is written as the zero it
    // comes back as; otherwise a decoded value would not encode to the bytes it came from.
    if (value == 0) {
        return "0";
    }
    char scientific[32];
    const auto result = std::to_chars(scientific, scientific + sizeof scientific, value,
                                      std::chars_format::scientific);
    const std::string_view text(scientific, static_cast<std::size_t>(result.ptr - scientific));

    // text is "[-]d[.ddd]e±xx"
    const std::size_t ePosition = text.find('e');
    int exponent = 0;
    std::from_chars(text.data() + ePosition + (text[ePosition + 1] == '+' ? 2 : 1),
                    text.data() + text.size(), exponent);
    if (exponent < lowestFixedExponent || exponent >= firstExponentNotation) {
        return std::string(text);
    }

    const bool negative = text.front() == '-';
    std::string digits;
    for (char c : text.substr(negative ? 1 : 0, ePosition - (negative ? 1 : 0))) {
        if (c != '.') {
            digits.push_back(c);
        }
    }

    std::string fixed;
    if (negative) {
        fixed.push_back('-');
    }
    if (exponent < 0) {
        fixed.append("0.");
        fixed.append(static_cast<std::size_t>(-exponent - 1), '0');
        fixed.append(digits);
        return fixed;
    }
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integerDigits) {
        fixed.append(digits);
        fixed.append(integerDigits - digits.size(), '0');
        return fixed;
    }
    fixed.append(digits, 0, integerDigits);
    fixed.push_back('.');
    fixed.append(digits, integerDigits);
    return fixed;
}

} // namespace quorix
