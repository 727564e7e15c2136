#pragma once

#include <QFuture>

#include <chrono>
#include <functional>
#include <optional>

namespace quorix::testing {

/// How long any wait of the tests may take before it counts as a hang; generous, since only
/// a hang should ever reach it.
inline constexpr std::chrono::milliseconds hangLimit{30'000};

/// Runs the calling thread's events until `condition` holds; false when `limit` passes
/// first.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = hangLimit);

/// Runs every event posted to the calling thread before this call. What another thread
/// posted before it reached a point the test has seen has run when this returns, so a
/// check that nothing changed needs no fixed wait.
void drainEvents();

/// The future's result, running events until it is there; nothing if `limit` passes first.
template <typename T>
std::optional<T> waitForResult(QFuture<T> future, std::chrono::milliseconds limit = hangLimit) {
    if (!waitUntil([&] { return future.isFinished(); }, limit)) {
        return std::nullopt;
    }
    return future.result();
}

} // namespace quorix::testing
