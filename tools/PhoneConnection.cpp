#include "tools/PhoneConnection.h"

#include "QuorixMacCore/Transport/TLSCertificateManager.h"
#include "QuorixMacCore/Transport/WebSocketFrameCodec.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <QDeadlineTimer>
#include <QRandomGenerator>

namespace quorix::cli {

namespace {
// Server frames this tool accepts; a layout with many icons is large.
constexpr qsizetype maxServerPayload = 256 * 1024 * 1024;
constexpr qsizetype maxResponseHeader = 16 * 1024;

QByteArray makeKey() {
    QByteArray nonce(16, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(nonce.data()), 4);
    return nonce.toBase64();
}

QByteArray maskedFrame(WebSocketOpcode opcode, QByteArrayView payload) {
    return WebSocketFrameCodec::clientFrame(static_cast<std::uint8_t>(opcode), payload,
                                            QRandomGenerator::global()->generate());
}
} // namespace

std::optional<std::string> PhoneConnection::open(const QString& host, std::uint16_t port,
                                                 std::chrono::milliseconds timeout,
                                                 const std::optional<QString>& pinnedFingerprint) {
    const QDeadlineTimer deadline(timeout);
    const std::string address = host.toStdString() + ":" + std::to_string(port);
    if (pinnedFingerprint) {
        // The certificate is self-signed: no authority vouches for it, only the pinned
        // fingerprint does.
        m_socket.setPeerVerifyMode(QSslSocket::VerifyNone);
        m_socket.connectToHostEncrypted(host, port);
        if (!m_socket.waitForEncrypted(int(deadline.remainingTime()))) {
            return "no TLS connection to " + address + ": " + m_socket.errorString().toStdString();
        }
        const QString presented =
            TLSCertificateManager::fingerprintSHA256(m_socket.peerCertificate());
        if (presented != *pinnedFingerprint) {
            m_socket.abort();
            return "the receiver at " + address + " presented a certificate with fingerprint " +
                   presented.toStdString() + ", not the pinned " +
                   pinnedFingerprint->toStdString() + "; nothing was sent";
        }
    } else {
        m_socket.connectToHost(host, port);
        if (!m_socket.waitForConnected(int(deadline.remainingTime()))) {
            return "cannot connect to " + address + ": " + m_socket.errorString().toStdString();
        }
    }
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const QByteArray key = makeKey();
    m_socket.write(WebSocketFrameCodec::clientHandshakeRequest(
        host.toUtf8() + ':' + QByteArray::number(port), key));
    qsizetype end = -1;
    while ((end = m_buffer.indexOf("\r\n\r\n")) < 0) {
        if (m_buffer.size() > maxResponseHeader) {
            return std::string("the handshake answer is too large");
        }
        if (!m_socket.waitForReadyRead(int(deadline.remainingTime()))) {
            return "no handshake answer: " + m_socket.errorString().toStdString();
        }
        m_buffer.append(m_socket.readAll());
    }
    const QByteArray header = m_buffer.left(end + 4);
    m_buffer.remove(0, end + 4);
    const auto refusal = WebSocketFrameCodec::checkHandshakeAnswer(header, key);
    if (refusal == WebSocketHandshakeError::notSwitchingProtocols) {
        return "the server refused the upgrade: " + header.left(header.indexOf('\r')).toStdString();
    }
    if (refusal == WebSocketHandshakeError::wrongAccept) {
        return std::string("the handshake answer has a wrong Sec-WebSocket-Accept");
    }
    return std::nullopt;
}

bool PhoneConnection::send(const QuorixClientMessage& message) {
    const Encoded json = ProtocolJSON::encode(message);
    if (!json) {
        return false;
    }
    const QByteArray frame = maskedFrame(WebSocketOpcode::text, QByteArrayView(*json));
    if (m_socket.write(frame) != frame.size()) {
        return false;
    }
    m_socket.flush();
    return true;
}

PhoneConnection::Received PhoneConnection::next(std::optional<std::chrono::milliseconds> timeout,
                                                QuorixServerMessage& message, QByteArray& raw,
                                                std::string& problem) {
    const QDeadlineTimer deadline =
        timeout ? QDeadlineTimer(*timeout) : QDeadlineTimer(QDeadlineTimer::Forever);
    while (true) {
        auto read = WebSocketFrameCodec::readServerFrame(m_buffer, maxServerPayload);
        if (!read) {
            switch (read.error()) {
            case WebSocketFrameError::maskedServerFrame:
                problem = "the server sent a masked frame";
                break;
            case WebSocketFrameError::frameTooLarge:
            case WebSocketFrameError::lengthOutOfRange:
                problem = "the server sent a frame beyond the size this tool reads";
                break;
            case WebSocketFrameError::reservedOpcode:
                problem = "the server sent a frame with a reserved opcode";
                break;
            case WebSocketFrameError::oversizedControlFrame:
            case WebSocketFrameError::fragmentedControlFrame:
                problem = "the server sent a control frame that breaks RFC 6455";
                break;
            }
            return Received::invalid;
        }
        if (auto& parsed = read.value()) {
            m_buffer.remove(0, parsed->consumed);
            const WebSocketFrame& frame = parsed->frame;
            switch (frame.opcode) {
            case WebSocketOpcode::close:
                m_socket.write(maskedFrame(WebSocketOpcode::close, {}));
                m_socket.flush();
                return Received::closed;
            case WebSocketOpcode::ping:
                m_socket.write(maskedFrame(WebSocketOpcode::pong, frame.payload));
                continue;
            case WebSocketOpcode::text:
            case WebSocketOpcode::binary:
                break;
            case WebSocketOpcode::continuation:
            case WebSocketOpcode::pong:
                continue;
            }
            raw = frame.payload;
            auto decoded = ProtocolJSON::decodeServer(
                std::string_view(raw.constData(), std::size_t(raw.size())));
            if (!decoded) {
                problem = decoded.error().description();
                return Received::invalid;
            }
            message = std::move(decoded).value();
            return Received::message;
        }
        if (m_socket.state() != QAbstractSocket::ConnectedState && m_socket.bytesAvailable() == 0) {
            return Received::closed;
        }
        if (m_socket.bytesAvailable() == 0 &&
            !m_socket.waitForReadyRead(deadline.isForever() ? -1 : int(deadline.remainingTime()))) {
            if (m_socket.state() != QAbstractSocket::ConnectedState) {
                return Received::closed;
            }
            if (deadline.hasExpired()) {
                return Received::timedOut;
            }
            continue;
        }
        m_buffer.append(m_socket.readAll());
    }
}

} // namespace quorix::cli
