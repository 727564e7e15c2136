#pragma once

#include "QuorixMacApp/PairingQRCodeWindow.h"
#include "QuorixMacApp/QuickPanelTrigger.h"
#include "QuorixMacApp/StatusItem.h"
#include "QuorixMacApp/StatusMenuModel.h"
#include "QuorixMacCore/Control/QuorixMacServerController.h"
#include "QuorixMacCore/EditorWindow/QuickPanelControls.h"
#include "QuorixMacCore/Platform/ApplicationDirectories.h"
#include "QuorixMacCore/Platform/UserDefaults.h"

#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

namespace quorix {

class AccessibilityChecker;
class GlobalInputMonitor;
class MacActionExecutor;
class QuickPanelMonitors;
class QuickPanelPresenting;
class Workspace;

/// The desktop's parts that the shell uses; each empty one means the real thing.
struct AppDelegateOptions {
    std::shared_ptr<const ApplicationDirectories> directories;
    /// The standard defaults domain: the transport setting and the trigger mode.
    std::shared_ptr<UserDefaults> defaults;
    QuorixMacServerController::Options controllerOptions;
    /// The quick panel; the real one, on the controller's editor state, when null.
    std::shared_ptr<QuickPanelPresenting> quickPanel;
    /// Watches input in other applications; made when the shell launches when null.
    std::function<std::unique_ptr<GlobalInputMonitor>()> makeGlobalInputMonitor;
    std::shared_ptr<AccessibilityChecker> accessibilityChecker;
    /// Opens the privacy and support pages.
    std::shared_ptr<Workspace> workspace;
    /// The version and build number of this build.
    std::optional<QString> shortVersion;
    std::optional<QString> buildNumber;
};

/// The application shell: makes the receiving side at creation; at launch shows the tray
/// icon with the status menu, installs the quick panel's monitors, starts the receiver and
/// opens the editor; shows the pairing window; stops everything at termination. Lives on
/// the main thread for the whole process.
class AppDelegate final : public QObject {
    Q_OBJECT

public:
    using Options = AppDelegateOptions;

    /// The name announced to phones when the host has none.
    static constexpr QLatin1StringView fallbackDeviceName{"Kestrane Helper"};
    /// The setting in the standard defaults domain that makes the receiver speak TLS with
    /// the desktop's own identity ("true"); plain TCP otherwise, which every phone speaks.
    static constexpr QLatin1StringView secureTransportKey{"quorix.mac.server.secureTransport"};
    /// The editor window's first size; it grows to fit its columns' minimum widths.
    static constexpr QSize editorWindowSize{980, 620};
    /// The product's web site, where the privacy policy and the support pages are.
    static constexpr QLatin1StringView productWebSite{"https://kestrane.example.com"};

    /// Makes the controller on the stored layout and the transport setting, and reads the
    /// trigger mode; opens nothing yet.
    explicit AppDelegate(Options options = {}, QObject* parent = nullptr);
    ~AppDelegate() override;

    /// The host's name, or `fallbackDeviceName` when it has none.
    static QString deviceName();
    /// Plain unless `secureTransportKey` holds "true", "yes" or "1" (in any letter case).
    static TransportSecurityMode securityMode(const UserDefaults& defaults);
    /// Whether windows can be shown: false on Qt's offscreen and minimal platforms.
    static bool hasDisplay();

    /// Shows the tray icon (with a display), installs the monitors, starts the receiver,
    /// writes the memo, builds the menu, and once the event loop runs opens the editor.
    void applicationDidFinishLaunching();
    /// Removes the monitors, closes the windows, stops the receiver and writes the
    /// settings; call once, before the application object goes.
    void applicationWillTerminate();
    /// Another start of the program asked for it: opens the editor when no window is
    /// visible, else brings the editor forward.
    void applicationShouldHandleReopen(bool hasVisibleWindows);
    /// Whether any of the shell's windows is visible.
    bool hasVisibleWindows() const;

    // The status menu's actions.
    void showQRCode();
    /// Opens the editor window centred on the screen, or, when it is open, gives it a fresh
    /// editor and brings it to the front; nothing without a display.
    void showEditor();
    void showQuickPanelFromMenu();
    /// Ignores a raw value that names no mode.
    void selectQuickPanelTriggerMode(const QString& rawValue);
    void requestAccessibility();
    void restartServer();
    void openPrivacyPolicy();
    void openSupport();
    void quit();

    /// Runs the action of a status menu item.
    void perform(StatusMenuAction action, const QString& representedObject);

    /// What the status menu shows now.
    StatusMenuState statusMenuState() const;
    /// Writes the memo and replaces the status menu.
    void rebuildMenu();
    /// The pairing window's button: a new code, memo and menu, and the window again.
    void refreshPairingCode();

    /// Writes the memo for the current code; the path written, or nothing when there is no
    /// code or the write failed.
    std::optional<QString> writePairingCodeMemo();
    /// Where the memo goes; nothing when the system has no Application Support directory.
    std::optional<QString> pairingCodeMemoPath() const;

    QuorixMacServerController& controller() const { return *m_controller; }
    QuickPanelTrigger& trigger() { return m_trigger; }
    QuickPanelControls quickPanelControls();
    QMainWindow* editorWindow() const { return m_editorWindow.data(); }
    PairingQRCodeWindow* pairingWindow() const { return m_pairingWindow.data(); }
    StatusItem* statusItem() const { return m_statusItem.data(); }
    QuickPanelMonitors& monitors() const { return *m_monitors; }

Q_SIGNALS:
    /// A phone authenticated, by code or by token.
    void pairingCompleted();

private:
    void presentQRCode();
    void performTriggerEffect(QuickPanelTrigger::Effect effect);

    const Options m_options;
    std::unique_ptr<QuorixMacServerController> m_controller;
    /// Runs buttons pressed in the quick panel, apart from the phones' executions.
    std::shared_ptr<MacActionExecutor> m_quickPanelActionExecutor;
    /// Shows the controller's editor state, so it must go before the controller.
    std::shared_ptr<QuickPanelPresenting> m_quickPanel;
    QuickPanelTrigger m_trigger;
    QuickPanelMonitors* m_monitors;
    QPointer<StatusItem> m_statusItem;
    QPointer<PairingQRCodeWindow> m_pairingWindow;
    /// Shows the controller's editor state, so it must go before the controller.
    QPointer<QMainWindow> m_editorWindow;
};

} // namespace quorix
