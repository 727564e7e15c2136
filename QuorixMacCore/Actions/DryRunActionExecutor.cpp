#include "QuorixMacCore/Actions/DryRunActionExecutor.h"

namespace quorix {

DryRunActionExecutor::DryRunActionExecutor(Observer onExecute)
    : m_onExecute(std::move(onExecute)) {}

QFuture<ExecuteOutcome> DryRunActionExecutor::execute(const ActionSpec& action) {
    {
        // Sessions of several phones may call at once; the lock keeps the list whole and
        // the observer's calls in order.
        std::scoped_lock lock(m_mutex);
        if (m_onExecute) {
            m_onExecute(action);
        } else {
            m_actions.push_back(action);
        }
    }
    return QtFuture::makeReadyFuture(ExecuteOutcome::succeeded());
}

std::vector<ActionSpec> DryRunActionExecutor::actions() const {
    std::scoped_lock lock(m_mutex);
    return m_actions;
}

} // namespace quorix
