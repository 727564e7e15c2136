#include "QuorixMacCore/Editor/ActionSummary.h"

#include "QuorixMacCore/Actions/KeyComboFormatting.h"
#include "QuorixMacCore/Actions/TextNormalization.h"

#include <QString>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <type_traits>

namespace quorix {

namespace {

// Run addresses of the Shortcuts app ("shortcuts://run-shortcut?name=..."), read the same
// way the layout normalisation builds them.
QUrl componentsOf(const URL& url) {
    return QUrl(QString::fromStdString(url.absoluteString()), QUrl::TolerantMode);
}

bool isShortcutsRunURL(const URL& url) {
    const QUrl components = componentsOf(url);
    return components.scheme().toLower() == QLatin1String("shortcuts") &&
           components.host().toLower() == QLatin1String("run-shortcut");
}

std::string shortcutRunName(const URL& url) {
    const QUrl components = componentsOf(url);
    if (!components.isValid() || !components.hasQuery()) {
        return {};
    }
    const auto items = QUrlQuery(components).queryItems(QUrl::FullyDecoded);
    const auto named = std::find_if(items.begin(), items.end(), [](const auto& item) {
        return item.first == QLatin1String("name");
    });
    return named == items.end() ? std::string() : named->second.toStdString();
}

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
