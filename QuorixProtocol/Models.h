#pragma once

#include "QuorixProtocol/Foundation.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quorix {

// String-valued enumerations. `rawValue` gives the wire text; `fromRawValue<E>` reads it
// exactly (case-sensitive) and gives nothing for any other text.

enum class Theme {
    liquidGlass
};

enum class GradientPreset {
    zoom,
    teams,
    slack,
    excel,
    powerpoint,
    notion,
    x,
    youtube,
    codex,
    claudeCode,
    custom,
};

enum class DeviceType {
    mac,
    windows
};

enum class Modifier {
    command,
    shift,
    option,
    control,
    function
};

std::string_view rawValue(Theme value);
std::string_view rawValue(GradientPreset value);
std::string_view rawValue(DeviceType value);
std::string_view rawValue(Modifier value);

template <typename Enumeration>
std::optional<Enumeration> fromRawValue(std::string_view text);
template <>
std::optional<Theme> fromRawValue<Theme>(std::string_view text);
template <>
std::optional<GradientPreset> fromRawValue<GradientPreset>(std::string_view text);
template <>
std::optional<DeviceType> fromRawValue<DeviceType>(std::string_view text);
template <>
std::optional<Modifier> fromRawValue<Modifier>(std::string_view text);

/// A key combination; modifiers keep their order and duplicates, so equality is order
/// sensitive. Consumers that want set semantics build the set themselves.
struct KeyCombo {
    std::vector<Modifier> modifiers;
    std::string key;

    bool operator==(const KeyCombo&) const = default;
};

/// What a button does.
struct ActionSpec {
    struct KeyboardShortcut {
        KeyCombo combo;
        bool operator==(const KeyboardShortcut&) const = default;
    };
    struct LaunchApp {
        std::string bundleID;
        std::optional<std::string> fallbackPath;
        bool operator==(const LaunchApp&) const = default;
    };
    struct OpenURL {
        URL url;
        bool operator==(const OpenURL&) const = default;
    };
    /// Steps and the delays (seconds) that the executor pairs with them by index; the
    /// two arrays need not have the same length.
    struct Macro {
        std::vector<ActionSpec> actions;
        std::vector<double> delays;
        bool operator==(const Macro&) const;
    };
    struct ShellCommand {
        std::string command;
        bool operator==(const ShellCommand&) const = default;
    };

    std::variant<KeyboardShortcut, LaunchApp, OpenURL, Macro, ShellCommand> value;

    static ActionSpec keyboardShortcut(KeyCombo combo) {
        return {KeyboardShortcut{std::move(combo)}};
    }
    static ActionSpec launchApp(std::string bundleID,
                                std::optional<std::string> fallbackPath = {}) {
        return {LaunchApp{std::move(bundleID), std::move(fallbackPath)}};
    }
    static ActionSpec openURL(URL url) { return {OpenURL{std::move(url)}}; }
    static ActionSpec macro(std::vector<ActionSpec> actions, std::vector<double> delays) {
        return {Macro{std::move(actions), std::move(delays)}};
    }
    static ActionSpec shellCommand(std::string command) {
        return {ShellCommand{std::move(command)}};
    }

    bool operator==(const ActionSpec&) const = default;
};

inline bool ActionSpec::Macro::operator==(const Macro& other) const {
    return actions == other.actions && delays == other.delays;
}

/// One installed application as listed to the phone.
struct AppInfo {
    std::string name;
    std::string bundleID;
    /// Carried as text; never validated or decoded by the coding.
    std::string iconBase64;

    bool operator==(const AppInfo&) const = default;
};

struct IconRef {
    struct SFSymbol {
        std::string name;
        bool operator==(const SFSymbol&) const = default;
    };
    struct Favicon {
        URL url;
        bool operator==(const Favicon&) const = default;
    };
    struct AppIcon {
        std::string bundleID;
        bool operator==(const AppIcon&) const = default;
    };
    struct Custom {
        Bytes data;
        bool operator==(const Custom&) const = default;
    };

    std::variant<SFSymbol, Favicon, AppIcon, Custom> value;

    static IconRef sfSymbol(std::string name) { return {SFSymbol{std::move(name)}}; }
    static IconRef favicon(URL url) { return {Favicon{std::move(url)}}; }
    static IconRef appIcon(std::string bundleID) { return {AppIcon{std::move(bundleID)}}; }
    static IconRef custom(Bytes data) { return {Custom{std::move(data)}}; }

    bool operator==(const IconRef&) const = default;
};

struct ColorGradient {
    std::string startHex;
    std::string endHex;
    double angle = 0;

    bool operator==(const ColorGradient&) const = default;
};

struct QuorixButtonRecord {
    UUID id;
    std::int64_t position = 0;
    IconRef icon;
    ColorGradient colorGradient;
    ActionSpec action;

    bool operator==(const QuorixButtonRecord&) const = default;
};

struct PageRecord {
    UUID id;
    std::string name;
    std::int64_t order = 0;
    GradientPreset gradient = GradientPreset::custom;
    std::vector<QuorixButtonRecord> buttons;
    std::int64_t gridColumns = 0;
    std::int64_t gridRows = 0;

    bool operator==(const PageRecord&) const = default;
};

struct LayoutRecord {
    UUID id;
    std::vector<PageRecord> pages;
    Theme theme = Theme::liquidGlass;
    Date updatedAt;

    bool operator==(const LayoutRecord&) const = default;
};

struct DeviceRecord {
    UUID id;
    std::string name;
    DeviceType deviceType = DeviceType::mac;
    std::optional<Date> lastConnectedAt;
    std::string authToken;
    std::string fingerprint;

    bool operator==(const DeviceRecord&) const = default;
};

} // namespace quorix
