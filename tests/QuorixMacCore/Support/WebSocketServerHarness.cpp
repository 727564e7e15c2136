#include "QuorixMacCore/Support/WebSocketServerHarness.h"

#include "QuorixMacCore/Platform/Linux/DesktopEntryApplications.h"

#include <QSemaphore>
#include <QThread>

#include <utility>

namespace quorix::testing {

LayoutRecord layoutNamed(const std::string& pageName) {
    return {.id = UUID::random(),
            .pages = {{.id = UUID::random(), .name = pageName}},
            .updatedAt = Date(std::chrono::seconds(1'700'000'000))};
}

std::vector<TXTRecordEntry>
txtRecord(std::initializer_list<std::pair<const char*, QStringView>> keys) {
    std::vector<TXTRecordEntry> entries;
    for (const auto& [key, value] : keys) {
        entries.push_back({QString::fromUtf8(key), value.toString()});
    }
    return entries;
}

void drain(const SerialQueue::Handle& queue) {
    const auto done = std::make_shared<QSemaphore>();
    ASSERT_TRUE(queue.post([done] { done->release(); }));
    ASSERT_TRUE(done->tryAcquire(1, int(hangLimit.count())));
}

QFuture<ExecuteOutcome> ControllableActionExecutor::execute(const ActionSpec& action) {
    std::scoped_lock lock(m_mutex);
    m_actions.push_back(action);
    if (finishImmediately) {
        return QtFuture::makeReadyFuture(ExecuteOutcome::succeeded());
    }
    auto promise = std::make_shared<QPromise<ExecuteOutcome>>();
    promise->start();
    m_pending.push_back(promise);
    return promise->future();
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

std::optional<ServiceRegistrationError>
RecordingRegistrar::registerService(const ServiceRegistration& registration) {
    std::scoped_lock lock(m_log->mutex);
    m_log->registrations.push_back(registration);
    m_log->threads.append(QThread::currentThread()->objectName());
    m_registered = !m_log->refusal;
    return m_log->refusal;
}

void RecordingRegistrar::unregister() {
    std::scoped_lock lock(m_log->mutex);
    m_log->unregistrations += m_registered ? 1 : 0;
    m_registered = false;
}

namespace {

std::mutex capturedMutex;
QStringList captured;

} // namespace

QStringList warningsDuring(const std::function<void()>& work) {
    {
        std::scoped_lock lock(capturedMutex);
        captured.clear();
    }
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtWarningMsg) {
                std::scoped_lock lock(capturedMutex);
                captured.append(text);
            }
        });
    work();
    qInstallMessageHandler(previous);
    std::scoped_lock lock(capturedMutex);
    return captured;
}

WebSocketServerHarness::WebSocketServerHarness(Setup setup)
    : tokenStore(std::make_shared<InMemoryPairingTokenStore>())
    , pairingService(std::make_shared<PairingService>(PairingConfiguration::standard, tokenStore))
    , executor(std::make_shared<ControllableActionExecutor>())
    , registrarLog(std::make_shared<RegistrarLog>()) {
    WebSocketServer::Options options;
    options.limits = setup.limits;
    options.decodingPool = setup.decodingPool;
    options.returnFreedMemory = std::move(setup.returnFreedMemory);
    options.makeServiceRegistrar = [log = registrarLog] {
        return std::make_unique<RecordingRegistrar>(log);
    };
    server = std::make_unique<WebSocketServer>(
        setup.deviceName, pairingService, executor,
        std::make_shared<InstalledAppsScanner>(
            std::make_shared<DesktopEntryApplications>(DesktopEntryApplications::Configuration{})),
        setup.securityMode, std::move(setup.identity), QString(), options);
    server->setOnAuthenticated([this] {
        std::scoped_lock lock(m_mutex);
        m_callbackThreads.append(QThread::currentThread()->objectName());
    });
    server->setOnLayoutUpdate([this](LayoutRecord layout) {
        std::scoped_lock lock(m_mutex);
        m_receivedLayouts.push_back(std::move(layout));
        m_callbackThreads.append(QThread::currentThread()->objectName());
    });
}

std::uint16_t WebSocketServerHarness::start(bool advertise) {
    const auto started = server->start(0, advertise);
    return started ? *started : 0;
}

bool WebSocketServerHarness::pair(WebSocketTestClient& phone) {
    return phone.open(server->port().value_or(0)) && phone.pair(issueCode());
}

std::vector<LayoutRecord> WebSocketServerHarness::takeReceivedLayouts() {
    std::scoped_lock lock(m_mutex);
    return std::exchange(m_receivedLayouts, {});
}

QStringList WebSocketServerHarness::callbackThreads() {
    std::scoped_lock lock(m_mutex);
    return m_callbackThreads;
}

void StartedServerTest::SetUp() {
    port = harness.start();
    ASSERT_NE(port, 0);
    ASSERT_TRUE(harness.pair(phone));
}

void expectServed(WebSocketTestClient& phone) {
    const UUID buttonId = UUID::random();
    EXPECT_EQ(
        phone.exchange(
            {QuorixClientMessage::Execute{buttonId, ActionSpec::launchApp("org.example.term")}}),
        (QuorixServerMessage{QuorixServerMessage::ExecuteResult{buttonId, true, std::nullopt}}));
}

} // namespace quorix::testing
