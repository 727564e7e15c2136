#pragma once

#include "QuorixMacCore/Actions/ExecError.h"

#include <optional>
#include <string>

namespace quorix {

/// The result of one action as reported to the phone.
struct ExecuteOutcome {
    bool success = false;
    /// The error's description when `success` is false.
    std::optional<std::string> error;

    static ExecuteOutcome succeeded() { return {true, std::nullopt}; }
    static ExecuteOutcome failed(const ExecError& error) { return {false, error.description()}; }

    bool operator==(const ExecuteOutcome&) const = default;
};

} // namespace quorix
