#include "QuorixMacCore/Support/WebSocketTestClient.h"

#include "QuorixProtocol/ProtocolJSON.h"

namespace quorix::testing {

namespace {

const int limitMilliseconds = int(hangLimit.count());

} // namespace

QByteArray maskedClientFrame(std::uint8_t opcode, QByteArrayView payload) {
    return WebSocketFrameCodec::clientFrame(opcode, payload, 0x37fa213d);
}

QByteArray openingRequest() {
    return WebSocketFrameCodec::clientHandshakeRequest("server.example.com", sampleKey, "/chat");
}

bool WebSocketTestClient::connectTo(quint16 port) {
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    return m_socket.waitForConnected(limitMilliseconds);
}

bool WebSocketTestClient::connectEncrypted(quint16 port) {
    m_socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    return m_socket.waitForEncrypted(limitMilliseconds);
}

bool WebSocketTestClient::handshake() {
    sendRaw(openingRequest());
    const auto answer = readHandshakeResponse();
    return answer && !WebSocketFrameCodec::checkHandshakeAnswer(*answer, sampleKey);
}

void WebSocketTestClient::sendRaw(const QByteArray& bytes) {
    m_socket.write(bytes);
    m_socket.flush();
}

void WebSocketTestClient::sendFrame(std::uint8_t opcode, QByteArrayView payload) {
    sendRaw(maskedClientFrame(opcode, payload));
}

void WebSocketTestClient::send(const QuorixClientMessage& message) {
    sendFrame(0x1, QByteArrayView(ProtocolJSON::encode(message).value()));
}

bool WebSocketTestClient::readMore(const QDeadlineTimer& deadline) {
    if (m_socket.bytesAvailable() == 0 &&
        (deadline.hasExpired() || !m_socket.waitForReadyRead(int(deadline.remainingTime())))) {
        return false;
    }
    m_buffer.append(m_socket.readAll());
    return true;
}

std::optional<QByteArray> WebSocketTestClient::readHandshakeResponse() {
    const QDeadlineTimer deadline(hangLimit);
    qsizetype end = -1;
    while ((end = m_buffer.indexOf("\r\n\r\n")) < 0) {
        if (!readMore(deadline)) {
            return std::nullopt;
        }
    }
    QByteArray header = m_buffer.left(end + 4);
    m_buffer.remove(0, end + 4);
    return header;
}

std::optional<WebSocketFrame> WebSocketTestClient::readFrame(std::chrono::milliseconds limit) {
    const QDeadlineTimer deadline(limit);
    while (true) {
        const auto read = WebSocketFrameCodec::readServerFrame(m_buffer);
        if (!read) {
            return std::nullopt;
        }
        if (const auto& parsed = read.value()) {
            m_buffer.remove(0, parsed->consumed);
            return parsed->frame;
        }
        if (!readMore(deadline)) {
            return std::nullopt;
        }
    }
}

std::optional<QuorixServerMessage>
WebSocketTestClient::readMessage(std::chrono::milliseconds limit) {
    const std::optional<WebSocketFrame> frame = readFrame(limit);
    if (!frame || frame->opcode != WebSocketOpcode::text) {
        return std::nullopt;
    }
    auto decoded = ProtocolJSON::decodeServer(
        std::string_view(frame->payload.constData(), std::size_t(frame->payload.size())));
    return decoded ? std::optional(std::move(decoded).value()) : std::nullopt;
}

bool WebSocketTestClient::waitForDisconnect() {
    const QDeadlineTimer deadline(hangLimit);
    while (m_socket.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired()) {
        m_socket.waitForReadyRead(int(deadline.remainingTime()));
        m_buffer.append(m_socket.readAll());
    }
    m_buffer.append(m_socket.readAll());
    return m_socket.state() == QAbstractSocket::UnconnectedState;
}

std::optional<std::string> WebSocketTestClient::pair(const std::string& code) {
    const auto reply = exchange({QuorixClientMessage::AuthRequest{code}});
    const auto* success =
        reply ? std::get_if<QuorixServerMessage::AuthSuccess>(&reply->value) : nullptr;
    return success ? std::optional(success->token) : std::nullopt;
}

} // namespace quorix::testing
