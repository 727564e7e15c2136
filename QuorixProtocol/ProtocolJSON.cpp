#include "QuorixProtocol/ProtocolJSON.h"

#include "QuorixProtocol/JSONWriter.h"

#include <array>
#include <cmath>
#include <limits>
#include <simdjson.h>

namespace quorix {

std::string DecodingError::description() const {
    return path.empty() ? message : path + ": " + message;
}

std::string EncodingError::description() const {
    return path.empty() ? message : path + ": " + message;
}

namespace {

/// Where a value sits in a document: a chain of frames on the stack, turned into text
/// ("layout.pages[0].buttons[2].icon") only when something fails there.
class JSONPath {
public:
    JSONPath() = default;

    JSONPath key(std::string_view name) const { return JSONPath(this, name, 0); }
    JSONPath index(std::size_t position) const { return JSONPath(this, {}, position); }

    std::string text() const {
        std::string result;
        append(result);
        return result;
    }

private:
    JSONPath(const JSONPath* parent, std::string_view name, std::size_t position)
        : m_parent(parent)
        , m_name(name)
        , m_index(position) {}

    void append(std::string& result) const {
        if (m_parent == nullptr) {
            return;
        }
        m_parent->append(result);
        if (m_name.empty()) {
            result += '[' + std::to_string(m_index) + ']';
            return;
        }
        if (!result.empty()) {
            result += '.';
        }
        result += m_name;
    }

    const JSONPath* m_parent = nullptr;
    std::string_view m_name;
    std::size_t m_index = 0;
};

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

// MARK: Decoding

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

    bool objectAt(element value, const JSONPath& path, object& out) {
        if (value.get_object().get(out) != simdjson::SUCCESS) {
            return wrongType(path, "an object", value);
        }
        return true;
    }

    bool read(element value, const JSONPath& path, std::string& out) {
        std::string_view text;
        if (value.get_string().get(text) != simdjson::SUCCESS) {
            return wrongType(path, "a string", value);
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

    bool read(element value, const JSONPath& path, KeyCombo& out) {
        object fields;
        return objectAt(value, path, fields) &&
               required(fields, path, "modifiers", out.modifiers) &&
               required(fields, path, "key", out.key);
    }

    bool read(element value, const JSONPath& path, AppInfo& out) {
        object fields;
        return objectAt(value, path, fields) && required(fields, path, "name", out.name) &&
               required(fields, path, "bundleID", out.bundleID) &&
               required(fields, path, "iconBase64", out.iconBase64);
    }

    /// Reads "type" and matches it exactly against `names`; the index of the match.
    template <std::size_t Count>
    bool kind(object fields, const JSONPath& path, const std::array<std::string_view, Count>& names,
              std::size_t& out) {
        const JSONPath typePath = path.key("type");
        element value;
        if (fields.at_key("type").get(value) != simdjson::SUCCESS) {
            return fail(typePath, "missing key");
        }
        std::string_view text;
        if (value.get_string().get(text) != simdjson::SUCCESS) {
            return wrongType(typePath, "a string", value);
        }
        for (std::size_t i = 0; i < Count; ++i) {
            if (names[i] == text) {
                out = i;
                return true;
            }
        }
        return fail(typePath, "unknown value " + quoted(text));
    }

    bool read(element value, const JSONPath& path, ActionSpec& out);
    bool read(element value, const JSONPath& path, IconRef& out);
    bool read(element value, const JSONPath& path, ColorGradient& out);
    bool read(element value, const JSONPath& path, QuorixButtonRecord& out);
    bool read(element value, const JSONPath& path, PageRecord& out);
    bool read(element value, const JSONPath& path, LayoutRecord& out);
    bool read(element value, const JSONPath& path, DeviceRecord& out);
    bool read(element value, const JSONPath& path, PairingQRCodePayload& out);
    // The messages' first alternatives are not default-constructible everywhere (member
    // initialisers of nested structs), so messages are read into optionals.
    bool read(element value, const JSONPath& path, std::optional<QuorixClientMessage>& out);
    bool read(element value, const JSONPath& path, std::optional<QuorixServerMessage>& out);

    template <typename T>
    bool read(element value, const JSONPath& path, std::optional<T>& out) {
        return read(value, path, out.emplace());
    }

private:
    int m_macroDepth = 0;
};

// The "type" texts, in the order of the alternatives of each variant.
constexpr std::array<std::string_view, 5> actionKinds{"keyboardShortcut", "launchApp", "openURL",
                                                      "macro", "shellCommand"};
constexpr std::array<std::string_view, 4> iconKinds{"sfSymbol", "favicon", "appIcon", "custom"};
constexpr std::array<std::string_view, 7> clientKinds{
    "auth_request", "auth_resume",   "execute",  "layout_update",
    "capture_keys", "request_state", "list_apps"};
constexpr std::array<std::string_view, 6> serverKinds{"auth_success",   "auth_failure",
                                                      "execute_result", "captured_keys",
                                                      "apps_list",      "layout_changed"};

static_assert(actionKinds.size() == std::variant_size_v<decltype(ActionSpec::value)>);
static_assert(iconKinds.size() == std::variant_size_v<decltype(IconRef::value)>);
static_assert(clientKinds.size() == std::variant_size_v<decltype(QuorixClientMessage::value)>);
static_assert(serverKinds.size() == std::variant_size_v<decltype(QuorixServerMessage::value)>);

bool Reader::read(element value, const JSONPath& path, ActionSpec& out) {
    object fields;
    std::size_t type = 0;
    if (!objectAt(value, path, fields) || !kind(fields, path, actionKinds, type)) {
        return false;
    }
    switch (type) {
    case 0: {
        auto& shortcut = out.value.emplace<ActionSpec::KeyboardShortcut>();
        return required(fields, path, "combo", shortcut.combo);
    }
    case 1: {
        auto& launch = out.value.emplace<ActionSpec::LaunchApp>();
        return required(fields, path, "bundleID", launch.bundleID) &&
               optional(fields, path, "fallbackPath", launch.fallbackPath);
    }
    case 2: {
        std::optional<URL> url;
        if (!required(fields, path, "url", url)) {
            return false;
        }
        out.value.emplace<ActionSpec::OpenURL>(ActionSpec::OpenURL{std::move(*url)});
        return true;
    }
    case 3: {
        if (m_macroDepth == maxMacroNesting) {
            return fail(path,
                        "macros nested deeper than " + std::to_string(maxMacroNesting) + " levels");
        }
        auto& macro = out.value.emplace<ActionSpec::Macro>();
        ++m_macroDepth;
        const bool actionsRead = required(fields, path, "actions", macro.actions);
        --m_macroDepth;
        return actionsRead && required(fields, path, "delays", macro.delays);
    }
    default: {
        auto& shell = out.value.emplace<ActionSpec::ShellCommand>();
        return required(fields, path, "command", shell.command);
    }
    }
}

bool Reader::read(element value, const JSONPath& path, IconRef& out) {
    object fields;
    std::size_t type = 0;
    if (!objectAt(value, path, fields) || !kind(fields, path, iconKinds, type)) {
        return false;
    }
    switch (type) {
    case 0:
        return required(fields, path, "name", out.value.emplace<IconRef::SFSymbol>().name);
    case 1: {
        std::optional<URL> url;
        if (!required(fields, path, "url", url)) {
            return false;
        }
        out.value.emplace<IconRef::Favicon>(IconRef::Favicon{std::move(*url)});
        return true;
    }
    case 2:
        return required(fields, path, "bundleID", out.value.emplace<IconRef::AppIcon>().bundleID);
    default: {
        const JSONPath dataPath = path.key("dataBase64");
        element data;
        if (fields.at_key("dataBase64").get(data) != simdjson::SUCCESS) {
            return fail(dataPath, "missing key");
        }
        std::string_view text;
        if (data.get_string().get(text) != simdjson::SUCCESS) {
            return wrongType(dataPath, "a string", data);
        }
        auto bytes = Base64::decode(text);
        if (!bytes) {
            return fail(dataPath, "custom icon is not valid Base64");
        }
        out.value.emplace<IconRef::Custom>().data = std::move(*bytes);
        return true;
    }
    }
}

bool Reader::read(element value, const JSONPath& path, ColorGradient& out) {
    object fields;
    return objectAt(value, path, fields) && required(fields, path, "startHex", out.startHex) &&
           required(fields, path, "endHex", out.endHex) &&
           required(fields, path, "angle", out.angle);
}

bool Reader::read(element value, const JSONPath& path, QuorixButtonRecord& out) {
    object fields;
    return objectAt(value, path, fields) && required(fields, path, "id", out.id) &&
           required(fields, path, "position", out.position) &&
           required(fields, path, "icon", out.icon) &&
           required(fields, path, "colorGradient", out.colorGradient) &&
           required(fields, path, "action", out.action);
}

bool Reader::read(element value, const JSONPath& path, PageRecord& out) {
    object fields;
    return objectAt(value, path, fields) && required(fields, path, "id", out.id) &&
           required(fields, path, "name", out.name) && required(fields, path, "order", out.order) &&
           required(fields, path, "gradient", out.gradient) &&
           required(fields, path, "buttons", out.buttons) &&
           required(fields, path, "gridColumns", out.gridColumns) &&
           required(fields, path, "gridRows", out.gridRows);
}

bool Reader::read(element value, const JSONPath& path, LayoutRecord& out) {
    object fields;
    return objectAt(value, path, fields) && required(fields, path, "id", out.id) &&
           required(fields, path, "pages", out.pages) &&
           required(fields, path, "theme", out.theme) &&
           required(fields, path, "updatedAt", out.updatedAt);
}

bool Reader::read(element value, const JSONPath& path, DeviceRecord& out) {
    object fields;
    return objectAt(value, path, fields) && required(fields, path, "id", out.id) &&
           required(fields, path, "name", out.name) &&
           required(fields, path, "deviceType", out.deviceType) &&
           optional(fields, path, "lastConnectedAt", out.lastConnectedAt) &&
           required(fields, path, "authToken", out.authToken) &&
           required(fields, path, "fingerprint", out.fingerprint);
}

bool Reader::read(element value, const JSONPath& path, PairingQRCodePayload& out) {
    object fields;
    if (!objectAt(value, path, fields) || !required(fields, path, "serviceName", out.serviceName) ||
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

bool Reader::read(element value, const JSONPath& path, std::optional<QuorixClientMessage>& out) {
    using Message = QuorixClientMessage;
    object fields;
    std::size_t type = 0;
    if (!objectAt(value, path, fields) || !kind(fields, path, clientKinds, type)) {
        return false;
    }
    switch (type) {
    case 0: {
        Message::AuthRequest request;
        if (!required(fields, path, "code", request.code)) {
            return false;
        }
        out = Message{std::move(request)};
        return true;
    }
    case 1: {
        Message::AuthResume resume;
        if (!required(fields, path, "token", resume.token)) {
            return false;
        }
        out = Message{std::move(resume)};
        return true;
    }
    case 2: {
        Message::Execute execute;
        if (!required(fields, path, "buttonId", execute.buttonId) ||
            !required(fields, path, "action", execute.action)) {
            return false;
        }
        out = Message{std::move(execute)};
        return true;
    }
    case 3: {
        Message::LayoutUpdate update;
        if (!required(fields, path, "layout", update.layout)) {
            return false;
        }
        out = Message{std::move(update)};
        return true;
    }
    case 4: {
        Message::CaptureKeys capture;
        if (!required(fields, path, "timeoutMs", capture.timeoutMs)) {
            return false;
        }
        out = Message{capture};
        return true;
    }
    case 5:
        out = Message{Message::RequestState{}};
        return true;
    default:
        out = Message{Message::ListApps{}};
        return true;
    }
}

bool Reader::read(element value, const JSONPath& path, std::optional<QuorixServerMessage>& out) {
    using Message = QuorixServerMessage;
    object fields;
    std::size_t type = 0;
    if (!objectAt(value, path, fields) || !kind(fields, path, serverKinds, type)) {
        return false;
    }
    switch (type) {
    case 0: {
        Message::AuthSuccess success;
        if (!required(fields, path, "token", success.token) ||
            !required(fields, path, "deviceName", success.deviceName) ||
            !required(fields, path, "deviceType", success.deviceType)) {
            return false;
        }
        out = Message{std::move(success)};
        return true;
    }
    case 1: {
        Message::AuthFailure failure;
        if (!required(fields, path, "reason", failure.reason)) {
            return false;
        }
        out = Message{failure};
        return true;
    }
    case 2: {
        Message::ExecuteResult result;
        if (!required(fields, path, "buttonId", result.buttonId) ||
            !required(fields, path, "success", result.success) ||
            !optional(fields, path, "error", result.error)) {
            return false;
        }
        out = Message{std::move(result)};
        return true;
    }
    case 3: {
        Message::CapturedKeys captured;
        if (!required(fields, path, "combo", captured.combo)) {
            return false;
        }
        out = Message{std::move(captured)};
        return true;
    }
    case 4: {
        Message::AppsList list;
        if (!required(fields, path, "apps", list.apps)) {
            return false;
        }
        out = Message{std::move(list)};
        return true;
    }
    default: {
        Message::LayoutChanged changed;
        if (!required(fields, path, "layout", changed.layout)) {
            return false;
        }
        out = Message{std::move(changed)};
        return true;
    }
    }
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

template <typename T>
Decoded<T> decodeDocument(std::string_view bytes) {
    // One parser per thread, kept: its buffers grow to the largest document seen, and
    // allocating (and faulting in) them afresh for every multi-megabyte layout took more
    // time than the parsing. Nothing returned refers into them.
    thread_local simdjson::dom::parser parser;
    // An empty view may have no data pointer at all, which the parser would copy from.
    if (bytes.empty()) {
        return DecodingError{{}, parseFailure(simdjson::EMPTY)};
    }
    element root;
    if (const auto code = parser.parse(bytes.data(), bytes.size()).get(root);
        code != simdjson::SUCCESS) {
        return DecodingError{{}, parseFailure(code)};
    }
    Reader reader;
    std::optional<T> value;
    if (!reader.read(root, JSONPath(), value)) {
        return std::move(reader.error);
    }
    return std::move(*value);
}

// MARK: Encoding

/// Writes the protocol's records with their keys in sorted order. Numbers JSON cannot
/// express are recorded in `error`; the text written is then of no use.
class Writer {
public:
    explicit Writer(std::size_t expectedSize) { m_output.reserve(expectedSize); }

    Encoded finish() && {
        if (m_error) {
            return std::move(*m_error);
        }
        return std::move(m_output);
    }

    void write(std::string_view text) { m_json.string(text); }
    void write(std::int64_t value) { m_json.integer(value); }
    void write(bool value) { m_json.boolean(value); }
    void write(const UUID& uuid) { m_json.string(uuid.uuidString()); }
    void write(Date date) { m_json.string(ISO8601::format(date)); }
    void write(const URL& url) { m_json.string(url.absoluteString()); }

    template <typename Enumeration>
    requires std::is_enum_v<Enumeration>
    void write(Enumeration value) { m_json.string(rawValue(value)); }

    void write(double value, const JSONPath& path) {
        if (!m_json.number(value) && !m_error) {
            m_error = EncodingError{path.text(), "JSON cannot express the number " +
                                                     std::string(std::isnan(value) ? "nan"
                                                                 : value > 0       ? "inf"
                                                                                   : "-inf")};
        }
    }

    void type(std::string_view kind) {
        m_json.key("type");
        m_json.string(kind);
    }

    void write(const KeyCombo& combo) {
        m_json.beginObject();
        m_json.key("key");
        write(combo.key);
        m_json.key("modifiers");
        m_json.beginArray();
        for (const Modifier modifier : combo.modifiers) {
            write(modifier);
        }
        m_json.endArray();
        m_json.endObject();
    }

    void write(const AppInfo& app) {
        m_json.beginObject();
        m_json.key("bundleID");
        write(app.bundleID);
        m_json.key("iconBase64");
        write(app.iconBase64);
        m_json.key("name");
        write(app.name);
        m_json.endObject();
    }

    void write(const ActionSpec& action, const JSONPath& path) {
        m_json.beginObject();
        std::visit(
            [&](const auto& payload) {
                using Payload = std::decay_t<decltype(payload)>;
                if constexpr (std::is_same_v<Payload, ActionSpec::KeyboardShortcut>) {
                    m_json.key("combo");
                    write(payload.combo);
                    type("keyboardShortcut");
                } else if constexpr (std::is_same_v<Payload, ActionSpec::LaunchApp>) {
                    m_json.key("bundleID");
                    write(payload.bundleID);
                    if (payload.fallbackPath) {
                        m_json.key("fallbackPath");
                        write(*payload.fallbackPath);
                    }
                    type("launchApp");
                } else if constexpr (std::is_same_v<Payload, ActionSpec::OpenURL>) {
                    type("openURL");
                    m_json.key("url");
                    write(payload.url);
                } else if constexpr (std::is_same_v<Payload, ActionSpec::Macro>) {
                    m_json.key("actions");
                    m_json.beginArray();
                    const JSONPath actionsPath = path.key("actions");
                    for (std::size_t i = 0; i < payload.actions.size(); ++i) {
                        write(payload.actions[i], actionsPath.index(i));
                    }
                    m_json.endArray();
                    m_json.key("delays");
                    m_json.beginArray();
                    const JSONPath delaysPath = path.key("delays");
                    for (std::size_t i = 0; i < payload.delays.size(); ++i) {
                        write(payload.delays[i], delaysPath.index(i));
                    }
                    m_json.endArray();
                    type("macro");
                } else {
                    m_json.key("command");
                    write(payload.command);
                    type("shellCommand");
                }
            },
            action.value);
        m_json.endObject();
    }

    void write(const IconRef& icon) {
        m_json.beginObject();
        std::visit(
            [&](const auto& payload) {
                using Payload = std::decay_t<decltype(payload)>;
                if constexpr (std::is_same_v<Payload, IconRef::SFSymbol>) {
                    m_json.key("name");
                    write(payload.name);
                    type("sfSymbol");
                } else if constexpr (std::is_same_v<Payload, IconRef::Favicon>) {
                    type("favicon");
                    m_json.key("url");
                    write(payload.url);
                } else if constexpr (std::is_same_v<Payload, IconRef::AppIcon>) {
                    m_json.key("bundleID");
                    write(payload.bundleID);
                    type("appIcon");
                } else {
                    m_json.key("dataBase64");
                    m_json.base64(payload.data);
                    type("custom");
                }
            },
            icon.value);
        m_json.endObject();
    }

    void write(const QuorixButtonRecord& button, const JSONPath& path) {
        m_json.beginObject();
        m_json.key("action");
        write(button.action, path.key("action"));
        m_json.key("colorGradient");
        m_json.beginObject();
        m_json.key("angle");
        write(button.colorGradient.angle, path.key("colorGradient").key("angle"));
        m_json.key("endHex");
        write(button.colorGradient.endHex);
        m_json.key("startHex");
        write(button.colorGradient.startHex);
        m_json.endObject();
        m_json.key("icon");
        write(button.icon);
        m_json.key("id");
        write(button.id);
        m_json.key("position");
        write(button.position);
        m_json.endObject();
    }

    void write(const PageRecord& page, const JSONPath& path) {
        m_json.beginObject();
        m_json.key("buttons");
        m_json.beginArray();
        const JSONPath buttonsPath = path.key("buttons");
        for (std::size_t i = 0; i < page.buttons.size(); ++i) {
            write(page.buttons[i], buttonsPath.index(i));
        }
        m_json.endArray();
        m_json.key("gradient");
        write(page.gradient);
        m_json.key("gridColumns");
        write(page.gridColumns);
        m_json.key("gridRows");
        write(page.gridRows);
        m_json.key("id");
        write(page.id);
        m_json.key("name");
        write(page.name);
        m_json.key("order");
        write(page.order);
        m_json.endObject();
    }

    void write(const LayoutRecord& layout, const JSONPath& path) {
        m_json.beginObject();
        m_json.key("id");
        write(layout.id);
        m_json.key("pages");
        m_json.beginArray();
        const JSONPath pagesPath = path.key("pages");
        for (std::size_t i = 0; i < layout.pages.size(); ++i) {
            write(layout.pages[i], pagesPath.index(i));
        }
        m_json.endArray();
        m_json.key("theme");
        write(layout.theme);
        m_json.key("updatedAt");
        write(layout.updatedAt);
        m_json.endObject();
    }

    void write(const DeviceRecord& device) {
        m_json.beginObject();
        m_json.key("authToken");
        write(device.authToken);
        m_json.key("deviceType");
        write(device.deviceType);
        m_json.key("fingerprint");
        write(device.fingerprint);
        m_json.key("id");
        write(device.id);
        if (device.lastConnectedAt) {
            m_json.key("lastConnectedAt");
            write(*device.lastConnectedAt);
        }
        m_json.key("name");
        write(device.name);
        m_json.endObject();
    }

    void write(const PairingQRCodePayload& payload) {
        m_json.beginObject();
        m_json.key("code");
        write(payload.code);
        if (payload.fingerprint) {
            m_json.key("fingerprint");
            write(*payload.fingerprint);
        }
        if (payload.host) {
            m_json.key("host");
            write(*payload.host);
        }
        if (payload.port) {
            m_json.key("port");
            write(std::int64_t{*payload.port});
        }
        m_json.key("serviceName");
        write(payload.serviceName);
        m_json.key("usesSecureTransport");
        write(payload.usesSecureTransport);
        m_json.endObject();
    }

    void write(const QuorixClientMessage& message) {
        using Message = QuorixClientMessage;
        const JSONPath root;
        m_json.beginObject();
        std::visit(
            [&](const auto& payload) {
                using Payload = std::decay_t<decltype(payload)>;
                if constexpr (std::is_same_v<Payload, Message::AuthRequest>) {
                    m_json.key("code");
                    write(payload.code);
                    type("auth_request");
                } else if constexpr (std::is_same_v<Payload, Message::AuthResume>) {
                    m_json.key("token");
                    write(payload.token);
                    type("auth_resume");
                } else if constexpr (std::is_same_v<Payload, Message::Execute>) {
                    m_json.key("action");
                    write(payload.action, root.key("action"));
                    m_json.key("buttonId");
                    write(payload.buttonId);
                    type("execute");
                } else if constexpr (std::is_same_v<Payload, Message::LayoutUpdate>) {
                    m_json.key("layout");
                    write(payload.layout, root.key("layout"));
                    type("layout_update");
                } else if constexpr (std::is_same_v<Payload, Message::CaptureKeys>) {
                    m_json.key("timeoutMs");
                    write(payload.timeoutMs);
                    type("capture_keys");
                } else if constexpr (std::is_same_v<Payload, Message::RequestState>) {
                    type("request_state");
                } else {
                    type("list_apps");
                }
            },
            message.value);
        m_json.endObject();
    }

    void write(const QuorixServerMessage& message) {
        using Message = QuorixServerMessage;
        const JSONPath root;
        m_json.beginObject();
        std::visit(
            [&](const auto& payload) {
                using Payload = std::decay_t<decltype(payload)>;
                if constexpr (std::is_same_v<Payload, Message::AuthSuccess>) {
                    m_json.key("deviceName");
                    write(payload.deviceName);
                    m_json.key("deviceType");
                    write(payload.deviceType);
                    m_json.key("token");
                    write(payload.token);
                    type("auth_success");
                } else if constexpr (std::is_same_v<Payload, Message::AuthFailure>) {
                    m_json.key("reason");
                    write(payload.reason);
                    type("auth_failure");
                } else if constexpr (std::is_same_v<Payload, Message::ExecuteResult>) {
                    m_json.key("buttonId");
                    write(payload.buttonId);
                    if (payload.error) {
                        m_json.key("error");
                        write(*payload.error);
                    }
                    m_json.key("success");
                    write(payload.success);
                    type("execute_result");
                } else if constexpr (std::is_same_v<Payload, Message::CapturedKeys>) {
                    m_json.key("combo");
                    write(payload.combo);
                    type("captured_keys");
                } else if constexpr (std::is_same_v<Payload, Message::AppsList>) {
                    m_json.key("apps");
                    m_json.beginArray();
                    for (const AppInfo& app : payload.apps) {
                        write(app);
                    }
                    m_json.endArray();
                    type("apps_list");
                } else {
                    m_json.key("layout");
                    write(payload.layout, root.key("layout"));
                    type("layout_changed");
                }
            },
            message.value);
        m_json.endObject();
    }

private:
    std::string m_output;
    JSONWriter m_json{m_output};
    std::optional<EncodingError> m_error;
};

// Room for everything but the large strings, per record; a guess only, so that the
// output of a large layout is allocated once.
constexpr std::size_t smallRecordBytes = 512;

std::size_t base64Size(std::size_t bytes) {
    // Base64 text plus the escaped "/", about one letter in 64.
    const std::size_t text = (bytes + 2) / 3 * 4;
    return text + text / 48;
}

std::size_t expectedSize(const LayoutRecord& layout) {
    std::size_t size = smallRecordBytes;
    for (const PageRecord& page : layout.pages) {
        size += smallRecordBytes + page.name.size();
        for (const QuorixButtonRecord& button : page.buttons) {
            size += smallRecordBytes;
            if (const auto* custom = std::get_if<IconRef::Custom>(&button.icon.value)) {
                size += base64Size(custom->data.size());
            }
        }
    }
    return size;
}

std::size_t expectedSize(const QuorixClientMessage& message) {
    if (const auto* update = std::get_if<QuorixClientMessage::LayoutUpdate>(&message.value)) {
        return expectedSize(update->layout);
    }
    return smallRecordBytes;
}

std::size_t expectedSize(const QuorixServerMessage& message) {
    if (const auto* changed = std::get_if<QuorixServerMessage::LayoutChanged>(&message.value)) {
        return expectedSize(changed->layout);
    }
    if (const auto* list = std::get_if<QuorixServerMessage::AppsList>(&message.value)) {
        std::size_t size = smallRecordBytes;
        for (const AppInfo& app : list->apps) {
            size += smallRecordBytes + app.iconBase64.size() + app.iconBase64.size() / 48;
        }
        return size;
    }
    return smallRecordBytes;
}

template <typename T>
Encoded encodeValue(const T& value, std::size_t size) {
    Writer writer(size);
    if constexpr (std::is_same_v<T, ActionSpec> || std::is_same_v<T, LayoutRecord>) {
        writer.write(value, JSONPath());
    } else {
        writer.write(value);
    }
    return std::move(writer).finish();
}

} // namespace

namespace ProtocolJSON {

Encoded encode(const QuorixClientMessage& message) {
    return encodeValue(message, expectedSize(message));
}
Encoded encode(const QuorixServerMessage& message) {
    return encodeValue(message, expectedSize(message));
}
Encoded encode(const LayoutRecord& layout) {
    return encodeValue(layout, expectedSize(layout));
}
Encoded encode(const ActionSpec& action) {
    return encodeValue(action, smallRecordBytes);
}
Encoded encode(const KeyCombo& combo) {
    return encodeValue(combo, smallRecordBytes);
}
Encoded encode(const AppInfo& app) {
    return encodeValue(app, smallRecordBytes + app.iconBase64.size() + app.iconBase64.size() / 48);
}
Encoded encode(const DeviceRecord& device) {
    return encodeValue(device, smallRecordBytes);
}
Encoded encode(const PairingQRCodePayload& payload) {
    return encodeValue(payload, smallRecordBytes);
}

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
