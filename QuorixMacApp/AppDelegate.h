#pragma once

#include "QuorixMacCore/Control/QuorixMacServerController.h"
#include "QuorixMacCore/Platform/ApplicationDirectories.h"
#include "QuorixMacCore/Platform/UserDefaults.h"

#include <QObject>
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

    /// Starts the receiver and writes the memo.
    void applicationDidFinishLaunching();
    /// Stops the receiver; call once, before the application object goes.
    void applicationWillTerminate();

    /// Writes the memo for the current code; the path written, or nothing when there is no
    /// code or the write failed.
    std::optional<QString> writePairingCodeMemo();
    /// Where the memo goes; nothing when the system has no Application Support directory.
    std::optional<QString> pairingCodeMemoPath() const;

    QuorixMacServerController& controller() const { return *m_controller; }

Q_SIGNALS:
    /// A phone authenticated, by code or by token.
    void pairingCompleted();

private:
    const std::shared_ptr<const ApplicationDirectories> m_directories;
    std::unique_ptr<QuorixMacServerController> m_controller;
    /// Runs buttons pressed in the quick panel, apart from the phones' executions.
    std::shared_ptr<MacActionExecutor> m_quickPanelActionExecutor;
};

} // namespace quorix
