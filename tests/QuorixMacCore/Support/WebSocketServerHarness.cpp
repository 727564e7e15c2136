#include "QuorixMacCore/Support/WebSocketServerHarness.h"

#include "QuorixMacCore/Platform/Linux/DesktopEntryApplications.h"

#include <QCoreApplication>
#include <QThread>

namespace quorix::testing {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

QFuture<ExecuteOutcome> ControllableActionExecutor::execute(const ActionSpec& action) {
    std::scoped_lock lock(m_mutex);
    m_actions.push_back(action);
    if (finishImmediately) {
        return QtFuture::makeReadyFuture(immediateOutcome);
    }
    auto promise = std::make_shared<QPromise<ExecuteOutcome>>();
    promise->start();
    QFuture<ExecuteOutcome> future = promise->future();
    m_pending.push_back(std::move(promise));
    return future;
}

bool ControllableActionExecutor::finishOldest(const ExecuteOutcome& outcome) {
    std::shared_ptr<QPromise<ExecuteOutcome>> promise;
    {
        std::scoped_lock lock(m_mutex);
        if (m_pending.empty()) {
            return false;
        }
        promise = std::move(m_pending.front());
        m_pending.pop_front();
    }
    promise->addResult(outcome);
    promise->finish();
    return true;
}

std::size_t ControllableActionExecutor::pendingCount() const {
    std::scoped_lock lock(m_mutex);
    return m_pending.size();
}

std::vector<ActionSpec> ControllableActionExecutor::actions() const {
    std::scoped_lock lock(m_mutex);
    return m_actions;
}

WebSocketServerHarness::WebSocketServerHarness(WebSocketLimits limits)
    : tokenStore(std::make_shared<InMemoryPairingTokenStore>())
    , pairingService(std::make_shared<PairingService>(PairingConfiguration::standard, tokenStore))
    , executor(std::make_shared<ControllableActionExecutor>())
    , scanner(std::make_shared<InstalledAppsScanner>(
          std::make_shared<DesktopEntryApplications>(DesktopEntryApplications::Configuration{})))
    , listenerQueue(std::make_shared<SerialQueue>(WebSocketServer::listenerQueueLabel))
    , connectionQueue(std::make_shared<SerialQueue>(WebSocketServer::connectionQueueLabel)) {
    WebSocketServer::Options options;
    options.limits = limits;
    server = std::make_unique<WebSocketServer>(
        QStringLiteral("Test Desk"), pairingService, executor, scanner,
        TransportSecurityMode::plaintextForLocalTesting, std::nullopt, QString(), listenerQueue,
        connectionQueue, options);
    server->setOnAuthenticated([this] {
        std::scoped_lock lock(callbackMutex);
        authenticatedOnThreads.push_back(QThread::currentThread()->objectName());
    });
    server->setOnLayoutUpdate([this](const LayoutRecord& layout) {
        std::scoped_lock lock(callbackMutex);
        receivedLayouts.push_back(layout);
        layoutsOnThreads.push_back(QThread::currentThread()->objectName());
    });
}

WebSocketServerHarness::~WebSocketServerHarness() {
    server.reset();
    connectionQueue->stop();
    listenerQueue->stop();
}

std::uint16_t WebSocketServerHarness::start(bool advertise) {
    const auto started = server->start(anyPort, advertise);
    return started ? *started : 0;
}

} // namespace quorix::testing
