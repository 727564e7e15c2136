#include "QuorixMacCore/EditorWindow/InspectorRules.h"

#include "QuorixMacCore/Actions/TextNormalization.h"
#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/Editor/ShortcutsRunURL.h"

#include <algorithm>
#include <variant>

namespace quorix::InspectorRules {

namespace {

QString trimmed(const QString& text) {
    return QString::fromStdString(trimmedWhitespaceAndNewlines(text.toStdString()));
}

} // namespace

QString syncStatusText(bool hasPendingLayout, const QString& statusText) {
    if (hasPendingLayout) {
        return QStringLiteral("変更を自動同期しています");
    }
    return statusText.isEmpty() ? QStringLiteral("保存済み") : statusText;
}

QString selectedButtonTitle(std::int64_t position) {
    return MacEditorState::buttonNumberTitle(position);
}

QString quickPanelTriggerTitle(const std::vector<QuickPanelTriggerOption>& options,
                               const QString& selectedID) {
    const auto found =
        std::find_if(options.begin(), options.end(),
                     [&selectedID](const auto& option) { return option.id == selectedID; });
    return found == options.end() ? QStringLiteral("未設定") : found->title;
}

bool containsIgnoringCase(const QString& text, const QString& query, const QLocale& locale) {
    return locale.toLower(text).contains(locale.toLower(query), Qt::CaseInsensitive);
}

std::vector<AppInfo> matchingInstalledApps(const std::vector<AppInfo>& apps, const QString& query,
                                           const QLocale& locale) {
    const QString needle = trimmed(query);
    std::vector<AppInfo> matches;
    if (needle.isEmpty()) {
        return matches;
    }
    std::copy_if(apps.begin(), apps.end(), std::back_inserter(matches), [&](const AppInfo& app) {
        return containsIgnoringCase(QString::fromStdString(app.name), needle, locale) ||
               containsIgnoringCase(QString::fromStdString(app.bundleID), needle, locale);
    });
    return matches;
}

std::vector<ShortcutChoice> matchingShortcuts(const std::vector<ShortcutChoice>& shortcuts,
                                              const QString& query, const QLocale& locale) {
    const QString needle = trimmed(query);
    if (needle.isEmpty()) {
        return shortcuts;
    }
    std::vector<ShortcutChoice> matches;
    std::copy_if(shortcuts.begin(), shortcuts.end(), std::back_inserter(matches),
                 [&](const ShortcutChoice& shortcut) {
                     return containsIgnoringCase(QString::fromStdString(shortcut.name), needle,
                                                 locale);
                 });
    return matches;
}

std::optional<URL> typedURL(const QString& text) {
    return URL::parse(trimmedWhitespaceAndNewlines(text.toStdString()));
}

bool namesApplication(const ActionSpec& action) {
    const auto* launch = std::get_if<ActionSpec::LaunchApp>(&action.value);
    return launch != nullptr && (!trimmedWhitespaceAndNewlines(launch->bundleID).empty() ||
                                 cleanedFallbackPath(launch->fallbackPath).has_value());
}

std::optional<std::string> cleanedFallbackPath(const std::optional<std::string>& path) {
    if (!path) {
        return std::nullopt;
    }
    std::string cleaned = trimmedWhitespaceAndNewlines(*path);
    if (cleaned.empty()) {
        return std::nullopt;
    }
    return cleaned;
}

ColorGradient pictureGradient() {
    return ColorGradient{"#ffffff", "#e5e7eb", 135};
}

ButtonUpdate chosenAppUpdate(const std::string& bundleID,
                             const std::optional<std::string>& fallbackPath,
                             const std::optional<Bytes>& iconData) {
    ButtonUpdate update{std::nullopt, std::nullopt, ActionSpec::launchApp(bundleID, fallbackPath)};
    if (iconData) {
        update.icon = IconRef::custom(*iconData);
        update.colorGradient = pictureGradient();
    }
    return update;
}

ButtonUpdate shortcutUpdate(const std::string& name) {
    return {IconRef::appIcon(std::string(shortcutsBundleID)), pictureGradient(),
            ActionSpec::openURL(shortcutsRunURL(name))};
}

ButtonUpdate customImageUpdate(Bytes png) {
    return {IconRef::custom(std::move(png)), pictureGradient(), std::nullopt};
}

bool isCurrentShortcut(const ShortcutChoice& shortcut, const ActionSpec& action) {
    const auto* open = std::get_if<ActionSpec::OpenURL>(&action.value);
    return open != nullptr && open->url == shortcutsRunURL(shortcut.name);
}

} // namespace quorix::InspectorRules
