#pragma once

#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/Pairing/PairingConfiguration.h"
#include "QuorixMacCore/Storage/MacEditorLayoutStore.h"
#include "QuorixMacCore/Transport/TLSCertificateManager.h"
#include "QuorixMacCore/Transport/WebSocketServer.h"
#include "QuorixProtocol/Models.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace quorix {

class ActionExecuting;
class InstalledAppsScanner;
class PairingService;
class PairingTokenStore;
class WebIconResolving;

/// The synchronisation status lines, shown in the editor and kept by the controller.
namespace SyncStatusText {
inline constexpr QStringView notSynced = u"スマホ未同期";
inline constexpr QStringView waitingForPhone = u"スマホ接続待ち";
inline constexpr QStringView phoneConnected = u"スマホと接続しました";
inline constexpr QStringView phoneLayoutAdopted = u"スマホの現在の配置を読み込みました";
inline constexpr QStringView keepingUnsentEdits = u"パソコン側の未送信変更を保持しています";
inline constexpr QStringView notRunning = u"受け取りが起動していません";
inline constexpr QStringView noPhoneConnected =
    u"スマホが接続されていません。スマホ側のKestraneを開いてください";
inline constexpr QStringView synced = u"スマホへ自動同期しました";
} // namespace SyncStatusText

/// Seams of the controller; every empty one means the real thing.
struct QuorixMacServerControllerOptions {
    /// The token store of each run; the persistent stores of the user when empty.
    std::function<std::shared_ptr<PairingTokenStore>()> makeTokenStore;
    /// The executor of each run; one acting on this desktop when empty.
    std::function<std::shared_ptr<ActionExecuting>()> makeActionExecutor;
    /// Limits, task pool and DNS-SD registrar of every server.
    WebSocketServer::Options serverOptions;
    MacEditorState::Options editorStateOptions;
    /// Fetches site icons for the editor and its views; a new one when null.
    std::shared_ptr<WebIconResolving> webIconResolver;
    /// Whether each start announces the service by DNS-SD.
    bool advertiseBonjour = true;
    /// How phones reach the receiver. A secure start without an identity falls back to
    /// plain TCP and publishes why in `lastError`.
    TransportSecurityMode securityMode = TransportSecurityMode::plaintextForLocalTesting;
    /// Makes the identity of secure runs, given the device name as common name; the
    /// identity manager in its default folder when empty. Called on the main thread until
    /// it succeeds once; the controller keeps that identity for every later run.
    std::function<Expected<TLSIdentityBundle, TLSCertificateError>(const QString& commonName)>
        makeTLSIdentity;
};

/// The receiving side of the desktop as one object: owns the editor state made from the
/// stored layout and, for each run, a pairing service over the persistent token store, an
/// action executor and the WebSocket server with its two worker threads. Keeps the layout in
/// step with connected phones in both directions: edits here go to the phones once they
/// pause, and a phone's layout replaces this one unless unsent edits differ from it.
///
/// Lives on the main thread: every operation must be called there and every property
/// changes there. Each property signal is emitted only when its value actually changed.
class QuorixMacServerController final : public QObject {
    Q_OBJECT

public:
    using Options = QuorixMacServerControllerOptions;

    /// Quiet time after an edit before the layout goes to the phones.
    static constexpr std::chrono::milliseconds editSyncDelay{350};
    /// Delay before the desktop's layout goes back to a phone whose layout was refused.
    static constexpr std::chrono::milliseconds refusedLayoutSyncDelay{100};

    /// Loads the stored layout (or makes the default one), builds the editor state on it and
    /// starts fetching site icons for it. Opens nothing: `start` does.
    QuorixMacServerController(QString deviceName, MacEditorLayoutStore editorLayoutStore,
                              std::uint16_t preferredPort, Options options = {},
                              QObject* parent = nullptr);
    /// Stops.
    ~QuorixMacServerController() override;

    QuorixMacServerController(const QuorixMacServerController&) = delete;
    QuorixMacServerController& operator=(const QuorixMacServerController&) = delete;

    /// One empty page "ページ 1" of 3 × 5 buttons under new ids, stamped `now`.
    static LayoutRecord defaultLayout(Date now);

    /// Starts the server, stopping any earlier run first; blocks until it listens, at most
    /// `WebSocketServer::startTimeout`. A failure is published in `lastError`.
    void start();
    /// Closes the listener and every connection, cancels a pending synchronisation and
    /// drops the pairing service (its code and lock-out; tokens stay stored).
    void stop();
    /// Issues a new code (ending any lock-out) and advertises it; starts the server
    /// instead when it has no pairing service.
    void refreshPairingCode();
    /// A new code for the pairing window: refreshes it while running, else starts.
    void prepareFreshPairingCodeForDisplay();
    /// Sends the pending layout, or the current one when nothing is pending, to every
    /// authenticated phone now; the outcome shows only in the status text.
    void syncEditorLayoutToConnectedIPhones();

    bool isRunning() const { return m_isRunning; }
    std::optional<std::uint16_t> port() const { return m_port; }
    const QString& pairingCode() const { return m_pairingCode; }
    /// The certificate fingerprint for the pairing payload; empty while running plain.
    const QString& fingerprint() const { return m_fingerprint; }
    /// Why the last start failed; nothing once a start succeeded.
    const std::optional<QString>& lastError() const { return m_lastError; }
    const QString& lastSyncMessage() const { return m_lastSyncMessage; }
    /// Whether a phone sent its layout since the last start.
    bool hasReceivedIPhoneLayout() const { return m_hasReceivedIPhoneLayout; }

    const QString& deviceName() const { return m_deviceName; }
    std::uint16_t preferredPort() const { return m_preferredPort; }
    MacEditorState& editorState() const { return *m_editorState; }
    /// The program's one site-icon resolver, shared with the editor state and its views.
    const std::shared_ptr<WebIconResolving>& webIconResolver() const { return m_webIconResolver; }

    /// Called on the main thread every time a phone authenticates, by code or by token.
    const std::function<void()>& onPairingCompleted() const { return m_onPairingCompleted; }
    void setOnPairingCompleted(std::function<void()> callback) {
        m_onPairingCompleted = std::move(callback);
    }

    /// Whether an automatic synchronisation is waiting for its delay to pass.
    bool hasPendingAutoSync() const { return m_autoSyncTimer.isActive(); }

Q_SIGNALS:
    void isRunningChanged();
    void portChanged();
    void pairingCodeChanged();
    void fingerprintChanged();
    void lastErrorChanged();
    void lastSyncMessageChanged();
    void hasReceivedIPhoneLayoutChanged();

private:
    void setIsRunning(bool value);
    void setPort(std::optional<std::uint16_t> value);
    void setPairingCode(const QString& value);
    void setFingerprint(const QString& value);
    void setLastError(const std::optional<QString>& value);
    void setHasReceivedIPhoneLayout(bool value);
    /// Writes the status line here and in the editor.
    void setStatus(QStringView text);

    /// Restarts the one pending synchronisation timer.
    void scheduleAutoSync(std::chrono::milliseconds delay);
    void autoSyncTimerFired();

    void phoneAuthenticated();
    void phoneSentLayout(LayoutRecord layout);

    std::shared_ptr<ActionExecuting> makeActionExecutor() const;
    std::shared_ptr<PairingTokenStore> makeTokenStore() const;
    /// Makes `m_tlsIdentity` unless it exists; why it could not, or nothing.
    std::optional<TLSCertificateError> prepareTLSIdentity();

    const QString m_deviceName;
    const std::uint16_t m_preferredPort;
    const Options m_options;

    bool m_isRunning = false;
    std::optional<std::uint16_t> m_port;
    QString m_pairingCode;
    QString m_fingerprint;
    std::optional<QString> m_lastError;
    QString m_lastSyncMessage;
    bool m_hasReceivedIPhoneLayout = false;

    std::function<void()> m_onPairingCompleted;

    std::shared_ptr<InstalledAppsScanner> m_installedAppsScanner;
    const std::shared_ptr<WebIconResolving> m_webIconResolver;
    std::unique_ptr<MacEditorState> m_editorState;

    // Made at most once per process: it costs a key generation the first time and the
    // main thread waits for it.
    std::optional<TLSIdentityBundle> m_tlsIdentity;
    std::shared_ptr<PairingService> m_pairingService;
    std::unique_ptr<WebSocketServer> m_server;
    // Counts the runs, so that a phone's callback that reaches the main thread after its
    // run was stopped is dropped instead of landing in the next one.
    std::uint64_t m_run = 0;
    QTimer m_autoSyncTimer;
};

} // namespace quorix
