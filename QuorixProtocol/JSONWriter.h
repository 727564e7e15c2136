#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quorix {

/// Appends compact JSON to one string, in the byte form the peers compare against:
/// "/" escaped as "\/", control characters as short escapes or "\u00xx", everything
/// else (non-ASCII included) as raw UTF-8.
///
/// Keys are written in the order the caller gives them; callers write them sorted.
/// Commas are placed by the writer.
class JSONWriter {
public:
    explicit JSONWriter(std::string& output)
        : m_out(output) {}

    void beginObject() {
        separate();
        m_out.push_back('{');
        m_needsComma = false;
    }
    void endObject() {
        m_out.push_back('}');
        m_needsComma = true;
    }
    void beginArray() {
        separate();
        m_out.push_back('[');
        m_needsComma = false;
    }
    void endArray() {
        m_out.push_back(']');
        m_needsComma = true;
    }

    /// `name` must need no escaping (the protocol's keys are plain ASCII words).
    void key(std::string_view name) {
        separate();
        m_out.push_back('"');
        m_out.append(name);
        m_out.append("\":", 2);
        m_needsComma = false;
    }

    void string(std::string_view text);
    void integer(std::int64_t value);
    void boolean(bool value) {
        separate();
        m_out.append(value ? std::string_view("true") : std::string_view("false"));
        m_needsComma = true;
    }
    /// Writes the shortest text that reads back as `value`; false (and nothing written)
    /// when the value is not finite, which JSON cannot express.
    bool number(double value);
    /// Writes the bytes as a Base64 string, escaped like any other string.
    void base64(std::span<const std::uint8_t> bytes);

private:
    void separate() {
        if (m_needsComma) {
            m_out.push_back(',');
        }
    }

    std::string& m_out;
    bool m_needsComma = false;
};

/// The text `JSONWriter::number` writes for a finite value: the shortest digits that
/// read back exactly, in fixed notation for decimal exponents from -4 to 15 and in
/// exponent notation ("1e-05", "1.5e+16") otherwise, without a ".0" on whole numbers.
/// Negative zero is written "0".
std::string formatJSONNumber(double value);

} // namespace quorix
