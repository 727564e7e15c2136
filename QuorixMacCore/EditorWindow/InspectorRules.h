#pragma once

#include "QuorixMacCore/Catalog/ShortcutScanner.h"
#include "QuorixMacCore/EditorWindow/QuickPanelControls.h"
#include "QuorixProtocol/Models.h"

#include <QLocale>
#include <QString>

#include <optional>
#include <string>
#include <vector>

/// The inspector's decisions, apart from the widgets that show them.
namespace quorix::InspectorRules {

/// "変更を自動同期しています" while a layout waits to reach the phone; otherwise the
/// status text, or "保存済み" when it is empty.
QString syncStatusText(bool hasPendingLayout, const QString& statusText);

/// "ボタン " followed by the one-based position.
QString selectedButtonTitle(std::int64_t position);

/// The title of the option with the selected id; "未設定" when none has it.
QString quickPanelTriggerTitle(const std::vector<QuickPanelTriggerOption>& options,
                               const QString& selectedID);

/// Whether `text` holds `query`, ignoring letter case by the rules of `locale`.
bool containsIgnoringCase(const QString& text, const QString& query,
                          const QLocale& locale = QLocale());

/// The installed applications whose name or bundle id holds the trimmed query, in the
/// given order; none for a blank query.
std::vector<AppInfo> matchingInstalledApps(const std::vector<AppInfo>& apps, const QString& query,
                                           const QLocale& locale = QLocale());

/// The shortcuts whose name holds the trimmed query, in the given order; all of them for a
/// blank query.
std::vector<ShortcutChoice> matchingShortcuts(const std::vector<ShortcutChoice>& shortcuts,
                                              const QString& query,
                                              const QLocale& locale = QLocale());

/// The address typed into the URL field, trimmed of white space and line breaks; nothing
/// while it is empty or not a URL.
std::optional<URL> typedURL(const QString& text);

/// Whether an open-application action names an application: a bundle id or a fallback
/// path that is not blank.
bool namesApplication(const ActionSpec& action);

/// The fallback path trimmed of white space; nothing when that leaves it empty.
std::optional<std::string> cleanedFallbackPath(const std::optional<std::string>& path);

/// The gradient behind pictures that bring their own colours: white to light grey.
ColorGradient pictureGradient();

/// A change of the selected button's icon, gradient and action; nothing keeps that part.
struct ButtonUpdate {
    std::optional<IconRef> icon;
    std::optional<ColorGradient> colorGradient;
    std::optional<ActionSpec> action;

    bool operator==(const ButtonUpdate&) const = default;
};

/// Opening a running application or a chosen file: its icon on the picture gradient when
/// there is one (otherwise icon and gradient stay), and the open-application action.
ButtonUpdate chosenAppUpdate(const std::string& bundleID,
                             const std::optional<std::string>& fallbackPath,
                             const std::optional<Bytes>& iconData);

/// Running a shortcut of the Shortcuts app by name.
ButtonUpdate shortcutUpdate(const std::string& name);

/// A picture the user chose as the icon; the action stays.
ButtonUpdate customImageUpdate(Bytes png);

/// The run address a shortcut row stands for, compared with the button's action.
bool isCurrentShortcut(const ShortcutChoice& shortcut, const ActionSpec& action);

} // namespace quorix::InspectorRules
