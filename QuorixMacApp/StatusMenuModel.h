#pragma once

#include "QuorixMacApp/QuickPanelTriggerMode.h"

#include <QString>

#include <optional>
#include <vector>

namespace quorix {

/// What a status menu item does when chosen.
enum class StatusMenuAction {
    none,
    showQRCode,
    showEditor,
    showQuickPanelFromMenu,
    selectQuickPanelTriggerMode,
    requestAccessibility,
    restartServer,
    openPrivacyPolicy,
    openSupport,
    quit,
};

/// One row of the status menu: a separator, or a titled item that may have a submenu.
/// Items without an action are shown disabled.
struct StatusMenuItem {
    bool isSeparator = false;
    QString title;
    StatusMenuAction action = StatusMenuAction::none;
    /// Handed to the action: the trigger mode's raw value for the trigger items.
    QString representedObject;
    bool isChecked = false;
    std::vector<StatusMenuItem> submenu;

    bool operator==(const StatusMenuItem&) const = default;
};

/// What the status menu shows.
struct StatusMenuState {
    bool isRunning = false;
    QString fingerprint;
    std::optional<QString> lastError;
    QuickPanelTriggerMode triggerMode = QuickPanelTriggerModes::defaultMode;
    QString versionText;
};

namespace StatusMenuModel {

/// How many characters of the fingerprint the menu shows.
inline constexpr qsizetype fingerprintPrefixLength = 12;
/// Shown when the build carries no version.
inline constexpr QLatin1StringView fallbackVersion{"1.0"};

/// The whole menu, top to bottom.
std::vector<StatusMenuItem> items(const StatusMenuState& state);

/// The version as the menu shows it: "2.3 (41)" with a build number, "2.3" without one,
/// and `fallbackVersion` whenever the version is missing, whatever the build.
QString versionText(const std::optional<QString>& shortVersion,
                    const std::optional<QString>& buildNumber);

} // namespace StatusMenuModel
} // namespace quorix
