#include "tools/PhoneConnection.h"

#include "QuorixProtocol/ProtocolJSON.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QRandomGenerator>

namespace quorix::cli {

namespace ClientFrameCodec {

namespace {
constexpr std::string_view rfc6455GUID = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
} // namespace

QByteArray makeKey() {
    QByteArray nonce(16, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(nonce.data()), 4);
    return nonce.toBase64();
}

QByteArray openingRequest(const QString& host, std::uint16_t port, const QByteArray& key) {
    return "GET / HTTP/1.1\r\nHost: " + host.toUtf8() + ':' + QByteArray::number(port) +
           "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: " + key +
           "\r\nSec-WebSocket-Version: 13\r\n\r\n";
}

QByteArray expectedAccept(const QByteArray& key) {
    return QCryptographicHash::hash(QByteArray(key).append(QByteArrayView(rfc6455GUID)),
                                    QCryptographicHash::Sha1)
        .toBase64();
}

QByteArray maskedFrame(std::uint8_t opcode, QByteArrayView payload) {
    QByteArray frame;
    frame.reserve(payload.size() + 14);
    frame.append(char(0x80 | (opcode & 0x0F)));
    const auto length = static_cast<std::uint64_t>(payload.size());
    if (length <= 125) {
        frame.append(char(0x80 | length));
    } else if (length <= 0xFFFF) {
        frame.append(char(0x80 | 126));
        frame.append(char(length >> 8));
        frame.append(char(length));
    } else {
        frame.append(char(0x80 | 127));
        for (int shift = 56; shift >= 0; shift -= 8) {
            frame.append(char(length >> shift));
        }
    }
    const quint32 maskKey = QRandomGenerator::global()->generate();
    const char mask[4] = {char(maskKey >> 24), char(maskKey >> 16), char(maskKey >> 8),
                          char(maskKey)};
    frame.append(mask, 4);
    const qsizetype start = frame.size();
    frame.resize(start + payload.size());
    char* out = frame.data() + start;
    const char* in = payload.data();
    for (qsizetype i = 0; i < payload.size(); ++i) {
        out[i] = char(in[i] ^ mask[i & 3]);
    }
    return frame;
}

std::optional<ServerFrame> readServerFrame(QByteArrayView buffer, qsizetype maxPayload,
                                           std::optional<ReadError>& error) {
    error.reset();
    if (buffer.size() < 2) {
        return std::nullopt;
    }
    const auto byte = [&](qsizetype i) { return static_cast<std::uint8_t>(buffer[i]); };
    if (byte(1) & 0x80) {
        error = ReadError::maskedServerFrame;
        return std::nullopt;
    }
    std::uint64_t length = byte(1) & 0x7F;
    qsizetype header = 2;
    if (length == 126) {
        if (buffer.size() < 4) {
            return std::nullopt;
        }
        length = (std::uint64_t(byte(2)) << 8) | byte(3);
        header = 4;
    } else if (length == 127) {
        if (buffer.size() < 10) {
            return std::nullopt;
        }
        length = 0;
        for (qsizetype i = 2; i < 10; ++i) {
            length = (length << 8) | byte(i);
        }
        header = 10;
    }
    if (length > std::uint64_t(maxPayload)) {
        error = ReadError::tooLarge;
        return std::nullopt;
    }
    if (std::uint64_t(buffer.size() - header) < length) {
        return std::nullopt;
    }
    ServerFrame frame;
    frame.opcode = byte(0) & 0x0F;
    frame.payload = buffer.sliced(header, qsizetype(length)).toByteArray();
    frame.consumed = header + qsizetype(length);
    return frame;
}

} // namespace ClientFrameCodec

namespace {
// Server frames this tool accepts; a layout with many icons is large.
constexpr qsizetype maxServerPayload = 256 * 1024 * 1024;
constexpr qsizetype maxResponseHeader = 16 * 1024;
} // namespace

std::optional<std::string> PhoneConnection::open(const QString& host, std::uint16_t port,
                                                 std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    m_socket.connectToHost(host, port);
    if (!m_socket.waitForConnected(int(deadline.remainingTime()))) {
        return "cannot connect to " + host.toStdString() + ":" + std::to_string(port) + ": " +
               m_socket.errorString().toStdString();
    }
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const QByteArray key = ClientFrameCodec::makeKey();
    m_socket.write(ClientFrameCodec::openingRequest(host, port, key));
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
    if (!header.startsWith("HTTP/1.1 101 ")) {
        return "the server refused the upgrade: " + header.left(header.indexOf('\r')).toStdString();
    }
    if (!header.contains("\r\nSec-WebSocket-Accept: " + ClientFrameCodec::expectedAccept(key) +
                         "\r\n")) {
        return std::string("the handshake answer has a wrong Sec-WebSocket-Accept");
    }
    return std::nullopt;
}

bool PhoneConnection::send(const QuorixClientMessage& message) {
    const Encoded json = ProtocolJSON::encode(message);
    if (!json) {
        return false;
    }
    const QByteArray frame = ClientFrameCodec::maskedFrame(0x1, QByteArrayView(*json));
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
        std::optional<ClientFrameCodec::ReadError> error;
        if (auto frame = ClientFrameCodec::readServerFrame(m_buffer, maxServerPayload, error)) {
            m_buffer.remove(0, frame->consumed);
            switch (frame->opcode) {
            case 0x8:
                m_socket.write(ClientFrameCodec::maskedFrame(0x8, {}));
                m_socket.flush();
                return Received::closed;
            case 0x9:
                m_socket.write(ClientFrameCodec::maskedFrame(0xA, frame->payload));
                continue;
            case 0x1:
            case 0x2:
                break;
            default:
                continue;
            }
            raw = frame->payload;
            auto decoded = ProtocolJSON::decodeServer(
                std::string_view(raw.constData(), std::size_t(raw.size())));
            if (!decoded) {
                problem = decoded.error().description();
                return Received::invalid;
            }
            message = std::move(decoded).value();
            return Received::message;
        }
        if (error) {
            problem = *error == ClientFrameCodec::ReadError::maskedServerFrame
                          ? "the server sent a masked frame"
                          : "the server sent a frame beyond the size this tool reads";
            return Received::invalid;
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
