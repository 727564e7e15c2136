#pragma once

#include "QuorixMacCore/Actions/ActionExecuting.h"

#include <functional>
#include <mutex>
#include <vector>

namespace quorix {

/// Carries out nothing: records every action it is asked to execute and reports success.
/// For running the receiver where no action must reach the desktop.
class DryRunActionExecutor final : public ActionExecuting {
public:
    /// Told of each action as it is recorded, in the recorded order; it must not call back
    /// into the executor.
    using Observer = std::function<void(const ActionSpec&)>;

    explicit DryRunActionExecutor(Observer onExecute = {});

    QFuture<ExecuteOutcome> execute(const ActionSpec& action) override;

    /// Every action executed so far, in call order.
    std::vector<ActionSpec> actions() const;

private:
    mutable std::mutex m_mutex;
    std::vector<ActionSpec> m_actions;
    Observer m_onExecute;
};

} // namespace quorix
