#pragma once

#include "QuorixMacCore/Transport/SerialQueue.h"
#include "QuorixMacCore/Transport/TLSIdentityBundle.h"
#include "QuorixMacCore/Transport/TransportSecurityMode.h"
#include "QuorixMacCore/Transport/WebSocketLimits.h"
#include "QuorixProtocol/Foundation.h"
#include "QuorixProtocol/Models.h"

#include <QString>
#include <QThreadPool>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace quorix {

class ActionExecuting;
class InstalledAppsScanner;
class PairingService;
class ServiceRegistrar;

/// Why the server did not start.
struct WebSocketServerError {
    enum class Kind {
        /// The listener could not be opened; `platformError` says why.
        listenerFailed,
        startTimedOut,
        missingTLSIdentity,
    };

    Kind kind = Kind::startTimedOut;
    /// The system's own description of the listener's failure.
    QString platformError;

    static WebSocketServerError listenerFailed(QString platformError) {
        return {Kind::listenerFailed, std::move(platformError)};
    }
    static WebSocketServerError startTimedOut() { return {Kind::startTimedOut, {}}; }
    static WebSocketServerError missingTLSIdentity() { return {Kind::missingTLSIdentity, {}}; }

    /// A fixed English description; for `listenerFailed` followed by the system's text.
    QString description() const;

    bool operator==(const WebSocketServerError&) const = default;
};

/// Seams for tests and tools; the defaults are the real thing.
struct WebSocketServerOptions {
    WebSocketLimits limits;
    /// Where `execute` and `list_apps` run; the global pool when null.
    QThreadPool* taskPool = nullptr;
    /// Where messages too large for the connection queue are decoded, and freed memory is
    /// given back; a pool of the server's own with one thread when null.
    QThreadPool* decodingPool = nullptr;
    /// Makes the DNS-SD registrar, on the listener queue; the system's responder when
    /// empty.
    std::function<std::unique_ptr<ServiceRegistrar>()> makeServiceRegistrar;
    /// Gives freed memory back to the system, on the decoding pool, once large messages have
    /// stopped coming for `WebSocketServer::freedMemoryReturnDelay`; the platform's when
    /// empty.
    std::function<void()> returnFreedMemory;
};

/// The desktop's network endpoint for phones: listens on a TCP port, advertises itself
/// by DNS-SD, keeps one session per connection and pushes layout changes to every
/// authenticated phone.
///
/// The server owns its two queues: the listener runs on the one labelled
/// `listenerQueueLabel`, every connection on the one labelled `connectionQueueLabel`, where
/// the callbacks are called too. Sessions hold the connection queue weakly, so whatever
/// outlives the server finds it gone. The public operations may be called from any other
/// thread.
class WebSocketServer {
public:
    static constexpr QLatin1StringView listenerQueueLabel{"quorix.mac.websocket.listener"};
    static constexpr QLatin1StringView connectionQueueLabel{"quorix.mac.websocket.connection"};
    /// How long `start` waits for the listener.
    static constexpr std::chrono::milliseconds startTimeout{5'000};
    /// How long after the last large message the memory freed since goes back to the
    /// system. Layouts come in bursts while someone edits on the phone; giving their memory
    /// back after each would only fault it in afresh for the next.
    static constexpr std::chrono::milliseconds freedMemoryReturnDelay{2'000};

    using Options = WebSocketServerOptions;

    /// Starts the two queues and opens nothing. In secure mode every connection speaks TLS
    /// with `identityBundle`, whose fingerprint is advertised.
    WebSocketServer(QString deviceName, std::shared_ptr<PairingService> pairingService,
                    std::shared_ptr<ActionExecuting> actionExecutor,
                    std::shared_ptr<InstalledAppsScanner> installedAppsScanner,
                    TransportSecurityMode securityMode,
                    std::optional<TLSIdentityBundle> identityBundle, QString advertisedPairingCode,
                    Options options = {});
    /// Stops, then ends both queues. Must not be called on either queue.
    ~WebSocketServer();

    WebSocketServer(const WebSocketServer&) = delete;
    WebSocketServer& operator=(const WebSocketServer&) = delete;

    /// Opens the listener on `port` (0: any free port) and blocks until it is ready, at
    /// most `startTimeout`; the port actually bound. With `advertiseBonjour` the service
    /// is also announced; a missing DNS-SD responder is logged and does not fail the
    /// start. Must not be called on the listener queue.
    Expected<std::uint16_t, WebSocketServerError> start(std::uint16_t port, bool advertiseBonjour);

    /// Changes the code in the TXT record and announces the service again with it, if a
    /// listener exists (whether or not it was started with advertising).
    void updatePairingCode(const QString& code);

    /// Sends `layout_changed` to every authenticated session; the number of authenticated
    /// sessions found, whether or not each send then succeeds. The layout is encoded once,
    /// on the caller's thread.
    int broadcastLayoutChanged(const LayoutRecord& layout);

    /// Closes the listener and every connection, and withdraws the announcement. The
    /// connections are closed when this returns. Must not be called on either queue.
    void stop();

    /// The layout is the callback's own: a layout of megabytes is moved, not copied.
    void setOnLayoutUpdate(std::function<void(LayoutRecord)> callback);
    void setOnAuthenticated(std::function<void()> callback);

    /// The bound port once a start succeeded; kept after `stop`.
    std::optional<std::uint16_t> port() const;
    const std::optional<QString>& fingerprintSHA256() const { return m_fingerprintSHA256; }
    const QString& deviceName() const { return m_deviceName; }
    const std::shared_ptr<PairingService>& pairingService() const { return m_pairingService; }
    TransportSecurityMode securityMode() const { return m_securityMode; }

    /// Sessions in the registry now.
    std::size_t sessionCount() const;

    /// For work that must run in order with the listener's or the connections' own.
    SerialQueue::Handle listenerQueue() const { return m_listenerQueue.handle(); }
    SerialQueue::Handle connectionQueue() const { return m_connectionQueue.handle(); }

private:
    struct State;
    class Listener;

    const QString m_deviceName;
    const std::shared_ptr<PairingService> m_pairingService;
    const TransportSecurityMode m_securityMode;
    const std::optional<TLSIdentityBundle> m_identityBundle;
    const std::optional<QString> m_fingerprintSHA256;
    // Apart from the task pool, so that actions never wait behind a layout being decoded,
    // and with one thread, so that phones pushing layouts at once take turns instead of
    // each holding a layout's worth of memory. Ends after the queues, which post to it.
    QThreadPool m_decodingPool;
    // Ended in reverse order, after `stop`: the connections' sockets first.
    SerialQueue m_listenerQueue{listenerQueueLabel};
    SerialQueue m_connectionQueue{connectionQueueLabel};
    // Shared with the listener's and the sessions' callbacks, which hold it weakly.
    const std::shared_ptr<State> m_state;
};

} // namespace quorix
