#pragma once

#include "QuorixMacCore/Actions/ExecuteOutcome.h"
#include "QuorixProtocol/Models.h"

#include <QFuture>

namespace quorix {

/// Carries out button actions.
class ActionExecuting {
public:
    virtual ~ActionExecuting() = default;

    /// Starts the action and returns at once; the future gives its outcome. Never fails:
    /// every error becomes an outcome. Any thread may call, and executions may overlap.
    virtual QFuture<ExecuteOutcome> execute(const ActionSpec& action) = 0;
};

} // namespace quorix
