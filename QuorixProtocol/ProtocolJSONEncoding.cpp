#include "QuorixProtocol/JSONWriter.h"
#include "QuorixProtocol/ProtocolJSON.h"
#include "QuorixProtocol/ProtocolJSONCoding.h"

#include <cmath>
#include <type_traits>

namespace quorix {

std::string EncodingError::description() const {
    return path.empty() ? message : path + ": " + message;
}

namespace {

using ProtocolJSONCoding::JSONPath;
using ProtocolJSONCoding::TaggedUnion;

/// Writes the protocol's records with their keys, "type" included, in sorted order. The
/// first number JSON cannot express is kept with its path, and `finish` gives it instead
/// of the text; every `write` takes its value's path for that one failure.
class Writer {
public:
    explicit Writer(std::size_t expectedSize) { m_output.reserve(expectedSize); }

    Encoded finish() && {
        if (m_error) {
            return std::move(*m_error);
        }
        return std::move(m_output);
    }

    void write(std::string_view text, const JSONPath&) { m_json.string(text); }
    void write(std::int64_t value, const JSONPath&) { m_json.integer(value); }
    void write(bool value, const JSONPath&) { m_json.boolean(value); }
    void write(const UUID& uuid, const JSONPath&) { m_json.string(uuid.uuidString()); }
    void write(Date date, const JSONPath&) { m_json.string(ISO8601::format(date)); }
    void write(const URL& url, const JSONPath&) { m_json.string(url.absoluteString()); }
    void write(const Bytes& data, const JSONPath&) { m_json.base64(data); }

    template <typename Enumeration>
    requires std::is_enum_v<Enumeration>
    void write(Enumeration value, const JSONPath&) { m_json.string(rawValue(value)); }

    void write(double value, const JSONPath& path) {
        if (!m_json.number(value) && !m_error) {
            m_error = EncodingError{path.text(), "JSON cannot express the number " +
                                                     std::string(std::isnan(value) ? "nan"
                                                                 : value > 0       ? "inf"
                                                                                   : "-inf")};
        }
    }

    template <typename T>
    void write(const std::vector<T>& elements, const JSONPath& path) {
        m_json.beginArray();
        for (std::size_t i = 0; i < elements.size(); ++i) {
            write(elements[i], path.index(i));
        }
        m_json.endArray();
    }

    void write(const KeyCombo& combo, const JSONPath& path) {
        m_json.beginObject();
        field("key", combo.key, path);
        field("modifiers", combo.modifiers, path);
        m_json.endObject();
    }

    void write(const AppInfo& app, const JSONPath& path) {
        m_json.beginObject();
        field("bundleID", app.bundleID, path);
        field("iconBase64", app.iconBase64, path);
        field("name", app.name, path);
        m_json.endObject();
    }

    void write(const ColorGradient& gradient, const JSONPath& path) {
        m_json.beginObject();
        field("angle", gradient.angle, path);
        field("endHex", gradient.endHex, path);
        field("startHex", gradient.startHex, path);
        m_json.endObject();
    }

    void write(const QuorixButtonRecord& button, const JSONPath& path) {
        m_json.beginObject();
        field("action", button.action, path);
        field("colorGradient", button.colorGradient, path);
        field("icon", button.icon, path);
        field("id", button.id, path);
        field("position", button.position, path);
        m_json.endObject();
    }

    void write(const PageRecord& page, const JSONPath& path) {
        m_json.beginObject();
        field("buttons", page.buttons, path);
        field("gradient", page.gradient, path);
        field("gridColumns", page.gridColumns, path);
        field("gridRows", page.gridRows, path);
        field("id", page.id, path);
        field("name", page.name, path);
        field("order", page.order, path);
        m_json.endObject();
    }

    void write(const LayoutRecord& layout, const JSONPath& path) {
        m_json.beginObject();
        field("id", layout.id, path);
        field("pages", layout.pages, path);
        field("theme", layout.theme, path);
        field("updatedAt", layout.updatedAt, path);
        m_json.endObject();
    }

    void write(const DeviceRecord& device, const JSONPath& path) {
        m_json.beginObject();
        field("authToken", device.authToken, path);
        field("deviceType", device.deviceType, path);
        field("fingerprint", device.fingerprint, path);
        field("id", device.id, path);
        field("lastConnectedAt", device.lastConnectedAt, path);
        field("name", device.name, path);
        m_json.endObject();
    }

    void write(const PairingQRCodePayload& payload, const JSONPath& path) {
        m_json.beginObject();
        field("code", payload.code, path);
        field("fingerprint", payload.fingerprint, path);
        field("host", payload.host, path);
        if (payload.port) {
            field("port", std::int64_t{*payload.port}, path);
        }
        field("serviceName", payload.serviceName, path);
        field("usesSecureTransport", payload.usesSecureTransport, path);
        m_json.endObject();
    }

    template <TaggedUnion Union>
    void write(const Union& value, const JSONPath& path) {
        const std::string_view type = ProtocolJSONCoding::kindName(value);
        m_json.beginObject();
        std::visit([&](const auto& payload) { writeFields(payload, type, path); }, value.value);
        m_json.endObject();
    }

    void writeFields(const ActionSpec::KeyboardShortcut& shortcut, std::string_view type,
                     const JSONPath& path) {
        field("combo", shortcut.combo, path);
        writeType(type);
    }
    void writeFields(const ActionSpec::LaunchApp& launch, std::string_view type,
                     const JSONPath& path) {
        field("bundleID", launch.bundleID, path);
        field("fallbackPath", launch.fallbackPath, path);
        writeType(type);
    }
    void writeFields(const ActionSpec::OpenURL& open, std::string_view type, const JSONPath& path) {
        writeType(type);
        field("url", open.url, path);
    }
    void writeFields(const ActionSpec::Macro& macro, std::string_view type, const JSONPath& path) {
        field("actions", macro.actions, path);
        field("delays", macro.delays, path);
        writeType(type);
    }
    void writeFields(const ActionSpec::ShellCommand& shell, std::string_view type,
                     const JSONPath& path) {
        field("command", shell.command, path);
        writeType(type);
    }

    void writeFields(const IconRef::SFSymbol& symbol, std::string_view type, const JSONPath& path) {
        field("name", symbol.name, path);
        writeType(type);
    }
    void writeFields(const IconRef::Favicon& favicon, std::string_view type, const JSONPath& path) {
        writeType(type);
        field("url", favicon.url, path);
    }
    void writeFields(const IconRef::AppIcon& app, std::string_view type, const JSONPath& path) {
        field("bundleID", app.bundleID, path);
        writeType(type);
    }
    void writeFields(const IconRef::Custom& custom, std::string_view type, const JSONPath& path) {
        field("dataBase64", custom.data, path);
        writeType(type);
    }

    void writeFields(const QuorixClientMessage::AuthRequest& request, std::string_view type,
                     const JSONPath& path) {
        field("code", request.code, path);
        writeType(type);
    }
    void writeFields(const QuorixClientMessage::AuthResume& resume, std::string_view type,
                     const JSONPath& path) {
        field("token", resume.token, path);
        writeType(type);
    }
    void writeFields(const QuorixClientMessage::Execute& execute, std::string_view type,
                     const JSONPath& path) {
        field("action", execute.action, path);
        field("buttonId", execute.buttonId, path);
        writeType(type);
    }
    void writeFields(const QuorixClientMessage::LayoutUpdate& update, std::string_view type,
                     const JSONPath& path) {
        field("layout", update.layout, path);
        writeType(type);
    }
    void writeFields(const QuorixClientMessage::CaptureKeys& capture, std::string_view type,
                     const JSONPath& path) {
        field("timeoutMs", capture.timeoutMs, path);
        writeType(type);
    }

    void writeFields(const QuorixServerMessage::AuthSuccess& success, std::string_view type,
                     const JSONPath& path) {
        field("deviceName", success.deviceName, path);
        field("deviceType", success.deviceType, path);
        field("token", success.token, path);
        writeType(type);
    }
    void writeFields(const QuorixServerMessage::AuthFailure& failure, std::string_view type,
                     const JSONPath& path) {
        field("reason", failure.reason, path);
        writeType(type);
    }
    void writeFields(const QuorixServerMessage::ExecuteResult& result, std::string_view type,
                     const JSONPath& path) {
        field("buttonId", result.buttonId, path);
        field("error", result.error, path);
        field("success", result.success, path);
        writeType(type);
    }
    void writeFields(const QuorixServerMessage::CapturedKeys& captured, std::string_view type,
                     const JSONPath& path) {
        field("combo", captured.combo, path);
        writeType(type);
    }
    void writeFields(const QuorixServerMessage::AppsList& list, std::string_view type,
                     const JSONPath& path) {
        field("apps", list.apps, path);
        writeType(type);
    }
    void writeFields(const QuorixServerMessage::LayoutChanged& changed, std::string_view type,
                     const JSONPath& path) {
        field("layout", changed.layout, path);
        writeType(type);
    }

    // Cases without keys besides "type".
    template <typename Payload>
    requires std::is_empty_v<Payload>
    void writeFields(const Payload&, std::string_view type, const JSONPath&) { writeType(type); }

private:
    template <typename T>
    void field(std::string_view name, const T& value, const JSONPath& path) {
        m_json.key(name);
        write(value, path.key(name));
    }

    // Absent optional keys are left out, never written as null.
    template <typename T>
    void field(std::string_view name, const std::optional<T>& value, const JSONPath& path) {
        if (value) {
            field(name, *value, path);
        }
    }

    void writeType(std::string_view type) {
        m_json.key("type");
        m_json.string(type);
    }

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
    writer.write(value, JSONPath());
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

} // namespace ProtocolJSON

} // namespace quorix
