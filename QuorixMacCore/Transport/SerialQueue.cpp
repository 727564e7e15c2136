#include "QuorixMacCore/Transport/SerialQueue.h"

#include <QSemaphore>
#include <QThread>

#include <mutex>

namespace quorix {

// Shared with the handles, which hold it weakly: a handle that outlives the queue finds
// no core, or one that refuses work.
struct SerialQueue::Core {
    QThread thread;
    QObject* context = nullptr;

    // Held while posting, so that nothing is posted behind the queue's last item.
    std::mutex mutex;
    bool running = true;
};

bool SerialQueue::Handle::post(std::function<void()> work) const {
    const std::shared_ptr<Core> core = m_core.lock();
    if (!core) {
        return false;
    }
    std::scoped_lock lock(core->mutex);
    if (!core->running) {
        return false;
    }
    QMetaObject::invokeMethod(core->context, std::move(work), Qt::QueuedConnection);
    return true;
}

bool SerialQueue::Handle::isCurrent() const {
    const std::shared_ptr<Core> core = m_core.lock();
    return core && QThread::currentThread() == &core->thread;
}

QObject* SerialQueue::Handle::context() const {
    Q_ASSERT(isCurrent());
    // On the queue the context is alive: it is deleted only after the thread has ended.
    const std::shared_ptr<Core> core = m_core.lock();
    return core ? core->context : nullptr;
}

SerialQueue::SerialQueue(const QString& label)
    : m_core(std::make_shared<Core>()) {
    m_core->thread.setObjectName(label);
    m_core->context = new QObject;
    m_core->context->setObjectName(label);
    m_core->context->moveToThread(&m_core->thread);
    m_core->thread.start();
}

SerialQueue::~SerialQueue() {
    // Waiting for its own thread would never end. No work on the queue can reach its owner,
    // so only an owner that hands itself to that work gets here.
    if (isCurrent()) {
        qFatal("The serial queue %s was destroyed by its own work", qPrintable(label()));
    }
    {
        std::scoped_lock lock(m_core->mutex);
        m_core->running = false;
        // The last item: the work posted before it runs first, and nothing can be posted
        // after it.
        QMetaObject::invokeMethod(
            m_core->context,
            [core = m_core.get()] {
                // Children are sockets and timers; they must go on the thread that owns them.
                const QObjectList children = core->context->children();
                qDeleteAll(children);
                core->thread.quit();
            },
            Qt::QueuedConnection);
    }
    m_core->thread.wait();
    delete m_core->context;
    m_core->context = nullptr;
}

QString SerialQueue::label() const {
    return m_core->thread.objectName();
}

QObject* SerialQueue::context() const {
    return m_core->context;
}

void SerialQueue::sync(const std::function<void()>& work) {
    if (isCurrent()) {
        work();
        return;
    }
    // An item the queue accepted runs before its last one, so this never waits for a
    // queue that is ending. Shared, because the queue may still be releasing it when the
    // wait here is over.
    const auto done = std::make_shared<QSemaphore>();
    if (!post([&work, done] {
            work();
            done->release();
        })) {
        return;
    }
    done->acquire();
}

} // namespace quorix
