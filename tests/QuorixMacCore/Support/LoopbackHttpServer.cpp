#include "QuorixMacCore/Support/LoopbackHttpServer.h"

#include <QTcpSocket>
#include <QTimer>

namespace quorix::test {

namespace {
constexpr qint64 streamChunkBytes = 64 * 1024;
// Keeps an endless body from piling up in memory faster than the client reads it.
constexpr qint64 maxQueuedBytes = 512 * 1024;
constexpr char bufferProperty[] = "loopbackRequestBuffer";
constexpr char streamedProperty[] = "loopbackStreamedBytes";
} // namespace

QByteArray LoopbackHttpServer::Request::header(const QByteArray& name) const {
    const auto found = headers.find(name.toLower());
    return found == headers.end() ? QByteArray() : found->second;
}

LoopbackHttpServer::LoopbackHttpServer() {
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QUrl LoopbackHttpServer::url(const QString& pathAndQuery) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port()) + pathAndQuery);
}

void LoopbackHttpServer::route(const QByteArray& target, Response response) {
    m_routes.insert_or_assign(target, std::move(response));
}

LoopbackHttpServer::Response LoopbackHttpServer::ok(QByteArray body, QByteArray contentType) {
    return Response{200, {{"Content-Type", std::move(contentType)}}, std::move(body)};
}

LoopbackHttpServer::Response LoopbackHttpServer::redirect(int status, QByteArray location) {
    return Response{status, {{"Location", std::move(location)}}};
}

std::vector<QByteArray> LoopbackHttpServer::requestedTargets() const {
    std::vector<QByteArray> targets;
    for (const Request& request : m_requests) {
        targets.push_back(request.target);
    }
    return targets;
}

qint64 LoopbackHttpServer::bodyBytesSent(const QByteArray& target) const {
    const auto found = m_bodyBytesSent.find(target);
    return found == m_bodyBytesSent.end() ? 0 : found->second;
}

void LoopbackHttpServer::readRequest(QTcpSocket* socket) {
    const QByteArray buffer = socket->property(bufferProperty).toByteArray() + socket->readAll();
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        socket->setProperty(bufferProperty, buffer);
        return;
    }
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    Request request{lines.value(0).trimmed().split(' ').value(1), {}};
    for (const QByteArray& line : lines.mid(1)) {
        if (const qsizetype colon = line.indexOf(':'); colon > 0) {
            request.headers[line.left(colon).trimmed().toLower()] = line.mid(colon + 1).trimmed();
        }
    }
    m_requests.push_back(request);
    const auto route = m_routes.find(request.target);
    const auto delay = route == m_routes.end() ? std::chrono::milliseconds(0) : route->second.delay;
    QTimer::singleShot(delay, socket,
                       [this, socket, target = request.target] { respond(socket, target); });
}

void LoopbackHttpServer::respond(QTcpSocket* socket, const QByteArray& target) {
    const auto route = m_routes.find(target);
    const Response response =
        route != m_routes.end() ? route->second : Response{404, {}, "missing"};
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Canned\r\n";
    for (const auto& [name, value] : response.headers) {
        head += name + ": " + value + "\r\n";
    }
    if (!response.undeclaredLength) {
        head += "Content-Length: " +
                QByteArray::number(response.streamedBytes.value_or(response.body.size())) + "\r\n";
    }
    socket->write(head + "Connection: close\r\n\r\n");

    if (const std::optional<qint64> total = response.streamedBytes) {
        connect(socket, &QTcpSocket::bytesWritten, this,
                [this, socket, target, total] { streamMore(socket, target, *total); });
        streamMore(socket, target, *total);
    } else if (response.dripInterval) {
        drip(socket, target, response.body, *response.dripInterval);
    } else {
        socket->write(response.body);
        m_bodyBytesSent[target] += response.body.size();
        socket->disconnectFromHost();
    }
}

void LoopbackHttpServer::streamMore(QTcpSocket* socket, const QByteArray& target, qint64 total) {
    static const QByteArray chunk(streamChunkBytes, 'q');
    qint64 streamed = socket->property(streamedProperty).toLongLong();
    while (socket->state() == QAbstractSocket::ConnectedState &&
           socket->bytesToWrite() < maxQueuedBytes && streamed < total) {
        const qint64 size = std::min(streamChunkBytes, total - streamed);
        socket->write(chunk.constData(), size);
        streamed += size;
        m_bodyBytesSent[target] += size;
    }
    socket->setProperty(streamedProperty, streamed);
    if (streamed >= total && socket->state() == QAbstractSocket::ConnectedState) {
        socket->disconnectFromHost();
    }
}

void LoopbackHttpServer::drip(QTcpSocket* socket, const QByteArray& target, QByteArray rest,
                              std::chrono::milliseconds interval) {
    if (socket->state() != QAbstractSocket::ConnectedState) {
        return;
    }
    if (rest.isEmpty()) {
        socket->disconnectFromHost();
        return;
    }
    socket->write(rest.left(1));
    m_bodyBytesSent[target] += 1;
    QTimer::singleShot(interval, socket, [this, socket, target, rest = rest.mid(1), interval] {
        drip(socket, target, rest, interval);
    });
}

} // namespace quorix::test
