#include "QuorixMacCore/Support/WebSocketTestClient.h"

#include "QuorixProtocol/ProtocolJSON.h"

namespace quorix::testing {

QByteArray maskedClientFrame(std::uint8_t opcode, QByteArrayView payload) {
    return WebSocketFrameCodec::clientFrame(opcode, payload, 0x37fa213d);
}

QByteArray openingRequest() {
    return WebSocketFrameCodec::clientHandshakeRequest("server.example.com", sampleKey, "/chat");
}

bool WebSocketTestClient::connectTo(quint16 port) {
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    return m_socket.waitForConnected(int(defaultTimeout.count()));
}

bool WebSocketTestClient::connectEncrypted(quint16 port) {
    m_socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    return m_socket.waitForEncrypted(int(defaultTimeout.count()));
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
    const Encoded json = ProtocolJSON::encode(message);
    sendFrame(0x1, QByteArrayView(json.value()));
}

bool WebSocketTestClient::readMore(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        return false;
    }
    if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(int(left.count()))) {
        return false;
    }
    m_buffer.append(m_socket.readAll());
    return true;
}

std::optional<QByteArray>
WebSocketTestClient::readHandshakeResponse(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (const qsizetype end = m_buffer.indexOf("\r\n\r\n"); end >= 0) {
            QByteArray header = m_buffer.left(end + 4);
            m_buffer.remove(0, end + 4);
            return header;
        }
        if (!readMore(deadline)) {
            return std::nullopt;
        }
    }
}

std::optional<WebSocketFrame> WebSocketTestClient::readFrame(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
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
WebSocketTestClient::readMessage(std::chrono::milliseconds timeout) {
    const std::optional<WebSocketFrame> frame = readFrame(timeout);
    if (!frame || frame->opcode != WebSocketOpcode::text) {
        return std::nullopt;
    }
    auto decoded = ProtocolJSON::decodeServer(
        std::string_view(frame->payload.constData(), std::size_t(frame->payload.size())));
    if (!decoded) {
        return std::nullopt;
    }
    return std::move(decoded).value();
}

bool WebSocketTestClient::staysQuiet(std::chrono::milliseconds period) {
    const auto deadline = std::chrono::steady_clock::now() + period;
    while (std::chrono::steady_clock::now() < deadline) {
        if (WebSocketFrameCodec::parseFrame(m_buffer)) {
            return false;
        }
        readMore(deadline);
    }
    return !WebSocketFrameCodec::parseFrame(m_buffer) &&
           m_socket.state() == QAbstractSocket::ConnectedState;
}

bool WebSocketTestClient::waitForDisconnect(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_socket.state() != QAbstractSocket::UnconnectedState) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        if (m_socket.waitForReadyRead(int(left.count()))) {
            m_buffer.append(m_socket.readAll());
        } else if (m_socket.state() == QAbstractSocket::ConnectedState &&
                   m_socket.error() == QAbstractSocket::SocketTimeoutError) {
            return false;
        }
    }
    m_buffer.append(m_socket.readAll());
    return true;
}

std::optional<std::string> WebSocketTestClient::pair(const std::string& code) {
    send({QuorixClientMessage::AuthRequest{code}});
    const auto reply = readMessage();
    if (!reply) {
        return std::nullopt;
    }
    const auto* success = std::get_if<QuorixServerMessage::AuthSuccess>(&reply->value);
    if (!success) {
        return std::nullopt;
    }
    return success->token;
}

} // namespace quorix::testing
