#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace quorix {

/// A thread with its own event loop that runs posted work one item at a time, in the
/// order posted. The thread's object name is the queue's label, so it shows in debuggers
/// and thread listings.
///
/// The queue has one owner, which ends it by destroying it. Everything else, the work
/// running on the queue included, reaches it through a `Handle`, which can post but not
/// end it and does nothing once the queue has ended. Since no work on the queue can reach
/// its owner, the queue cannot be ended from its own thread.
class SerialQueue {
    struct Core;

public:
    /// A non-owning reference to a queue; cheap to copy, usable from any thread.
    class Handle {
    public:
        Handle() = default;

        /// Runs `work` on the queue later; false, and `work` dropped, once the queue has
        /// begun to end.
        bool post(std::function<void()> work) const;
        /// Whether the caller runs on the queue's thread.
        bool isCurrent() const;
        /// The object living on the queue's thread; objects parented to it are deleted on
        /// that thread when the queue ends. Only to be called on the queue itself.
        QObject* context() const;

    private:
        friend class SerialQueue;
        explicit Handle(std::weak_ptr<Core> core)
            : m_core(std::move(core)) {}

        std::weak_ptr<Core> m_core;
    };

    /// Starts the thread at once.
    explicit SerialQueue(const QString& label);
    /// Runs the work posted before, deletes the context's children on the queue and ends
    /// the thread, waiting for it.
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    QString label() const;
    Handle handle() const { return Handle(m_core); }
    bool post(std::function<void()> work) const { return handle().post(std::move(work)); }
    bool isCurrent() const { return handle().isCurrent(); }
    /// The object living on the queue's thread (see `Handle::context`); alive as long as
    /// the queue.
    QObject* context() const;

    /// Runs `work` on the queue and waits for it; runs it at once when called on the
    /// queue itself.
    void sync(const std::function<void()>& work);

private:
    const std::shared_ptr<Core> m_core;
};

} // namespace quorix
