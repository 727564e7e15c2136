#pragma once

#include "QuorixMacCore/Actions/ActionExecuting.h"

#include <functional>
#include <mutex>
#include <vector>

namespace quorix {

/// Carries out nothing: records every action it is asked to execute, or hands it to an
/// observer, and reports success. For running the receiver where no action must reach the
/// desktop.
class DryRunActionExecutor final : public ActionExecuting {
public:
    /// Told of each action in call order, instead of recording it: a receiver that runs for
    /// days must not hold every press it was sent. It must not call back into the executor.
    using Observer = std::function<void(const ActionSpec&)>;

    explicit DryRunActionExecutor(Observer onExecute = {});

    QFuture<ExecuteOutcome> execute(const ActionSpec& action) override;

    /// Every action executed so far, in call order; empty with an observer.
    std::vector<ActionSpec> actions() const;

private:
    mutable std::mutex m_mutex;
    std::vector<ActionSpec> m_actions;
    Observer m_onExecute;
};

} // namespace quorix
