#pragma once

#include "QuorixMacApp/QuickPanel/QuickPanel.h"
#include "QuorixMacCore/Control/QuorixMacServerController.h"
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

class MacActionExecutor;

/// The application shell: makes the receiving side at creation, starts it at launch and
/// keeps the pairing-code memo in step with it, and stops it at termination. Lives on the
/// main thread for the whole process.
class AppDelegate final : public QObject {
    Q_OBJECT

public:
    /// The name announced to phones when the host has none.
    static constexpr QLatin1StringView fallbackDeviceName{"Kestrane Helper"};
    /// The setting in the standard defaults domain that makes the receiver speak TLS with
    /// the desktop's own identity ("true"); plain TCP otherwise, which every phone speaks.
    static constexpr QLatin1StringView secureTransportKey{"quorix.mac.server.secureTransport"};
    /// The editor window's first size; it grows to fit its columns' minimum widths.
    static constexpr QSize editorWindowSize{980, 620};

    /// Makes the controller on the stored layout and the transport setting of the standard
    /// defaults domain; opens nothing yet.
    explicit AppDelegate(
        std::shared_ptr<const ApplicationDirectories> directories = systemApplicationDirectories(),
        QObject* parent = nullptr);
    ~AppDelegate() override;

    /// The host's name, or `fallbackDeviceName` when it has none.
    static QString deviceName();
    /// Plain unless `secureTransportKey` holds "true", "yes" or "1" (in any letter case).
    static TransportSecurityMode securityMode(const UserDefaults& defaults);

    /// Starts the receiver and writes the memo; then, once the event loop runs, opens the
    /// editor when a display is reachable.
    void applicationDidFinishLaunching();
    /// Closes the editor and stops the receiver; call once, before the application object
    /// goes.
    void applicationWillTerminate();

    /// Opens the editor window centred on the screen, or, when it is open, gives it a fresh
    /// editor and brings it to the front; nothing without a display.
    void showEditor();
    /// The open editor window, if any.
    QMainWindow* editorWindow() const { return m_editorWindow; }
    /// Whether windows can be shown: false on Qt's offscreen and minimal platforms.
    static bool hasDisplay();

    /// Writes the memo for the current code; the path written, or nothing when there is no
    /// code or the write failed.
    std::optional<QString> writePairingCodeMemo();
    /// Where the memo goes; nothing when the system has no Application Support directory.
    std::optional<QString> pairingCodeMemoPath() const;

    QuorixMacServerController& controller() const { return *m_controller; }
    /// The quick panel, for the menu item, the trigger and the event monitors; its window is
    /// made when it is first shown.
    QuickPanelPresenting& quickPanel() const { return *m_quickPanel; }

Q_SIGNALS:
    /// A phone authenticated, by code or by token.
    void pairingCompleted();
    /// The user asked to pair a phone; `code` is the fresh pairing code to show.
    void pairingCodeRequested(const QString& code);

private:
    /// A fresh code for a phone to pair with, also written to the memo.
    void preparePairingCode();

    const std::shared_ptr<const ApplicationDirectories> m_directories;
    std::unique_ptr<QuorixMacServerController> m_controller;
    /// Runs buttons pressed in the quick panel, apart from the phones' executions.
    std::shared_ptr<MacActionExecutor> m_quickPanelActionExecutor;
    /// Shows the controller's editor state, so it must go before the controller.
    QPointer<QMainWindow> m_editorWindow;
    /// Shows the controller's editor state too.
    std::unique_ptr<QuickPanel> m_quickPanel;
};

} // namespace quorix
