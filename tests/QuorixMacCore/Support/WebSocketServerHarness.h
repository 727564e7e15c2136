#pragma once

#include "QuorixMacCore/Actions/ActionExecuting.h"
#include "QuorixMacCore/Catalog/InstalledAppsScanner.h"
#include "QuorixMacCore/Pairing/PairingService.h"
#include "QuorixMacCore/Platform/ServiceRegistrar.h"
#include "QuorixMacCore/Support/Waiting.h"
#include "QuorixMacCore/Support/WebSocketTestClient.h"
#include "QuorixMacCore/Transport/WebSocketServer.h"

#include <QPromise>
#include <QStringList>

#include <deque>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quorix::testing {

/// A layout of one page with that name.
LayoutRecord layoutNamed(const std::string& pageName);

/// TXT record entries from keys and values.
std::vector<TXTRecordEntry>
txtRecord(std::initializer_list<std::pair<const char*, QStringView>> keys);

/// Waits until the work posted to `queue` so far has run.
void drain(const SerialQueue::Handle& queue);

/// An executor whose actions finish when the test says so (or at once, when
/// `finishImmediately`), recording what it was given.
class ControllableActionExecutor final : public ActionExecuting {
public:
    QFuture<ExecuteOutcome> execute(const ActionSpec& action) override;

    /// Finishes the oldest unfinished action with `outcome`; false when none waits.
    bool finishOldest(const ExecuteOutcome& outcome);
    std::size_t pendingCount() const;
    std::vector<ActionSpec> actions() const;

    std::atomic<bool> finishImmediately{true};

private:
    mutable std::mutex m_mutex;
    std::vector<ActionSpec> m_actions;
    std::deque<std::shared_ptr<QPromise<ExecuteOutcome>>> m_pending;
};

/// What recording registrars were asked to do; shared with the registrars, which the
/// server makes on its own thread.
struct RegistrarLog {
    std::mutex mutex;
    std::vector<ServiceRegistration> registrations;
    /// The thread of each registration.
    QStringList threads;
    int unregistrations = 0;
    /// What every registration fails with, if set.
    std::optional<ServiceRegistrationError> refusal;
};

/// Announces nothing and records everything in its log.
class RecordingRegistrar final : public ServiceRegistrar {
public:
    explicit RecordingRegistrar(std::shared_ptr<RegistrarLog> log)
        : m_log(std::move(log)) {}

    std::optional<ServiceRegistrationError>
    registerService(const ServiceRegistration& registration) override;
    void unregister() override;
    bool isRegistered() const override { return m_registered; }

private:
    const std::shared_ptr<RegistrarLog> m_log;
    bool m_registered = false;
};

/// The warnings logged from any thread while `work` ran.
QStringList warningsDuring(const std::function<void()>& work);

/// What a harness's server is made with.
struct WebSocketServerSetup {
    WebSocketLimits limits;
    TransportSecurityMode securityMode = TransportSecurityMode::plaintextForLocalTesting;
    std::optional<TLSIdentityBundle> identity;
    QString deviceName = QStringLiteral("Test Desk");
    /// Where large messages are decoded; the server's own pool when null.
    QThreadPool* decodingPool = nullptr;
    /// Gives freed memory back; the platform's when empty.
    std::function<void()> returnFreedMemory;
};

/// A server on a free port with an in-memory token store, a controllable executor, an
/// empty application catalogue and a recording registrar, recording its callbacks.
class WebSocketServerHarness {
public:
    using Setup = WebSocketServerSetup;

    explicit WebSocketServerHarness(Setup setup = {});
    /// Ends the server first: its callbacks record into the harness.
    ~WebSocketServerHarness() { server.reset(); }
    WebSocketServerHarness(const WebSocketServerHarness&) = delete;
    WebSocketServerHarness& operator=(const WebSocketServerHarness&) = delete;

    /// Starts on any free port; the port, or 0 when the start failed.
    std::uint16_t start(bool advertise = false);
    std::string issueCode() { return pairingService->issueNewCode(); }
    /// Opens `phone` on the started server and pairs it with a fresh code.
    bool pair(WebSocketTestClient& phone);
    /// What the callbacks were given since the last call, and on which threads they ran.
    std::vector<LayoutRecord> takeReceivedLayouts();
    QStringList callbackThreads();

    std::shared_ptr<InMemoryPairingTokenStore> tokenStore;
    std::shared_ptr<PairingService> pairingService;
    std::shared_ptr<ControllableActionExecutor> executor;
    std::shared_ptr<RegistrarLog> registrarLog;
    std::unique_ptr<WebSocketServer> server;

private:
    std::mutex m_mutex;
    std::vector<LayoutRecord> m_receivedLayouts;
    QStringList m_callbackThreads;
};

/// Whether `phone` still gets its answers: an `execute` is answered as having run.
void expectServed(WebSocketTestClient& phone);

/// A started server with a paired phone, under limits small enough to reach in a test.
class StartedServerTest : public ::testing::Test {
protected:
    static constexpr WebSocketLimits limits{.maxHandshakeBytes = 1024,
                                            .handshakeTimeout = std::chrono::seconds(2),
                                            .maxMessageBytes = 256 * 1024,
                                            .maxConnections = 4};

    void SetUp() override;
    /// Whether the phone paired at the start still gets its answers.
    void expectPhoneStillServed() { expectServed(phone); }

    WebSocketServerHarness harness{{.limits = limits}};
    std::uint16_t port = 0;
    WebSocketTestClient phone;
};

} // namespace quorix::testing
