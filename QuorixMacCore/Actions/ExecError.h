#pragma once

#include <string>

namespace quorix {

/// Why an action failed. The description travels to the phone unchanged, which shows it.
class ExecError {
public:
    enum class Kind {
        unknownKey,
        unsafeSystemShortcut,
        accessibilityNotGranted,
        appNotFound,
        shellCommandDisabled,
    };

    /// The key name as the caller passed it.
    static ExecError unknownKey(std::string key) { return {Kind::unknownKey, std::move(key)}; }
    /// The shortcut's description, e.g. "command+h".
    static ExecError unsafeSystemShortcut(std::string shortcut) {
        return {Kind::unsafeSystemShortcut, std::move(shortcut)};
    }
    static ExecError accessibilityNotGranted() { return {Kind::accessibilityNotGranted, {}}; }
    static ExecError appNotFound() { return {Kind::appNotFound, {}}; }
    static ExecError shellCommandDisabled() { return {Kind::shellCommandDisabled, {}}; }

    Kind kind() const { return m_kind; }
    /// The key name or shortcut description; empty for the cases without one.
    const std::string& payload() const { return m_payload; }
    /// "unknown_key:" plus the key, "unsafe_system_shortcut:" plus the shortcut,
    /// "accessibility_not_granted", "app_not_found" or "shell_command_disabled".
    std::string description() const;

    bool operator==(const ExecError&) const = default;

private:
    ExecError(Kind kind, std::string payload)
        : m_kind(kind)
        , m_payload(std::move(payload)) {}

    Kind m_kind;
    std::string m_payload;
};

} // namespace quorix
