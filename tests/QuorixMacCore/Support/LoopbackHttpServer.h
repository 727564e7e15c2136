#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

#include <chrono>
#include <map>
#include <optional>
#include <vector>

class QTcpSocket;

namespace quorix::test {

/// An HTTP/1.1 server on 127.0.0.1 for tests: canned responses by request target, one
/// request per connection, every request recorded. Lives on the creating thread, whose
/// event loop the test pumps.
class LoopbackHttpServer : public QObject {
public:
    struct Response {
        int status = 200;
        std::vector<std::pair<QByteArray, QByteArray>> headers;
        QByteArray body;
        /// Silence before anything is sent.
        std::chrono::milliseconds delay{0};
        /// No Content-Length: the body ends with the connection.
        bool undeclaredLength = false;
        /// Instead of `body`: this many filler bytes (announced unless undeclared), sent as
        /// fast as the client takes them.
        std::optional<qint64> streamedBytes;
        /// Sends the body one byte at a time with this pause in between.
        std::optional<std::chrono::milliseconds> dripInterval;
    };

    struct Request {
        QByteArray target;
        /// Names in lower case.
        std::map<QByteArray, QByteArray> headers;

        QByteArray header(const QByteArray& name) const;
    };

    LoopbackHttpServer();

    /// Listens on an ephemeral port of 127.0.0.1; false when that fails.
    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return m_server.serverPort(); }
    /// "http://127.0.0.1:<port>" followed by `pathAndQuery`.
    QUrl url(const QString& pathAndQuery) const;

    /// Unrouted targets get 404.
    void route(const QByteArray& target, Response response);
    static Response ok(QByteArray body, QByteArray contentType);
    static Response redirect(int status, QByteArray location);

    const std::vector<Request>& requests() const { return m_requests; }
    std::vector<QByteArray> requestedTargets() const;
    void clearRequests() { m_requests.clear(); }
    /// Body bytes handed to the network for `target`, over all requests.
    qint64 bodyBytesSent(const QByteArray& target) const;

private:
    void readRequest(QTcpSocket* socket);
    void respond(QTcpSocket* socket, const QByteArray& target);
    void streamMore(QTcpSocket* socket, const QByteArray& target, qint64 total);
    void drip(QTcpSocket* socket, const QByteArray& target, QByteArray rest,
              std::chrono::milliseconds interval);

    QTcpServer m_server;
    std::map<QByteArray, Response> m_routes;
    std::vector<Request> m_requests;
    std::map<QByteArray, qint64> m_bodyBytesSent;
};

} // namespace quorix::test
