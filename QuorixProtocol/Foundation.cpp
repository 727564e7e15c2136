#include "QuorixProtocol/Foundation.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <random>

namespace quorix {

// MARK: UUID

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

constexpr bool isUUIDDashPosition(std::size_t index) {
    return index == 8 || index == 13 || index == 18 || index == 23;
}

} // namespace

UUID UUID::random() {
    // Straight from the system's entropy source: a generator seeded with one 32-bit value
    // would give only 2^32 different sequences, so two runs could repeat each other's ids.
    thread_local std::random_device source;
    UUID uuid;
    for (std::size_t offset = 0; offset < uuid.bytes.size(); offset += 4) {
        const auto word = static_cast<std::uint32_t>(source());
        std::memcpy(uuid.bytes.data() + offset, &word, 4);
    }
    uuid.bytes[6] = static_cast<std::uint8_t>((uuid.bytes[6] & 0x0F) | 0x40);
    uuid.bytes[8] = static_cast<std::uint8_t>((uuid.bytes[8] & 0x3F) | 0x80);
    return uuid;
}

std::optional<UUID> UUID::fromString(std::string_view text) {
    constexpr std::size_t canonicalLength = 36;
    if (text.size() != canonicalLength) {
        return std::nullopt;
    }
    UUID uuid;
    std::size_t byteIndex = 0;
    for (std::size_t i = 0; i < canonicalLength;) {
        if (isUUIDDashPosition(i)) {
            if (text[i] != '-') {
                return std::nullopt;
            }
            ++i;
            continue;
        }
        const int high = hexValue(text[i]);
        const int low = hexValue(text[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        uuid.bytes[byteIndex++] = static_cast<std::uint8_t>(high << 4 | low);
        i += 2;
    }
    return uuid;
}

std::string UUID::uuidString() const {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text.push_back('-');
        }
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 0x0F]);
    }
    return text;
}

// MARK: URL

namespace {

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Characters a URL reference may hold literally (RFC 3986 unreserved and reserved,
// brackets aside); everything else has to be percent-encoded.
bool isURLCharacter(char c) {
    if (isAlpha(c) || isDigit(c)) {
        return true;
    }
    return std::string_view("-._~:/?#@!$&'()*+,;=").find(c) != std::string_view::npos;
}

// The length of a valid scheme at the front of `text` that is followed by ':', or 0.
std::size_t schemeLength(std::string_view text) {
    if (text.empty() || !isAlpha(text.front())) {
        return 0;
    }
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ':') {
            return i;
        }
        if (!(isAlpha(c) || isDigit(c) || c == '+' || c == '-' || c == '.')) {
            return 0;
        }
    }
    return 0;
}

} // namespace

std::optional<URL> URL::parse(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    const std::size_t scheme = schemeLength(text);
    const std::size_t firstDelimiter = text.find_first_of(":/?#");
    // A colon before any slash, query or fragment must end a scheme; otherwise the first
    // path segment of a relative reference would hold a colon, which is not allowed.
    if (scheme == 0 && firstDelimiter != std::string_view::npos && text[firstDelimiter] == ':') {
        return std::nullopt;
    }

    const std::size_t rest = scheme == 0 ? 0 : scheme + 1;
    std::size_t authorityEnd = rest;
    const bool hasAuthority = text.substr(rest).starts_with("//");
    if (hasAuthority) {
        authorityEnd = text.find_first_of("/?#", rest + 2);
        if (authorityEnd == std::string_view::npos) {
            authorityEnd = text.size();
        }
    }

    bool seenFragment = false;
    for (std::size_t i = rest; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size() || hexValue(text[i + 1]) < 0 || hexValue(text[i + 2]) < 0) {
                return std::nullopt;
            }
            i += 2;
            continue;
        }
        if (c == '[' || c == ']') {
            // Brackets only enclose an IPv6 literal in the host.
            if (!hasAuthority || i >= authorityEnd) {
                return std::nullopt;
            }
            continue;
        }
        if (c == '#') {
            if (seenFragment) {
                return std::nullopt;
            }
            seenFragment = true;
            continue;
        }
        if (!isURLCharacter(c)) {
            return std::nullopt;
        }
    }
    return URL(std::string(text));
}

std::string URL::scheme() const {
    const std::size_t length = schemeLength(m_text);
    std::string scheme = m_text.substr(0, length);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return scheme;
}

// MARK: Dates

Date currentDate() {
    return std::chrono::time_point_cast<Date::duration>(std::chrono::system_clock::now());
}

// MARK: ISO 8601

namespace ISO8601 {

std::string format(Date date) {
    using namespace std::chrono;
    const auto wholeSeconds = floor<seconds>(date);
    const auto day = floor<days>(wholeSeconds);
    const year_month_day calendar{day};
    const hh_mm_ss time{wholeSeconds - day};
    char buffer[32];
    const int length = std::snprintf(
        buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(calendar.year()),
        static_cast<unsigned>(calendar.month()), static_cast<unsigned>(calendar.day()),
        static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
        static_cast<int>(time.seconds().count()));
    return std::string(buffer, static_cast<std::size_t>(length));
}

namespace {

// Reads exactly `width` decimal digits at `offset`.
std::optional<int> digitsAt(std::string_view text, std::size_t offset, std::size_t width) {
    if (offset + width > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = offset; i < offset + width; ++i) {
        if (!isDigit(text[i])) {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

std::optional<Date> parse(std::string_view text) {
    using namespace std::chrono;
    // "YYYY-MM-DDTHH:MM:SS" followed by "Z" or "+HH:MM" / "-HH:MM".
    constexpr std::size_t dateTimeLength = 19;
    if (text.size() < dateTimeLength + 1 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    const auto yearValue = digitsAt(text, 0, 4);
    const auto monthValue = digitsAt(text, 5, 2);
    const auto dayValue = digitsAt(text, 8, 2);
    const auto hourValue = digitsAt(text, 11, 2);
    const auto minuteValue = digitsAt(text, 14, 2);
    const auto secondValue = digitsAt(text, 17, 2);
    if (!yearValue || !monthValue || !dayValue || !hourValue || !minuteValue || !secondValue ||
        *hourValue > 23 || *minuteValue > 59 || *secondValue > 59) {
        return std::nullopt;
    }
    const year_month_day calendar{year{*yearValue}, month{static_cast<unsigned>(*monthValue)},
                                  day{static_cast<unsigned>(*dayValue)}};
    if (!calendar.ok()) {
        return std::nullopt;
    }

    minutes offset{0};
    const std::string_view zone = text.substr(dateTimeLength);
    if (zone != "Z") {
        if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':') {
            return std::nullopt;
        }
        const auto offsetHours = digitsAt(zone, 1, 2);
        const auto offsetMinutes = digitsAt(zone, 4, 2);
        if (!offsetHours || !offsetMinutes || *offsetHours > 23 || *offsetMinutes > 59) {
            return std::nullopt;
        }
        offset = hours{*offsetHours} + minutes{*offsetMinutes};
        if (zone[0] == '-') {
            offset = -offset;
        }
    }
    const sys_seconds local =
        sys_days{calendar} + hours{*hourValue} + minutes{*minuteValue} + seconds{*secondValue};
    // A date holds nanoseconds in 64 bits (about the years 1678 to 2262); text outside
    // that span would overflow the conversion, so it reads as no date at all.
    const sys_seconds instant = local - offset;
    constexpr auto earliest = floor<seconds>(Date::min()).time_since_epoch() + seconds{1};
    constexpr auto latest = floor<seconds>(Date::max()).time_since_epoch();
    if (instant.time_since_epoch() < earliest || instant.time_since_epoch() > latest) {
        return std::nullopt;
    }
    return Date{instant};
}

} // namespace ISO8601

// MARK: Base64

namespace Base64 {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Any bit at or above 24 marks a character outside the alphabet, so one test per group
// of four characters finds it.
constexpr std::uint32_t invalidMark = 0xFF000000U;

struct DecodeTables {
    std::array<std::uint32_t, 256> shifted[4];
};

constexpr DecodeTables makeDecodeTables() {
    DecodeTables tables{};
    for (auto& table : tables.shifted) {
        table.fill(invalidMark);
    }
    for (std::uint32_t value = 0; value < 64; ++value) {
        const auto c = static_cast<unsigned char>(alphabet[value]);
        tables.shifted[0][c] = value << 18;
        tables.shifted[1][c] = value << 12;
        tables.shifted[2][c] = value << 6;
        tables.shifted[3][c] = value;
    }
    return tables;
}

constexpr DecodeTables decodeTables = makeDecodeTables();

// Two output characters per 12 bits of input halves the table look-ups of encoding.
struct PairTable {
    std::array<std::array<char, 2>, 4096> pairs;
};

constexpr PairTable makePairTable() {
    PairTable table{};
    for (std::size_t i = 0; i < 4096; ++i) {
        table.pairs[i] = {alphabet[i >> 6], alphabet[i & 0x3F]};
    }
    return table;
}

constexpr PairTable pairTable = makePairTable();

} // namespace

std::string encode(std::span<const std::uint8_t> bytes) {
    std::string text;
    encodeAppending(bytes, text);
    return text;
}

void encodeAppending(std::span<const std::uint8_t> bytes, std::string& output) {
    const std::size_t start = output.size();
    output.resize(start + (bytes.size() + 2) / 3 * 4);
    char* out = output.data() + start;
    const std::uint8_t* in = bytes.data();
    std::size_t remaining = bytes.size();
    while (remaining >= 3) {
        const std::uint32_t group = std::uint32_t{in[0]} << 16 | std::uint32_t{in[1]} << 8 | in[2];
        std::memcpy(out, pairTable.pairs[group >> 12].data(), 2);
        std::memcpy(out + 2, pairTable.pairs[group & 0xFFF].data(), 2);
        in += 3;
        out += 4;
        remaining -= 3;
    }
    if (remaining > 0) {
        const std::uint32_t group =
            std::uint32_t{in[0]} << 16 | (remaining == 2 ? std::uint32_t{in[1]} << 8 : 0U);
        out[0] = alphabet[group >> 18];
        out[1] = alphabet[(group >> 12) & 0x3F];
        out[2] = remaining == 2 ? alphabet[(group >> 6) & 0x3F] : '=';
        out[3] = '=';
    }
}

void encodeAppendingEscapingSlashes(std::span<const std::uint8_t> bytes, std::string& output) {
    // Letters are made in a small buffer that stays in the cache and appended a chunk at a
    // time, so the (large) output is written once.
    constexpr std::size_t groupsPerChunk = 1024;
    constexpr std::size_t maxLettersPerGroup = 8;
    char chunk[groupsPerChunk * maxLettersPerGroup];
    auto appendEscaped = [](char*& out, const char* letters, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            *out = '\\';
            out += letters[i] == '/' ? 1 : 0;
            *out++ = letters[i];
        }
    };

    const std::uint8_t* in = bytes.data();
    std::size_t remaining = bytes.size();
    while (remaining >= 3) {
        const std::size_t groups = std::min(remaining / 3, groupsPerChunk);
        char* out = chunk;
        for (std::size_t i = 0; i < groups; ++i) {
            const std::uint32_t group =
                std::uint32_t{in[0]} << 16 | std::uint32_t{in[1]} << 8 | in[2];
            char letters[4];
            std::memcpy(letters, pairTable.pairs[group >> 12].data(), 2);
            std::memcpy(letters + 2, pairTable.pairs[group & 0xFFF].data(), 2);
            // "/" is the letter for a sextet of all ones.
            const bool hasSlash = (group & 0xFC0000) == 0xFC0000 || (group & 0x3F000) == 0x3F000 ||
                                  (group & 0xFC0) == 0xFC0 || (group & 0x3F) == 0x3F;
            if (hasSlash) {
                appendEscaped(out, letters, 4);
            } else {
                std::memcpy(out, letters, 4);
                out += 4;
            }
            in += 3;
        }
        remaining -= groups * 3;
        output.append(chunk, out);
    }
    if (remaining > 0) {
        std::string tail;
        encodeAppending(std::span(in, remaining), tail);
        char* out = chunk;
        appendEscaped(out, tail.data(), tail.size());
        output.append(chunk, out);
    }
}

std::optional<Bytes> decode(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    if (text.empty()) {
        return Bytes{};
    }
    std::size_t padding = 0;
    if (text.back() == '=') {
        padding = text[text.size() - 2] == '=' ? 2 : 1;
    }

    const std::size_t fullGroups = text.size() / 4 - (padding > 0 ? 1 : 0);
    Bytes bytes(text.size() / 4 * 3 - padding);
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    std::uint8_t* out = bytes.data();
    const auto& t = decodeTables.shifted;

    std::uint32_t invalid = 0;
    for (std::size_t group = 0; group < fullGroups; ++group) {
        const std::uint32_t value = t[0][in[0]] | t[1][in[1]] | t[2][in[2]] | t[3][in[3]];
        invalid |= value;
        out[0] = static_cast<std::uint8_t>(value >> 16);
        out[1] = static_cast<std::uint8_t>(value >> 8);
        out[2] = static_cast<std::uint8_t>(value);
        in += 4;
        out += 3;
    }
    if (invalid & invalidMark) {
        return std::nullopt;
    }

    if (padding > 0) {
        const std::uint32_t value = t[0][in[0]] | t[1][in[1]] | (padding == 1 ? t[2][in[2]] : 0U);
        if (value & invalidMark) {
            return std::nullopt;
        }
        out[0] = static_cast<std::uint8_t>(value >> 16);
        if (padding == 1) {
            out[1] = static_cast<std::uint8_t>(value >> 8);
        }
    }
    return bytes;
}

} // namespace Base64

} // namespace quorix
