#include "QuorixMacCore/Support/LoopbackHttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

namespace quorix::test {

namespace {

constexpr qint64 streamChunkBytes = 64 * 1024;
// Keeps the server from queueing an endless body in memory faster than a client reads.
constexpr qint64 maxQueuedBytes = 512 * 1024;
constexpr char bufferProperty[] = "loopbackRequestBuffer";
constexpr char streamedProperty[] = "loopbackStreamedBytes";

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 307:
        return "Temporary Redirect";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

QByteArray LoopbackHttpServer::Request::header(const QByteArray& name) const {
    const auto found = headers.find(name.toLower());
    return found == headers.end() ? QByteArray() : found->second;
}

LoopbackHttpServer::LoopbackHttpServer() {
    connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
}

LoopbackHttpServer::~LoopbackHttpServer() = default;

bool LoopbackHttpServer::listen() {
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl LoopbackHttpServer::url(const QString& pathAndQuery) const {
    return QUrl(origin() + pathAndQuery);
}

QString LoopbackHttpServer::origin() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

void LoopbackHttpServer::route(const QByteArray& target, Response response) {
    m_routes.insert_or_assign(target, std::move(response));
}

LoopbackHttpServer::Response LoopbackHttpServer::ok(QByteArray body, QByteArray contentType) {
    Response response;
    response.body = std::move(body);
    response.headers.emplace_back("Content-Type", std::move(contentType));
    return response;
}

LoopbackHttpServer::Response LoopbackHttpServer::redirect(int status, QByteArray location) {
    Response response;
    response.status = status;
    response.headers.emplace_back("Location", std::move(location));
    return response;
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

void LoopbackHttpServer::accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void LoopbackHttpServer::readRequest(QTcpSocket* socket) {
    QByteArray buffer = socket->property(bufferProperty).toByteArray() + socket->readAll();
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        socket->setProperty(bufferProperty, buffer);
        return;
    }
    // One request per connection: whatever follows is not read.
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);

    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    Request request;
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0) {
            request.headers.insert_or_assign(lines[i].left(colon).trimmed().toLower(),
                                             lines[i].mid(colon + 1).trimmed());
        }
    }
    m_requests.push_back(request);
    const QByteArray target = request.target;
    const auto found = m_routes.find(target);
    const std::chrono::milliseconds delay =
        found == m_routes.end() ? std::chrono::milliseconds(0) : found->second.delay;
    QTimer::singleShot(delay, socket, [this, socket, target] { respond(socket, target); });
}

void LoopbackHttpServer::respond(QTcpSocket* socket, const QByteArray& target) {
    Response response;
    if (const auto found = m_routes.find(target); found != m_routes.end()) {
        response = found->second;
    } else {
        response.status = 404;
        response.body = "not here";
    }

    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                      reasonPhrase(response.status) + "\r\n";
    for (const auto& [name, value] : response.headers) {
        head += name + ": " + value + "\r\n";
    }
    const qint64 bodyLength = response.streamedBytes.value_or(response.body.size());
    if (!response.undeclaredLength) {
        head +=
            "Content-Length: " + QByteArray::number(response.declaredLength.value_or(bodyLength)) +
            "\r\n";
    }
    head += "Connection: close\r\n\r\n";
    socket->write(head);

    if (response.streamedBytes) {
        const qint64 total = *response.streamedBytes;
        connect(socket, &QTcpSocket::bytesWritten, this,
                [this, socket, target, total] { streamMore(socket, target, total); });
        streamMore(socket, target, total);
        return;
    }
    if (response.dripInterval) {
        drip(socket, target, response.body, *response.dripInterval);
        return;
    }
    socket->write(response.body);
    m_bodyBytesSent[target] += response.body.size();
    socket->disconnectFromHost();
}

void LoopbackHttpServer::streamMore(QTcpSocket* socket, const QByteArray& target, qint64 total) {
    static const QByteArray chunk(streamChunkBytes, 'q');
    qint64 streamed = socket->property(streamedProperty).toLongLong();
    while (socket->state() == QAbstractSocket::ConnectedState &&
           socket->bytesToWrite() < maxQueuedBytes && streamed < total) {
        const qint64 size = std::min(streamChunkBytes, total - streamed);
        if (socket->write(chunk.constData(), size) != size) {
            socket->abort();
            return;
        }
        streamed += size;
        m_bodyBytesSent[target] += size;
    }
    socket->setProperty(streamedProperty, streamed);
    if (streamed >= total && socket->state() == QAbstractSocket::ConnectedState) {
        socket->disconnectFromHost();
    }
}

void LoopbackHttpServer::drip(QTcpSocket* socket, QByteArray target, QByteArray rest,
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
