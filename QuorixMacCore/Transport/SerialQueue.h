#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>

class QThread;

namespace quorix {

/// A thread with its own event loop that runs posted work one item at a time, in the
/// order posted. The thread's object name is the queue's label, so it shows in debuggers
/// and thread listings.
class SerialQueue {
public:
    /// Starts the thread at once.
    explicit SerialQueue(const QString& label);
    /// Stops the thread (see `stop`).
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    QString label() const { return m_label; }
    QThread* thread() const { return m_thread.get(); }
    /// An object living on the queue's thread; parent objects that must die with the
    /// queue to it, and they are deleted on the queue's thread when it stops.
    QObject* context() const { return m_context; }

    /// Whether the caller runs on the queue's thread.
    bool isCurrent() const;

    /// Runs `work` on the queue later. Work posted after `stop` is dropped.
    void post(std::function<void()> work);

    /// Runs `work` on the queue and waits for it; runs it at once when called on the
    /// queue itself. Does nothing after `stop`.
    void sync(const std::function<void()>& work);

    /// Deletes the context's children on the queue, ends the thread and waits for it.
    /// Idempotent; must not be called on the queue itself.
    void stop();

private:
    const QString m_label;
    std::unique_ptr<QThread> m_thread;
    QObject* m_context = nullptr;

    // Guards `m_running` so that nothing is posted to a context being deleted.
    mutable std::mutex m_mutex;
    bool m_running = false;
};

} // namespace quorix
