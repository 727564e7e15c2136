#include "QuorixProtocol/ProtocolJSON.h"
#include "QuorixProtocol/ProtocolJSONCoding.h"

#include <array>
#include <limits>
#include <optional>
#include <simdjson.h>
#include <utility>

namespace quorix {

std::string DecodingError::description() const {
    return path.empty() ? message : path + ": " + message;
}

namespace {

using ProtocolJSONCoding::JSONPath;
using ProtocolJSONCoding::Kinds;
using ProtocolJSONCoding::TaggedUnion;

// Error texts quote what they found; a multi-megabyte string is cut short.
constexpr std::size_t maxQuotedBytes = 64;

std::string quoted(std::string_view text) {
    bool truncated = false;
    if (text.size() > maxQuotedBytes) {
        std::size_t cut = maxQuotedBytes;
        // Back off to the start of a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        text = text.substr(0, cut);
        truncated = true;
    }
    std::string result = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            result += '\\';
            result += c;
        } else if (byte < 0x20) {
            static constexpr char hex[] = "0123456789abcdef";
            result += "\\u00";
            result += hex[byte >> 4];
            result += hex[byte & 0xF];
        } else {
            result += c;
        }
    }
    result += truncated ? "\"..." : "\"";
    return result;
}
using simdjson::dom::array;
using simdjson::dom::element;
using simdjson::dom::element_type;
using simdjson::dom::object;

std::string_view describe(element_type type) {
    switch (type) {
    case element_type::ARRAY:
        return "an array";
    case element_type::OBJECT:
        return "an object";
    case element_type::INT64:
    case element_type::UINT64:
    case element_type::DOUBLE:
        return "a number";
    case element_type::STRING:
        return "a string";
    case element_type::BOOL:
        return "a boolean";
    case element_type::NULL_VALUE:
        return "null";
    }
    return "an unknown value";
}

/// Strict reading of the protocol's records from a parsed document. Every `read`
/// gives false after recording the first failure, with its path, in `error`.
///
/// A record or a case of a tagged union is read from its object by a `readFields`
/// overload, which reads its keys in the record's declared order, so the first missing
/// key is the one reported.
class Reader {
public:
    DecodingError error;

    bool fail(const JSONPath& path, std::string message) {
        error = DecodingError{path.text(), std::move(message)};
        return false;
    }

    bool wrongType(const JSONPath& path, std::string_view expected, element value) {
        return fail(path, "expected " + std::string(expected) + ", found " +
                              std::string(describe(value.type())));
    }

    template <typename T>
    bool required(object container, const JSONPath& path, std::string_view name, T& out) {
        const JSONPath keyPath = path.key(name);
        element value;
        if (container.at_key(name).get(value) != simdjson::SUCCESS) {
            return fail(keyPath, "missing key");
        }
        return read(value, keyPath, out);
    }

    template <typename T>
    bool optional(object container, const JSONPath& path, std::string_view name,
                  std::optional<T>& out) {
        element value;
        if (container.at_key(name).get(value) != simdjson::SUCCESS || value.is_null()) {
            out.reset();
            return true;
        }
        return read(value, path.key(name), out.emplace());
    }

    // Refers into the parsed document; for texts that are read on, not kept.
    bool read(element value, const JSONPath& path, std::string_view& out) {
        if (value.get_string().get(out) != simdjson::SUCCESS) {
            return wrongType(path, "a string", value);
        }
        return true;
    }

    bool read(element value, const JSONPath& path, std::string& out) {
        std::string_view text;
        if (!read(value, path, text)) {
            return false;
        }
        out.assign(text);
        return true;
    }

    bool read(element value, const JSONPath& path, std::int64_t& out) {
        switch (value.type()) {
        case element_type::INT64:
            out = value.get_int64().value_unsafe();
            return true;
        case element_type::UINT64:
        case element_type::DOUBLE:
            // Written with a fraction or an exponent, or beyond 64 bits: not an integer here.
            return fail(path, "expected an integer, found a number that is not a 64-bit integer");
        default:
            return wrongType(path, "an integer", value);
        }
    }

    bool read(element value, const JSONPath& path, double& out) {
        if (value.get_double().get(out) != simdjson::SUCCESS) {
            return wrongType(path, "a number", value);
        }
        return true;
    }

    bool read(element value, const JSONPath& path, bool& out) {
        if (value.get_bool().get(out) != simdjson::SUCCESS) {
            return wrongType(path, "a boolean", value);
        }
        return true;
    }

    bool read(element value, const JSONPath& path, UUID& out) {
        std::string_view text;
        if (value.get_string().get(text) != simdjson::SUCCESS) {
            return wrongType(path, "a UUID string", value);
        }
        const auto uuid = UUID::fromString(text);
        if (!uuid) {
            return fail(path, "not a UUID: " + quoted(text));
        }
        out = *uuid;
        return true;
    }

    bool read(element value, const JSONPath& path, Date& out) {
        std::string_view text;
        if (value.get_string().get(text) != simdjson::SUCCESS) {
            return wrongType(path, "a date string", value);
        }
        const auto date = ISO8601::parse(text);
        if (!date) {
            return fail(path, "not an ISO 8601 date-time with whole seconds: " + quoted(text));
        }
        out = *date;
        return true;
    }

    // A URL has no empty value, so it is read into an optional that is set on success.
    bool read(element value, const JSONPath& path, std::optional<URL>& out) {
        std::string_view text;
        if (value.get_string().get(text) != simdjson::SUCCESS) {
            return wrongType(path, "a URL string", value);
        }
        out = URL::parse(text);
        if (!out) {
            return fail(path, "not a valid URL: " + quoted(text));
        }
        return true;
    }

    template <typename Enumeration>
    requires std::is_enum_v<Enumeration>
    bool read(element value, const JSONPath& path, Enumeration& out) {
        std::string_view text;
        if (value.get_string().get(text) != simdjson::SUCCESS) {
            return wrongType(path, "a string", value);
        }
        const auto parsed = fromRawValue<Enumeration>(text);
        if (!parsed) {
            return fail(path, "unknown value " + quoted(text));
        }
        out = *parsed;
        return true;
    }

    template <typename T>
    bool read(element value, const JSONPath& path, std::vector<T>& out) {
        array elements;
        if (value.get_array().get(elements) != simdjson::SUCCESS) {
            return wrongType(path, "an array", value);
        }
        out.clear();
        out.reserve(elements.size());
        std::size_t position = 0;
        for (const element item : elements) {
            if (!read(item, path.index(position), out.emplace_back())) {
                return false;
            }
            ++position;
        }
        return true;
    }

    template <typename T>
    bool read(element value, const JSONPath& path, std::optional<T>& out) {
        return read(value, path, out.emplace());
    }

    /// Finds the case by its "type" text, matched exactly, then reads only that case's
    /// keys; keys of other cases are ignored.
    template <TaggedUnion Union>
    bool readFields(object fields, const JSONPath& path, Union& out) {
        std::string_view text;
        if (!required(fields, path, "type", text)) {
            return false;
        }
        static constexpr auto cases = caseReaders<Union>(
            std::make_index_sequence<std::variant_size_v<decltype(Union::value)>>());
        const auto& names = Kinds<Union>::table.names;
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] == text) {
                return (this->*cases[i])(fields, path, out);
            }
        }
        return fail(path.key("type"), "unknown value " + quoted(text));
    }

    bool readFields(object fields, const JSONPath& path, KeyCombo& out) {
        return required(fields, path, "modifiers", out.modifiers) &&
               required(fields, path, "key", out.key);
    }

    bool readFields(object fields, const JSONPath& path, AppInfo& out) {
        return required(fields, path, "name", out.name) &&
               required(fields, path, "bundleID", out.bundleID) &&
               required(fields, path, "iconBase64", out.iconBase64);
    }

    bool readFields(object fields, const JSONPath& path, ColorGradient& out) {
        return required(fields, path, "startHex", out.startHex) &&
               required(fields, path, "endHex", out.endHex) &&
               required(fields, path, "angle", out.angle);
    }

    bool readFields(object fields, const JSONPath& path, QuorixButtonRecord& out) {
        return required(fields, path, "id", out.id) &&
               required(fields, path, "position", out.position) &&
               required(fields, path, "icon", out.icon) &&
               required(fields, path, "colorGradient", out.colorGradient) &&
               required(fields, path, "action", out.action);
    }

    bool readFields(object fields, const JSONPath& path, PageRecord& out) {
        return required(fields, path, "id", out.id) && required(fields, path, "name", out.name) &&
               required(fields, path, "order", out.order) &&
               required(fields, path, "gradient", out.gradient) &&
               required(fields, path, "buttons", out.buttons) &&
               required(fields, path, "gridColumns", out.gridColumns) &&
               required(fields, path, "gridRows", out.gridRows);
    }

    bool readFields(object fields, const JSONPath& path, LayoutRecord& out) {
        return required(fields, path, "id", out.id) && required(fields, path, "pages", out.pages) &&
               required(fields, path, "theme", out.theme) &&
               required(fields, path, "updatedAt", out.updatedAt);
    }

    bool readFields(object fields, const JSONPath& path, DeviceRecord& out) {
        return required(fields, path, "id", out.id) && required(fields, path, "name", out.name) &&
               required(fields, path, "deviceType", out.deviceType) &&
               optional(fields, path, "lastConnectedAt", out.lastConnectedAt) &&
               required(fields, path, "authToken", out.authToken) &&
               required(fields, path, "fingerprint", out.fingerprint);
    }

    bool readFields(object fields, const JSONPath& path, PairingQRCodePayload& out);

    bool readFields(object fields, const JSONPath& path, ActionSpec::KeyboardShortcut& out) {
        return required(fields, path, "combo", out.combo);
    }
    bool readFields(object fields, const JSONPath& path, ActionSpec::LaunchApp& out) {
        return required(fields, path, "bundleID", out.bundleID) &&
               optional(fields, path, "fallbackPath", out.fallbackPath);
    }
    bool readFields(object fields, const JSONPath& path, ActionSpec::Macro& out) {
        if (m_macroDepth == maxMacroNesting) {
            return fail(path,
                        "macros nested deeper than " + std::to_string(maxMacroNesting) + " levels");
        }
        ++m_macroDepth;
        const bool actionsRead = required(fields, path, "actions", out.actions);
        --m_macroDepth;
        return actionsRead && required(fields, path, "delays", out.delays);
    }
    bool readFields(object fields, const JSONPath& path, ActionSpec::ShellCommand& out) {
        return required(fields, path, "command", out.command);
    }

    bool readFields(object fields, const JSONPath& path, IconRef::SFSymbol& out) {
        return required(fields, path, "name", out.name);
    }
    bool readFields(object fields, const JSONPath& path, IconRef::AppIcon& out) {
        return required(fields, path, "bundleID", out.bundleID);
    }
    bool readFields(object fields, const JSONPath& path, IconRef::Custom& out);

    bool readFields(object fields, const JSONPath& path, QuorixClientMessage::AuthRequest& out) {
        return required(fields, path, "code", out.code);
    }
    bool readFields(object fields, const JSONPath& path, QuorixClientMessage::AuthResume& out) {
        return required(fields, path, "token", out.token);
    }
    bool readFields(object fields, const JSONPath& path, QuorixClientMessage::Execute& out) {
        return required(fields, path, "buttonId", out.buttonId) &&
               required(fields, path, "action", out.action);
    }
    bool readFields(object fields, const JSONPath& path, QuorixClientMessage::LayoutUpdate& out) {
        return required(fields, path, "layout", out.layout);
    }
    bool readFields(object fields, const JSONPath& path, QuorixClientMessage::CaptureKeys& out) {
        return required(fields, path, "timeoutMs", out.timeoutMs);
    }

    bool readFields(object fields, const JSONPath& path, QuorixServerMessage::AuthSuccess& out) {
        return required(fields, path, "token", out.token) &&
               required(fields, path, "deviceName", out.deviceName) &&
               required(fields, path, "deviceType", out.deviceType);
    }
    bool readFields(object fields, const JSONPath& path, QuorixServerMessage::AuthFailure& out) {
        return required(fields, path, "reason", out.reason);
    }
    bool readFields(object fields, const JSONPath& path, QuorixServerMessage::ExecuteResult& out) {
        return required(fields, path, "buttonId", out.buttonId) &&
               required(fields, path, "success", out.success) &&
               optional(fields, path, "error", out.error);
    }
    bool readFields(object fields, const JSONPath& path, QuorixServerMessage::CapturedKeys& out) {
        return required(fields, path, "combo", out.combo);
    }
    bool readFields(object fields, const JSONPath& path, QuorixServerMessage::AppsList& out) {
        return required(fields, path, "apps", out.apps);
    }
    bool readFields(object fields, const JSONPath& path, QuorixServerMessage::LayoutChanged& out) {
        return required(fields, path, "layout", out.layout);
    }

    // Cases holding only a URL, under "url": made once the URL is read.
    template <typename Payload>
    requires std::is_same_v<decltype(Payload::url), URL>
    bool readFields(object fields, const JSONPath& path, std::optional<Payload>& out) {
        std::optional<URL> url;
        if (!required(fields, path, "url", url)) {
            return false;
        }
        out.emplace(Payload{std::move(*url)});
        return true;
    }

    // Cases without keys besides "type".
    template <typename Payload>
    requires std::is_empty_v<Payload>
    bool readFields(object, const JSONPath&, Payload&) { return true; }

    /// Records and tagged unions: one JSON object each. Enumerations, lists and optional
    /// values have their own, more specialised overloads above.
    template <typename T>
    requires(!std::is_enum_v<T>) bool read(element value, const JSONPath& path, T& out) {
        object fields;
        if (value.get_object().get(fields) != simdjson::SUCCESS) {
            return wrongType(path, "an object", value);
        }
        return readFields(fields, path, out);
    }

private:
    /// Reads alternative `Index` of the union into `out`. A case is read into an empty
    /// value of its own, except one holding a URL, which has no empty value and is made
    /// once its keys are read.
    template <typename Union, std::size_t Index>
    bool readCase(object fields, const JSONPath& path, Union& out) {
        using Payload = std::variant_alternative_t<Index, decltype(Union::value)>;
        if constexpr (requires(Payload & payload) { readFields(fields, path, payload); }) {
            Payload payload;
            if (!readFields(fields, path, payload)) {
                return false;
            }
            out.value.template emplace<Index>(std::move(payload));
        } else {
            std::optional<Payload> payload;
            if (!readFields(fields, path, payload)) {
                return false;
            }
            out.value.template emplace<Index>(std::move(*payload));
        }
        return true;
    }

    template <typename Union>
    using CaseReader = bool (Reader::*)(object, const JSONPath&, Union&);

    template <typename Union, std::size_t... Index>
    static constexpr std::array<CaseReader<Union>, sizeof...(Index)>
    caseReaders(std::index_sequence<Index...>) {
        return {&Reader::readCase<Union, Index>...};
    }

    int m_macroDepth = 0;
};

bool Reader::readFields(object fields, const JSONPath& path, IconRef::Custom& out) {
    std::string_view text;
    if (!required(fields, path, "dataBase64", text)) {
        return false;
    }
    auto bytes = Base64::decode(text);
    if (!bytes) {
        return fail(path.key("dataBase64"), "custom icon is not valid Base64");
    }
    out.data = std::move(*bytes);
    return true;
}

bool Reader::readFields(object fields, const JSONPath& path, PairingQRCodePayload& out) {
    if (!required(fields, path, "serviceName", out.serviceName) ||
        !required(fields, path, "code", out.code) ||
        !optional(fields, path, "fingerprint", out.fingerprint) ||
        !optional(fields, path, "host", out.host)) {
        return false;
    }
    std::optional<std::int64_t> port;
    if (!optional(fields, path, "port", port)) {
        return false;
    }
    if (port && (*port < 0 || *port > std::numeric_limits<std::uint16_t>::max())) {
        return fail(path.key("port"),
                    "expected a port from 0 to 65535, found " + std::to_string(*port));
    }
    out.port =
        port ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(*port)) : std::nullopt;
    return required(fields, path, "usesSecureTransport", out.usesSecureTransport);
}

std::string parseFailure(simdjson::error_code code) {
    switch (code) {
    case simdjson::EMPTY:
        return "empty input";
    case simdjson::UTF8_ERROR:
        return "input is not valid UTF-8";
    case simdjson::DEPTH_ERROR:
        return "not valid JSON: nested too deeply";
    case simdjson::NUMBER_ERROR:
        return "not valid JSON: a number is malformed or out of range";
    case simdjson::MEMALLOC:
    case simdjson::CAPACITY:
        return "input too large";
    default:
        return std::string("not valid JSON: ") + simdjson::error_message(code);
    }
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The magnitudes of the widest integers of each sign that 64 bits hold.
constexpr std::string_view largestUnsigned64 = "18446744073709551615";
constexpr std::string_view largestNegated64 = "9223372036854775808";

/// The document with a fraction (".0") after every integer literal too wide for 64 bits,
/// so that the parser reads it as the nearest double instead of refusing the whole
/// document; nothing when there is no such literal. Literals inside strings, and numbers
/// already written with a fraction or an exponent, stay as they are.
std::optional<std::string> withWideIntegersAsDecimals(std::string_view json) {
    std::string result;
    std::size_t copied = 0;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
            continue;
        }
        if (c != '-' && !isDigit(c)) {
            continue;
        }
        const bool negative = c == '-';
        const std::size_t digitsStart = i + (negative ? 1 : 0);
        std::size_t end = digitsStart;
        while (end < json.size() && isDigit(json[end])) {
            ++end;
        }
        const std::string_view digits = json.substr(digitsStart, end - digitsStart);
        const std::size_t integerEnd = end;
        while (end < json.size() && (isDigit(json[end]) || json[end] == '.' || json[end] == 'e' ||
                                     json[end] == 'E' || json[end] == '+' || json[end] == '-')) {
            ++end;
        }
        const std::string_view largest = negative ? largestNegated64 : largestUnsigned64;
        const bool wide =
            digits.size() > largest.size() || (digits.size() == largest.size() && digits > largest);
        // A leading zero makes the literal malformed, whatever its width.
        if (end == integerEnd && wide && digits.front() != '0') {
            result.append(json.substr(copied, end - copied)).append(".0");
            copied = end;
        }
        i = end - 1;
    }
    if (copied == 0) {
        return std::nullopt;
    }
    result.append(json.substr(copied));
    return result;
}

template <typename T>
Decoded<T> parseAndRead(simdjson::dom::parser& parser, std::string_view bytes) {
    element root;
    auto code = parser.parse(bytes.data(), bytes.size()).get(root);
    std::optional<std::string> widened;
    if (code == simdjson::NUMBER_ERROR) {
        // The parser takes an integer beyond 64 bits for a malformed number, where JSON
        // has no such limit: read it as a number like any other, and let only a key that
        // needs a 64-bit integer refuse it.
        widened = withWideIntegersAsDecimals(bytes);
        if (widened) {
            code = parser.parse(widened->data(), widened->size()).get(root);
        }
    }
    if (code != simdjson::SUCCESS) {
        return DecodingError{{}, parseFailure(code)};
    }
    Reader reader;
    T value;
    if (!reader.read(root, JSONPath(), value)) {
        return std::move(reader.error);
    }
    return value;
}

// The parser's buffers grow to the largest document it has seen and stay so. Up to this
// size they are kept, since allocating and faulting them in afresh for each message cost
// more than parsing it; a layout of megabytes leaves them to be released.
constexpr std::size_t maxRetainedParserCapacity = 1024 * 1024;

template <typename T>
Decoded<T> decodeDocument(std::string_view bytes) {
    // One parser per thread; nothing returned refers into it.
    thread_local simdjson::dom::parser parser;
    // An empty view may have no data pointer at all, which the parser would copy from.
    if (bytes.empty()) {
        return DecodingError{{}, parseFailure(simdjson::EMPTY)};
    }
    Decoded<T> result = parseAndRead<T>(parser, bytes);
    if (parser.capacity() > maxRetainedParserCapacity) {
        parser = simdjson::dom::parser{};
    }
    return result;
}

} // namespace

namespace ProtocolJSON {

Decoded<QuorixClientMessage> decodeClient(std::string_view bytes) {
    return decodeDocument<QuorixClientMessage>(bytes);
}
Decoded<QuorixServerMessage> decodeServer(std::string_view bytes) {
    return decodeDocument<QuorixServerMessage>(bytes);
}
Decoded<LayoutRecord> decodeLayout(std::string_view bytes) {
    return decodeDocument<LayoutRecord>(bytes);
}
Decoded<ActionSpec> decodeAction(std::string_view bytes) {
    return decodeDocument<ActionSpec>(bytes);
}
Decoded<KeyCombo> decodeKeyCombo(std::string_view bytes) {
    return decodeDocument<KeyCombo>(bytes);
}
Decoded<AppInfo> decodeAppInfo(std::string_view bytes) {
    return decodeDocument<AppInfo>(bytes);
}
Decoded<DeviceRecord> decodeDevice(std::string_view bytes) {
    return decodeDocument<DeviceRecord>(bytes);
}
Decoded<PairingQRCodePayload> decodePairingQRCodePayload(std::string_view bytes) {
    return decodeDocument<PairingQRCodePayload>(bytes);
}

} // namespace ProtocolJSON

} // namespace quorix
