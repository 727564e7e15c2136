#include "QuorixMacCore/Support/Waiting.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace quorix::testing {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const QDeadlineTimer deadline(limit);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        // The condition may depend on other threads only; do not spin against them.
        QThread::msleep(2);
    }
    return true;
}

void drainEvents() {
    // Queued behind everything posted so far: once it has run, so has all that.
    bool reached = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&reached] { reached = true; }, Qt::QueuedConnection);
    while (!reached) {
        QCoreApplication::processEvents();
    }
}

} // namespace quorix::testing
