#include "QuorixMacCore/Transport/SerialQueue.h"

#include <QThread>

namespace quorix {

SerialQueue::SerialQueue(const QString& label)
    : m_label(label)
    , m_thread(std::make_unique<QThread>()) {
    m_thread->setObjectName(label);
    m_context = new QObject;
    m_context->setObjectName(label);
    m_context->moveToThread(m_thread.get());
    m_thread->start();
    m_running = true;
}

SerialQueue::~SerialQueue() {
    stop();
}

bool SerialQueue::isCurrent() const {
    return QThread::currentThread() == m_thread.get();
}

void SerialQueue::post(std::function<void()> work) {
    std::scoped_lock lock(m_mutex);
    if (!m_running) {
        return;
    }
    QMetaObject::invokeMethod(m_context, std::move(work), Qt::QueuedConnection);
}

void SerialQueue::sync(const std::function<void()>& work) {
    if (isCurrent()) {
        work();
        return;
    }
    {
        std::scoped_lock lock(m_mutex);
        if (!m_running) {
            return;
        }
    }
    QMetaObject::invokeMethod(m_context, work, Qt::BlockingQueuedConnection);
}

void SerialQueue::stop() {
    if (!m_thread) {
        return;
    }
    sync([this] {
        // Children are sockets and timers; they must go on the thread that owns them.
        const QObjectList children = m_context->children();
        qDeleteAll(children);
    });
    {
        std::scoped_lock lock(m_mutex);
        if (!m_running) {
            return;
        }
        m_running = false;
    }
    m_thread->quit();
    m_thread->wait();
    delete m_context;
    m_context = nullptr;
}

} // namespace quorix
