#include "QuorixProtocol/Models.h"

#include "QuorixProtocol/Messages.h"

#include <array>

namespace quorix {

namespace {

template <typename Enumeration, std::size_t Count>
using RawValueTable = std::array<std::pair<Enumeration, std::string_view>, Count>;

// Tables list every case in declaration order, so the case's value is its index.
template <typename Enumeration, std::size_t Count>
std::string_view lookUp(const RawValueTable<Enumeration, Count>& table, Enumeration value) {
    return table[static_cast<std::size_t>(value)].second;
}

template <typename Enumeration, std::size_t Count>
std::optional<Enumeration> lookUp(const RawValueTable<Enumeration, Count>& table,
                                  std::string_view text) {
    for (const auto& [value, raw] : table) {
        if (raw == text) {
            return value;
        }
    }
    return std::nullopt;
}

constexpr RawValueTable<Theme, 1> themes{{{Theme::liquidGlass, "liquidGlass"}}};

constexpr RawValueTable<GradientPreset, 11> gradientPresets{{
    {GradientPreset::zoom, "zoom"},
    {GradientPreset::teams, "teams"},
    {GradientPreset::slack, "slack"},
    {GradientPreset::excel, "excel"},
    {GradientPreset::powerpoint, "powerpoint"},
    {GradientPreset::notion, "notion"},
    {GradientPreset::x, "x"},
    {GradientPreset::youtube, "youtube"},
    {GradientPreset::codex, "codex"},
    {GradientPreset::claudeCode, "claudeCode"},
    {GradientPreset::custom, "custom"},
}};

constexpr RawValueTable<DeviceType, 2> deviceTypes{{
    {DeviceType::mac, "mac"},
    {DeviceType::windows, "windows"},
}};

constexpr RawValueTable<Modifier, 5> modifiers{{
    {Modifier::command, "command"},
    {Modifier::shift, "shift"},
    {Modifier::option, "option"},
    {Modifier::control, "control"},
    {Modifier::function, "function"},
}};

constexpr RawValueTable<AuthFailureReason, 6> authFailureReasons{{
    {AuthFailureReason::invalidCode, "invalid_code"},
    {AuthFailureReason::expiredCode, "expired_code"},
    {AuthFailureReason::locked, "locked"},
    {AuthFailureReason::invalidToken, "invalid_token"},
    {AuthFailureReason::notAuthenticated, "not_authenticated"},
    {AuthFailureReason::protocolError, "protocol_error"},
}};

template <typename Enumeration, std::size_t Count>
constexpr bool isInDeclarationOrder(const RawValueTable<Enumeration, Count>& table) {
    for (std::size_t i = 0; i < Count; ++i) {
        if (static_cast<std::size_t>(table[i].first) != i) {
            return false;
        }
    }
    return true;
}

static_assert(isInDeclarationOrder(themes));
static_assert(isInDeclarationOrder(gradientPresets));
static_assert(isInDeclarationOrder(deviceTypes));
static_assert(isInDeclarationOrder(modifiers));
static_assert(isInDeclarationOrder(authFailureReasons));

} // namespace

std::string_view rawValue(Theme value) {
    return lookUp(themes, value);
}
std::string_view rawValue(GradientPreset value) {
    return lookUp(gradientPresets, value);
}
std::string_view rawValue(DeviceType value) {
    return lookUp(deviceTypes, value);
}
std::string_view rawValue(Modifier value) {
    return lookUp(modifiers, value);
}
std::string_view rawValue(AuthFailureReason value) {
    return lookUp(authFailureReasons, value);
}

template <>
std::optional<Theme> fromRawValue<Theme>(std::string_view text) {
    return lookUp(themes, text);
}
template <>
std::optional<GradientPreset> fromRawValue<GradientPreset>(std::string_view text) {
    return lookUp(gradientPresets, text);
}
template <>
std::optional<DeviceType> fromRawValue<DeviceType>(std::string_view text) {
    return lookUp(deviceTypes, text);
}
template <>
std::optional<Modifier> fromRawValue<Modifier>(std::string_view text) {
    return lookUp(modifiers, text);
}
template <>
std::optional<AuthFailureReason> fromRawValue<AuthFailureReason>(std::string_view text) {
    return lookUp(authFailureReasons, text);
}

} // namespace quorix
