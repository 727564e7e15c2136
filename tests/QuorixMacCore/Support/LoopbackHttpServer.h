#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QUrl>

#include <chrono>
#include <map>
#include <optional>
#include <utility>
#include <vector>

class QTcpSocket;

namespace quorix::test {

/// A small HTTP/1.1 server on 127.0.0.1 for tests: canned responses by path, one request
/// per connection, every request recorded. Runs on the thread that created it; pump
/// that thread's event loop while a client talks to it.
class LoopbackHttpServer : public QObject {
public:
    struct Response {
        int status = 200;
        std::vector<std::pair<QByteArray, QByteArray>> headers;
        QByteArray body;
        /// Nothing is sent before this much time has passed.
        std::chrono::milliseconds delay{0};
        /// Announced instead of the body's own length.
        std::optional<qint64> declaredLength;
        /// Sends no Content-Length at all; the body ends with the connection.
        bool undeclaredLength = false;
        /// Instead of `body`: this many filler bytes, sent as fast as the client reads.
        std::optional<qint64> streamedBytes;
        /// Sends the body one byte at a time with this pause in between.
        std::optional<std::chrono::milliseconds> dripInterval;
    };

    struct Request {
        QByteArray method;
        /// The request target as sent, query included.
        QByteArray target;
        /// Header names in lower case.
        std::map<QByteArray, QByteArray> headers;

        QByteArray header(const QByteArray& name) const;
    };

    LoopbackHttpServer();
    ~LoopbackHttpServer() override;

    /// Starts listening on an ephemeral port of 127.0.0.1; false when that fails.
    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    /// "http://127.0.0.1:<port>" followed by `pathAndQuery`.
    QUrl url(const QString& pathAndQuery) const;
    QString origin() const;

    /// Serves `response` for requests whose target equals `target`. Unknown targets get
    /// 404 with a short body.
    void route(const QByteArray& target, Response response);

    static Response ok(QByteArray body, QByteArray contentType);
    static Response redirect(int status, QByteArray location);

    const std::vector<Request>& requests() const { return m_requests; }
    std::vector<QByteArray> requestedTargets() const;
    /// Body bytes sent for `target` so far, over all requests.
    qint64 bodyBytesSent(const QByteArray& target) const;
    void clearRequests() { m_requests.clear(); }

private:
    void accept();
    void readRequest(QTcpSocket* socket);
    void respond(QTcpSocket* socket, const QByteArray& target);
    void streamMore(QTcpSocket* socket, const QByteArray& target, qint64 total);
    void drip(QTcpSocket* socket, QByteArray target, QByteArray rest,
              std::chrono::milliseconds interval);

    QTcpServer m_server;
    std::map<QByteArray, Response> m_routes;
    std::vector<Request> m_requests;
    std::map<QByteArray, qint64> m_bodyBytesSent;
};

} // namespace quorix::test
