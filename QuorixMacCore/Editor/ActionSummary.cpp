#include "QuorixMacCore/Editor/ActionSummary.h"

#include "QuorixMacCore/Actions/KeyComboFormatting.h"
#include "QuorixMacCore/Actions/TextNormalization.h"
#include "QuorixMacCore/Editor/ShortcutsRunURL.h"

#include <QString>

#include <type_traits>

namespace quorix {

namespace {

bool isBlank(std::string_view text) {
    return trimmedWhitespaceAndNewlines(text).empty();
}

} // namespace

std::string readableName(const ActionSpec& action) {
    return std::visit(
        [](const auto& payload) -> std::string {
            using Payload = std::decay_t<decltype(payload)>;
            if constexpr (std::is_same_v<Payload, ActionSpec::KeyboardShortcut>) {
                return displayText(payload.combo);
            } else if constexpr (std::is_same_v<Payload, ActionSpec::LaunchApp>) {
                return "アプリ起動";
            } else if constexpr (std::is_same_v<Payload, ActionSpec::OpenURL>) {
                return isShortcutsRunURL(payload.url) ? "ショートカット実行" : "URLを開く";
            } else if constexpr (std::is_same_v<Payload, ActionSpec::Macro>) {
                return "順番に動かす";
            } else {
                static_assert(std::is_same_v<Payload, ActionSpec::ShellCommand>);
                return "コマンド";
            }
        },
        action.value);
}

bool isConfiguredForQuickPanel(const ActionSpec& action) {
    return std::visit(
        [](const auto& payload) -> bool {
            using Payload = std::decay_t<decltype(payload)>;
            if constexpr (std::is_same_v<Payload, ActionSpec::KeyboardShortcut>) {
                return !isBlank(displayText(payload.combo));
            } else if constexpr (std::is_same_v<Payload, ActionSpec::LaunchApp>) {
                return !isBlank(payload.bundleID) ||
                       (payload.fallbackPath && !isBlank(*payload.fallbackPath));
            } else if constexpr (std::is_same_v<Payload, ActionSpec::OpenURL>) {
                if (isShortcutsRunURL(payload.url)) {
                    return !isBlank(shortcutRunName(payload.url));
                }
                return payload.url.absoluteString() != placeholderWebAddress;
            } else if constexpr (std::is_same_v<Payload, ActionSpec::Macro>) {
                return std::any_of(
                    payload.actions.begin(), payload.actions.end(),
                    [](const ActionSpec& step) { return isConfiguredForQuickPanel(step); });
            } else {
                static_assert(std::is_same_v<Payload, ActionSpec::ShellCommand>);
                return !isBlank(payload.command);
            }
        },
        action.value);
}

} // namespace quorix
