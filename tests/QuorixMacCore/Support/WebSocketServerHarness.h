#pragma once

#include "QuorixMacCore/Actions/ActionExecuting.h"
#include "QuorixMacCore/Catalog/InstalledAppsScanner.h"
#include "QuorixMacCore/Pairing/PairingService.h"
#include "QuorixMacCore/Transport/SerialQueue.h"
#include "QuorixMacCore/Transport/WebSocketServer.h"

#include <QPromise>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quorix::testing {

/// Waits, pumping the caller's events, until `condition` holds or `timeout` passes.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

/// An executor whose actions finish when the test says so (or at once, when
/// `finishImmediately`), recording what it was given and on which thread.
class ControllableActionExecutor final : public ActionExecuting {
public:
    QFuture<ExecuteOutcome> execute(const ActionSpec& action) override;

    /// Finishes the oldest unfinished action with `outcome`; false when none waits.
    bool finishOldest(const ExecuteOutcome& outcome);
    std::size_t pendingCount() const;
    std::vector<ActionSpec> actions() const;

    std::atomic<bool> finishImmediately{true};
    ExecuteOutcome immediateOutcome = ExecuteOutcome::succeeded();

private:
    mutable std::mutex m_mutex;
    std::vector<ActionSpec> m_actions;
    std::deque<std::shared_ptr<QPromise<ExecuteOutcome>>> m_pending;
};

/// A server on a free loopback port with an in-memory token store, a controllable
/// executor and an empty application catalogue.
class WebSocketServerHarness {
public:
    static constexpr std::uint16_t anyPort = 0;

    explicit WebSocketServerHarness(WebSocketLimits limits = {});
    ~WebSocketServerHarness();

    /// Starts without advertising; the bound port.
    std::uint16_t start(bool advertise = false);
    /// A fresh code from the pairing service.
    std::string issueCode() { return pairingService->issueNewCode(); }

    std::shared_ptr<InMemoryPairingTokenStore> tokenStore;
    std::shared_ptr<PairingService> pairingService;
    std::shared_ptr<ControllableActionExecutor> executor;
    std::shared_ptr<InstalledAppsScanner> scanner;
    std::shared_ptr<SerialQueue> listenerQueue;
    std::shared_ptr<SerialQueue> connectionQueue;
    std::unique_ptr<WebSocketServer> server;

    std::mutex callbackMutex;
    std::vector<LayoutRecord> receivedLayouts;
    std::vector<QString> authenticatedOnThreads;
    std::vector<QString> layoutsOnThreads;
};

} // namespace quorix::testing
