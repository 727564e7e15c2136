#pragma once

#include <QFuture>
#include <QTest>

#include <chrono>
#include <optional>

namespace quorix::test {

/// Pumps the event loop until `future` finishes; nothing if it has not finished within
/// `limit` (generous: only a hang should ever reach it).
template <typename T>
std::optional<T> waitForResult(QFuture<T> future,
                               std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    if (!QTest::qWaitFor([&] { return future.isFinished(); }, static_cast<int>(limit.count()))) {
        return std::nullopt;
    }
    return future.result();
}

} // namespace quorix::test
