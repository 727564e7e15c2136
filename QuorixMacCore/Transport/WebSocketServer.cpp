#include "QuorixMacCore/Transport/WebSocketServer.h"

#include "QuorixMacCore/Platform/ProcessMemory.h"
#include "QuorixMacCore/Platform/ServiceRegistrar.h"
#include "QuorixMacCore/Transport/BonjourService.h"
#include "QuorixMacCore/Transport/BonjourTXTRecord.h"
#include "QuorixMacCore/Transport/LocalNetworkAddressProvider.h"
#include "QuorixMacCore/Transport/TransportLogging.h"
#include "QuorixMacCore/Transport/WebSocketConnectionSession.h"

#include <QPointer>
#include <QSemaphore>
#include <QSslSocket>
#include <QTcpServer>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <atomic>
#include <unistd.h>

namespace quorix {

using Session = WebSocketConnectionSession;

QString WebSocketServerError::description() const {
    switch (kind) {
    case Kind::listenerFailed:
        return QStringLiteral("The WebSocket listener failed: ") + platformError;
    case Kind::startTimedOut:
        return QStringLiteral("The WebSocket listener did not become ready in time.");
    case Kind::missingTLSIdentity:
        return QStringLiteral("Secure mode requires a TLS identity.");
    }
    return {};
}

struct WebSocketServer::State {
    std::shared_ptr<const Session::Services> services;
    SerialQueue::Handle connectionQueue;
    std::function<std::unique_ptr<ServiceRegistrar>()> makeServiceRegistrar;
    QString deviceName;
    TransportSecurityMode securityMode = TransportSecurityMode::plaintextForLocalTesting;
    std::optional<QString> fingerprintSHA256;

    mutable std::mutex sessionsLock;
    std::map<std::uint64_t, std::shared_ptr<Session>> sessions;
    std::uint64_t nextSessionID = 0;

    std::mutex callbacksLock;
    std::function<void(LayoutRecord)> onLayoutUpdate;
    std::function<void()> onAuthenticated;

    // The bound port, or -1 before the first successful start.
    std::atomic<int> port{-1};

    std::mutex codeLock;
    QString advertisedPairingCode;

    // Listener queue only.
    QTcpServer* listener = nullptr;
    std::unique_ptr<ServiceRegistrar> registrar;

    std::function<void()> returnFreedMemory;
    // Connection queue only.
    QPointer<QTimer> memoryReturnTimer;

    void accept(qintptr socketDescriptor, const std::weak_ptr<State>& weakSelf);
    void largeMessageHandled();
    void advertise();
    void closeListener();
};

/// Hands every accepted descriptor to the server instead of making a socket on the
/// listener's thread: sockets belong to the connection queue.
class WebSocketServer::Listener final : public QTcpServer {
public:
    Listener(std::weak_ptr<State> state, QObject* parent)
        : QTcpServer(parent)
        , m_state(std::move(state)) {}

protected:
    void incomingConnection(qintptr socketDescriptor) override {
        if (const auto state = m_state.lock()) {
            state->accept(socketDescriptor, m_state);
        } else {
            ::close(static_cast<int>(socketDescriptor));
        }
    }

private:
    const std::weak_ptr<State> m_state;
};

void WebSocketServer::State::accept(qintptr socketDescriptor,
                                    const std::weak_ptr<State>& weakSelf) {
    std::shared_ptr<Session> session;
    std::shared_ptr<Session> displaced;
    {
        std::scoped_lock lock(sessionsLock);
        if (sessions.size() >= static_cast<std::size_t>(services->limits.maxConnections)) {
            // Connections that never authenticate must not be able to lock a paired phone
            // out: the newcomer takes the place of the oldest of them (ids grow with age).
            const auto oldest =
                std::find_if(sessions.begin(), sessions.end(),
                             [](const auto& entry) { return !entry.second->isAuthenticated(); });
            if (oldest == sessions.end()) {
                qCWarning(lcTransport) << "Refused a connection: already"
                                       << services->limits.maxConnections << "phones connected";
                ::close(static_cast<int>(socketDescriptor));
                return;
            }
            displaced = std::move(oldest->second);
            sessions.erase(oldest);
        }
        const std::uint64_t id = ++nextSessionID;
        Session::Callbacks callbacks;
        callbacks.onAuthenticated = [weakSelf] {
            const auto self = weakSelf.lock();
            if (!self) {
                return;
            }
            std::function<void()> callback;
            {
                std::scoped_lock callbackLock(self->callbacksLock);
                callback = self->onAuthenticated;
            }
            if (callback) {
                callback();
            }
        };
        callbacks.onLayoutUpdate = [weakSelf](LayoutRecord layout) {
            const auto self = weakSelf.lock();
            if (!self) {
                return;
            }
            std::function<void(LayoutRecord)> callback;
            {
                std::scoped_lock callbackLock(self->callbacksLock);
                callback = self->onLayoutUpdate;
            }
            if (callback) {
                callback(std::move(layout));
            }
        };
        callbacks.onClose = [weakSelf, id] {
            const auto self = weakSelf.lock();
            if (!self) {
                return;
            }
            std::shared_ptr<Session> removed;
            std::scoped_lock removalLock(self->sessionsLock);
            if (const auto found = self->sessions.find(id); found != self->sessions.end()) {
                removed = std::move(found->second);
                self->sessions.erase(found);
            }
        };
        session =
            Session::create(socketDescriptor, connectionQueue, services, std::move(callbacks));
        sessions.emplace(id, session);
    }
    if (displaced) {
        displaced->close("its place went to a newer connection");
    }
    session->start();
}

void WebSocketServer::State::largeMessageHandled() {
    if (!memoryReturnTimer) {
        memoryReturnTimer = new QTimer(connectionQueue.context());
        memoryReturnTimer->setSingleShot(true);
        memoryReturnTimer->setInterval(freedMemoryReturnDelay);
        QObject::connect(memoryReturnTimer, &QTimer::timeout, memoryReturnTimer,
                         [pool = services->decodingPool, returnMemory = returnFreedMemory] {
                             (void)QtConcurrent::run(pool, returnMemory);
                         });
    }
    memoryReturnTimer->start();
}

void WebSocketServer::State::advertise() {
    if (!listener) {
        return;
    }
    if (!registrar) {
        registrar = makeServiceRegistrar ? makeServiceRegistrar() : makeSystemServiceRegistrar();
        registrar->onFailed = [](const ServiceRegistrationError& error) {
            qCWarning(lcTransport).noquote()
                << "No longer advertised on the local network:" << error.description();
        };
    }
    BonjourTXTRecord::Fields fields;
    fields.deviceType = BonjourTXTRecord::macDeviceType;
    fields.version = BonjourTXTRecord::protocolVersion;
    fields.fingerprintSHA256 = fingerprintSHA256;
    fields.security = securityMode == TransportSecurityMode::secureSelfSigned
                          ? BonjourTXTRecord::securityTLS
                          : BonjourTXTRecord::securityPlain;
    fields.host = LocalNetworkAddressProvider::preferredIPv4Address();
    if (const int bound = port.load(); bound >= 0) {
        fields.port = static_cast<std::uint16_t>(bound);
    }
    {
        std::scoped_lock lock(codeLock);
        fields.pairingCode = advertisedPairingCode;
    }
    ServiceRegistration registration;
    registration.name = BonjourService::sanitizedServiceName(deviceName);
    registration.type = BonjourService::type;
    registration.port = fields.port.value_or(QuorixNetworkDefaults::preferredPort);
    registration.txtRecord = BonjourTXTRecord::entries(fields);
    if (const auto error = registrar->registerService(registration)) {
        qCWarning(lcTransport).noquote()
            << "Running without advertising on the local network:" << error->description();
    }
}

void WebSocketServer::State::closeListener() {
    if (registrar) {
        registrar->unregister();
    }
    delete listener;
    listener = nullptr;
}

WebSocketServer::WebSocketServer(QString deviceName, std::shared_ptr<PairingService> pairingService,
                                 std::shared_ptr<ActionExecuting> actionExecutor,
                                 std::shared_ptr<InstalledAppsScanner> installedAppsScanner,
                                 TransportSecurityMode securityMode,
                                 std::optional<TLSIdentityBundle> identityBundle,
                                 QString advertisedPairingCode, Options options)
    : m_deviceName(std::move(deviceName))
    , m_pairingService(std::move(pairingService))
    , m_securityMode(securityMode)
    , m_identityBundle(std::move(identityBundle))
    , m_fingerprintSHA256(m_identityBundle ? std::optional(m_identityBundle->fingerprintSHA256)
                                           : std::nullopt)
    , m_state(std::make_shared<State>()) {
    auto services = std::make_shared<Session::Services>();
    services->pairingService = m_pairingService;
    services->actionExecutor = std::move(actionExecutor);
    services->installedAppsScanner = std::move(installedAppsScanner);
    services->deviceName = m_deviceName;
    services->limits = options.limits;
    services->taskPool = options.taskPool;
    m_decodingPool.setMaxThreadCount(1);
    services->decodingPool = options.decodingPool ? options.decodingPool : &m_decodingPool;
    if (m_securityMode == TransportSecurityMode::secureSelfSigned && m_identityBundle) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(m_identityBundle->certificate);
        tls.setPrivateKey(m_identityBundle->privateKey);
        // Phones check the certificate by its fingerprint; none has one of its own.
        tls.setPeerVerifyMode(QSslSocket::VerifyNone);
        services->tls = std::move(tls);
    }
    services->onLargeMessageHandled = [weakState = std::weak_ptr<State>(m_state)] {
        if (const auto state = weakState.lock()) {
            state->largeMessageHandled();
        }
    };
    m_state->services = std::move(services);
    m_state->returnFreedMemory = options.returnFreedMemory ? std::move(options.returnFreedMemory)
                                                           : returnFreedMemoryToTheSystem;
    m_state->connectionQueue = m_connectionQueue.handle();
    m_state->makeServiceRegistrar = std::move(options.makeServiceRegistrar);
    m_state->deviceName = m_deviceName;
    m_state->securityMode = m_securityMode;
    m_state->fingerprintSHA256 = m_fingerprintSHA256;
    m_state->advertisedPairingCode = std::move(advertisedPairingCode);
}

WebSocketServer::~WebSocketServer() {
    stop();
}

Expected<std::uint16_t, WebSocketServerError> WebSocketServer::start(std::uint16_t port,
                                                                     bool advertiseBonjour) {
    if (m_securityMode == TransportSecurityMode::secureSelfSigned) {
        if (!m_identityBundle) {
            return WebSocketServerError::missingTLSIdentity();
        }
        if (!QSslSocket::supportsSsl()) {
            return WebSocketServerError::listenerFailed(QStringLiteral("TLS is not available: ") +
                                                        QSslSocket::sslLibraryVersionString());
        }
    }

    struct Attempt {
        QSemaphore finished;
        std::optional<WebSocketServerError> error;
        std::optional<std::uint16_t> port;
    };
    const auto attempt = std::make_shared<Attempt>();
    const std::weak_ptr<State> weakState = m_state;
    QObject* listenerContext = m_listenerQueue.context();
    m_listenerQueue.post([weakState, attempt, port, advertiseBonjour, listenerContext] {
        const auto state = weakState.lock();
        if (!state) {
            attempt->finished.release();
            return;
        }
        state->closeListener();
        auto* listener = new Listener(weakState, listenerContext);
        if (!listener->listen(QHostAddress::Any, port)) {
            attempt->error = WebSocketServerError::listenerFailed(listener->errorString());
            delete listener;
            attempt->finished.release();
            return;
        }
        state->listener = listener;
        state->port.store(listener->serverPort());
        attempt->port = listener->serverPort();
        attempt->finished.release();
        if (advertiseBonjour) {
            state->advertise();
        }
    });
    if (!attempt->finished.tryAcquire(1, static_cast<int>(startTimeout.count()))) {
        return WebSocketServerError::startTimedOut();
    }
    if (attempt->error) {
        return *attempt->error;
    }
    if (!attempt->port) {
        return WebSocketServerError::startTimedOut();
    }
    return *attempt->port;
}

void WebSocketServer::updatePairingCode(const QString& code) {
    {
        std::scoped_lock lock(m_state->codeLock);
        m_state->advertisedPairingCode = code;
    }
    m_listenerQueue.post([weakState = std::weak_ptr<State>(m_state)] {
        if (const auto state = weakState.lock()) {
            state->advertise();
        }
    });
}

int WebSocketServer::broadcastLayoutChanged(const LayoutRecord& layout) {
    // Encoded once for all phones; the frame's bytes are shared by their send queues.
    const QByteArray frame = Session::layoutChangedFrame(layout);
    std::scoped_lock lock(m_state->sessionsLock);
    int authenticated = 0;
    for (const auto& [id, session] : m_state->sessions) {
        if (!session->isAuthenticated()) {
            continue;
        }
        ++authenticated;
        if (!frame.isEmpty()) {
            session->sendRaw(frame);
        }
    }
    return authenticated;
}

void WebSocketServer::stop() {
    m_listenerQueue.sync([state = m_state] {
        state->closeListener();
        state->registrar.reset();
    });
    std::map<std::uint64_t, std::shared_ptr<Session>> sessions;
    {
        std::scoped_lock lock(m_state->sessionsLock);
        sessions.swap(m_state->sessions);
    }
    m_connectionQueue.sync([&sessions] {
        for (const auto& [id, session] : sessions) {
            session->cancel();
        }
    });
}

void WebSocketServer::setOnLayoutUpdate(std::function<void(LayoutRecord)> callback) {
    std::scoped_lock lock(m_state->callbacksLock);
    m_state->onLayoutUpdate = std::move(callback);
}

void WebSocketServer::setOnAuthenticated(std::function<void()> callback) {
    std::scoped_lock lock(m_state->callbacksLock);
    m_state->onAuthenticated = std::move(callback);
}

std::optional<std::uint16_t> WebSocketServer::port() const {
    const int bound = m_state->port.load();
    if (bound < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(bound);
}

std::size_t WebSocketServer::sessionCount() const {
    std::scoped_lock lock(m_state->sessionsLock);
    return m_state->sessions.size();
}

} // namespace quorix
