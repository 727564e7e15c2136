#pragma once

#include <array>
#include <chrono>
#include <compare>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace quorix {

using Bytes = std::vector<std::uint8_t>;

/// A point in time with the full precision of the system clock. Only the wire form is
/// truncated to whole seconds.
using Date = std::chrono::sys_time<std::chrono::nanoseconds>;

/// The current time at full precision; the clock every seam defaults to.
Date currentDate();

/// A value or the error that stands in for it; errors that cross a module boundary are
/// values, never exceptions.
template <typename T, typename E>
class Expected {
public:
    Expected(T value)
        : m_storage(std::in_place_index<0>, std::move(value)) {}
    Expected(E error)
        : m_storage(std::in_place_index<1>, std::move(error)) {}

    bool hasValue() const { return m_storage.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    T& value() & { return std::get<0>(m_storage); }
    const T& value() const& { return std::get<0>(m_storage); }
    T&& value() && { return std::get<0>(std::move(m_storage)); }
    const E& error() const { return std::get<1>(m_storage); }

    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

private:
    std::variant<T, E> m_storage;
};

/// Visits a variant with one lambda per alternative: `std::visit(Overloaded{...}, value)`.
template <typename... Cases>
struct Overloaded : Cases... {
    using Cases::operator()...;
};
template <typename... Cases>
Overloaded(Cases...) -> Overloaded<Cases...>;

/// A 128-bit identifier; its text form is the canonical 8-4-4-4-12 hexadecimal one.
struct UUID {
    std::array<std::uint8_t, 16> bytes{};

    /// A new random (version 4) identifier.
    static UUID random();
    /// Reads the canonical form in either letter case; anything else gives nothing.
    static std::optional<UUID> fromString(std::string_view text);
    /// The canonical form in upper case, as written on the wire.
    std::string uuidString() const;

    auto operator<=>(const UUID&) const = default;
};

/// A URL as text that URL parsing accepted. The text is kept exactly as given, so
/// encoding writes back what was read.
class URL {
public:
    /// Nothing when the text is not an absolute or relative URL reference.
    static std::optional<URL> parse(std::string_view text);

    const std::string& absoluteString() const { return m_text; }
    /// The scheme in lower case, empty when there is none.
    std::string scheme() const;

    bool operator==(const URL&) const = default;

private:
    explicit URL(std::string text)
        : m_text(std::move(text)) {}
    std::string m_text;
};

namespace ISO8601 {
/// Internet date-time in UTC with whole seconds ("2026-01-31T09:15:00Z"); the
/// sub-second part of the date is dropped.
std::string format(Date date);
/// Accepts internet date-time text with whole seconds and a "Z" or numeric offset;
/// fractional seconds and anything else give nothing.
std::optional<Date> parse(std::string_view text);
} // namespace ISO8601

/// Standard Base64 (RFC 4648 alphabet, "=" padding, no line breaks).
namespace Base64 {
std::string encode(std::span<const std::uint8_t> bytes);
/// Appends the Base64 text of `bytes` to `output`, for writers that build one large text.
void encodeAppending(std::span<const std::uint8_t> bytes, std::string& output);
/// Like `encodeAppending`, with every "/" written as "\/" for JSON writers that escape
/// slashes.
void encodeAppendingEscapingSlashes(std::span<const std::uint8_t> bytes, std::string& output);
/// Strict: any character outside the alphabet, blanks and line breaks included, or
/// wrong padding, gives nothing.
std::optional<Bytes> decode(std::string_view text);
} // namespace Base64

} // namespace quorix
