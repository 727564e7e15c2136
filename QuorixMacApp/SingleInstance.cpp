#include "QuorixMacApp/SingleInstance.h"

#include "QuorixMacCore/Platform/PrivateFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace quorix {

namespace {

constexpr QLatin1StringView lockName{"kestrane.lock"};
constexpr QLatin1StringView socketName{"kestrane.socket"};
// The whole conversation: a request line and its answer.
constexpr QByteArrayView reopenRequest{"reopen\n"};
constexpr QByteArrayView reopenAnswer{"ok\n"};
// A request longer than this is no request of ours.
constexpr qint64 maxRequestBytes = 64;
// Between tries to reach a running program that has not started listening yet.
constexpr std::chrono::milliseconds retryInterval{100};

} // namespace

QString SingleInstance::defaultDirectory() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) {
        return runtime;
    }
    return QDir::temp().filePath(QStringLiteral("kestrane-%1").arg(::getuid()));
}

SingleInstance::SingleInstance(QString directory, QObject* parent)
    : QObject(parent)
    , m_directory(std::move(directory))
    , m_lock(QDir(m_directory).filePath(lockName)) {
    // Staleness is told by the holder's process alone, never by the lock's age: the
    // program runs for weeks.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
    delete m_server;
}

QString SingleInstance::socketPath() const {
    return QDir(m_directory).filePath(socketName);
}

SingleInstance::Outcome SingleInstance::claim(std::chrono::milliseconds timeout) {
    m_failure.clear();
    // A folder under the shared temporary folder may have been made by someone else to
    // catch the socket.
    if (!PrivateFiles::makeDirectory(m_directory) ||
        QFileInfo(m_directory).ownerId() != ::getuid()) {
        m_failure = QStringLiteral("cannot make a private folder %1").arg(m_directory);
        return Outcome::failed;
    }
    if (m_lock.tryLock(0)) {
        return listen() ? Outcome::primary : Outcome::failed;
    }
    if (m_lock.error() != QLockFile::LockFailedError) {
        m_failure = QStringLiteral("cannot make the lock in %1").arg(m_directory);
        return Outcome::failed;
    }
    return askRunning(timeout);
}

bool SingleInstance::listen() {
    // Holding the lock means whoever made a socket here is gone: it is stale.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer;
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath())) {
        m_failure = m_server->errorString();
        delete m_server;
        m_server = nullptr;
        m_lock.unlock();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > maxRequestBytes) {
                        socket->abort();
                    }
                    return;
                }
                const QByteArray line = socket->readLine(maxRequestBytes);
                if (line == reopenRequest) {
                    socket->write(reopenAnswer.toByteArray());
                    socket->flush();
                    Q_EMIT reopenRequested();
                }
                socket->disconnectFromServer();
            });
        }
    });
    return true;
}

SingleInstance::Outcome SingleInstance::askRunning(std::chrono::milliseconds timeout) {
    QElapsedTimer elapsed;
    elapsed.start();
    const auto left = [&] { return std::max<qint64>(0, timeout.count() - elapsed.elapsed()); };
    // The running program may be between taking the lock and listening.
    while (true) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(static_cast<int>(left()))) {
            socket.write(reopenRequest.toByteArray());
            socket.flush();
            while (!socket.canReadLine() && left() > 0 &&
                   socket.waitForReadyRead(static_cast<int>(left()))) {
            }
            if (socket.readLine(maxRequestBytes) == reopenAnswer) {
                return Outcome::reopenedRunning;
            }
        }
        if (left() <= retryInterval.count()) {
            m_failure =
                QStringLiteral("the running program did not answer on %1").arg(socketPath());
            return Outcome::runningButSilent;
        }
        QThread::msleep(static_cast<unsigned long>(retryInterval.count()));
    }
}

} // namespace quorix
