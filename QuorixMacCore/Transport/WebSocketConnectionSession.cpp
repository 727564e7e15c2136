#include "QuorixMacCore/Transport/WebSocketConnectionSession.h"

#include "QuorixMacCore/Actions/ActionExecuting.h"
#include "QuorixMacCore/Catalog/InstalledAppsScanner.h"
#include "QuorixMacCore/Pairing/PairingService.h"
#include "QuorixMacCore/Transport/TransportLogging.h"
#include "QuorixMacCore/Transport/WebSocketFrameCodec.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <QSslSocket>
#include <QStringDecoder>
#include <QTcpSocket>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <sys/socket.h>
#include <unistd.h>

namespace quorix {

namespace {

// One receive takes at most this much, so a pass over the buffer never holds more than
// one message plus one chunk.
constexpr qint64 receiveChunkBytes = 64 * 1024;

// A peer that stops reading must not keep a closing socket alive for ever.
constexpr std::chrono::milliseconds closingGracePeriod{5'000};

const QByteArray& emptyCloseFrame() {
    static const QByteArray frame = WebSocketFrameCodec::frame(WebSocketOpcode::close, {});
    return frame;
}

AuthFailureReason wireReason(PairingError::Kind kind) {
    switch (kind) {
    case PairingError::Kind::locked:
        return AuthFailureReason::locked;
    case PairingError::Kind::expiredCode:
        return AuthFailureReason::expiredCode;
    case PairingError::Kind::invalidCode:
        return AuthFailureReason::invalidCode;
    }
    return AuthFailureReason::invalidCode;
}

QuorixServerMessage authFailure(AuthFailureReason reason) {
    return {QuorixServerMessage::AuthFailure{reason}};
}

/// Where the request header ends (terminator included): the first CR LF CR LF, else the
/// first LF LF; nothing while neither is in the buffer.
std::optional<qsizetype> handshakeHeaderLength(const QByteArray& buffer) {
    if (const qsizetype crlf = buffer.indexOf("\r\n\r\n"); crlf >= 0) {
        return crlf + 4;
    }
    if (const qsizetype lf = buffer.indexOf("\n\n"); lf >= 0) {
        return lf + 2;
    }
    return std::nullopt;
}

bool isValidUTF8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    Q_UNUSED(text);
    return !decoder.hasError();
}

} // namespace

std::shared_ptr<WebSocketConnectionSession>
WebSocketConnectionSession::create(qintptr socketDescriptor, SerialQueue::Handle queue,
                                   std::shared_ptr<const Services> services, Callbacks callbacks) {
    return std::shared_ptr<WebSocketConnectionSession>(new WebSocketConnectionSession(
        socketDescriptor, std::move(queue), std::move(services), std::move(callbacks)));
}

WebSocketConnectionSession::WebSocketConnectionSession(qintptr socketDescriptor,
                                                       SerialQueue::Handle queue,
                                                       std::shared_ptr<const Services> services,
                                                       Callbacks callbacks)
    : m_socketDescriptor(socketDescriptor)
    , m_queue(std::move(queue))
    , m_services(std::move(services))
    , m_callbacks(std::move(callbacks)) {}

WebSocketConnectionSession::~WebSocketConnectionSession() {
    // Dropped before the connection queue took the descriptor over (the server stopped
    // in between): nobody else will close it.
    if (!m_adopted.load(std::memory_order_acquire)) {
        ::close(static_cast<int>(m_socketDescriptor));
    }
}

void WebSocketConnectionSession::start() {
    m_queue.post([self = shared_from_this()] { self->adoptSocket(); });
}

void WebSocketConnectionSession::cancel() {
    auto abort = [self = shared_from_this()] {
        self->abortSocket();
        self->notifyClosed();
    };
    if (m_queue.isCurrent()) {
        abort();
    } else {
        m_queue.post(std::move(abort));
    }
}

void WebSocketConnectionSession::send(const QuorixServerMessage& message) {
    const Encoded json = ProtocolJSON::encode(message);
    if (!json) {
        qCWarning(lcTransport) << "Dropped a reply that could not be encoded:"
                               << json.error().description().c_str();
        return;
    }
    sendRaw(WebSocketFrameCodec::frame(WebSocketOpcode::text, QByteArrayView(*json)));
}

void WebSocketConnectionSession::sendRaw(QByteArray bytes) {
    if (m_queue.isCurrent()) {
        write(bytes);
        return;
    }
    m_queue.post([weak = weak_from_this(), bytes = std::move(bytes)] {
        if (const auto self = weak.lock()) {
            self->write(bytes);
        }
    });
}

void WebSocketConnectionSession::adoptSocket() {
    m_adopted.store(true, std::memory_order_release);
    if (m_ended) {
        ::close(static_cast<int>(m_socketDescriptor));
        return;
    }
    // Parented to the queue's context so that a socket still open when the queue stops
    // is deleted on its own thread.
    QSslSocket* secure = nullptr;
    QTcpSocket* socket = nullptr;
    if (m_services->tls) {
        secure = new QSslSocket(m_queue.context());
        secure->setSslConfiguration(*m_services->tls);
        socket = secure;
    } else {
        socket = new QTcpSocket(m_queue.context());
    }
    if (!socket->setSocketDescriptor(m_socketDescriptor)) {
        qCWarning(lcTransport) << "Could not take over an accepted connection:"
                               << socket->errorString();
        ::close(static_cast<int>(m_socketDescriptor));
        delete socket;
        m_ended = true;
        notifyClosed();
        return;
    }
    // Replies are small and a phone waits for each: do not hold them back.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket = socket;

    const std::weak_ptr<WebSocketConnectionSession> weak = weak_from_this();
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [weak] {
        if (const auto self = weak.lock()) {
            self->receive();
        }
    });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, [weak] {
        if (const auto self = weak.lock()) {
            self->abortSocket();
            self->notifyClosed();
        }
    });
    QObject::connect(socket, &QTcpSocket::errorOccurred, socket,
                     [weak](QAbstractSocket::SocketError error) {
                         // The peer closing its side is the normal end, reported by
                         // `disconnected`.
                         if (error == QAbstractSocket::RemoteHostClosedError) {
                             return;
                         }
                         if (const auto self = weak.lock()) {
                             self->abortSocket();
                             self->notifyClosed();
                         }
                     });

    auto* timer = new QTimer(socket);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, socket, [weak] {
        if (const auto self = weak.lock()) {
            self->fail("the opening handshake took too long");
        }
    });
    timer->start(m_services->limits.handshakeTimeout);
    m_handshakeTimer = timer;

    if (secure) {
        // Decrypted bytes arrive through readyRead like plain ones; a failed TLS
        // handshake ends the connection through errorOccurred.
        secure->startServerEncryption();
    }

    // Bytes may have arrived between acceptance and now.
    receive();
}

void WebSocketConnectionSession::receive() {
    while (m_socket && !m_ended && m_socket->bytesAvailable() > 0) {
        const qsizetype oldSize = m_incomingBuffer.size();
        const qint64 wanted = std::min(m_socket->bytesAvailable(), receiveChunkBytes);
        m_incomingBuffer.resize(oldSize + wanted);
        const qint64 got = m_socket->read(m_incomingBuffer.data() + oldSize, wanted);
        if (got < 0) {
            m_incomingBuffer.resize(oldSize);
            abortSocket();
            notifyClosed();
            return;
        }
        m_incomingBuffer.resize(oldSize + got);
        processIncomingBuffer();
    }
}

void WebSocketConnectionSession::processIncomingBuffer() {
    if (!m_didCompleteHandshake && !completeHandshake()) {
        return;
    }
    const WebSocketLimits& limits = m_services->limits;
    qsizetype offset = 0;
    while (!m_ended) {
        const auto read = WebSocketFrameCodec::readFrame(
            QByteArrayView(m_incomingBuffer).sliced(offset), limits.maxMessageBytes);
        if (!read) {
            fail(description(read.error()).data());
            return;
        }
        if (!read->has_value()) {
            break;
        }
        offset += (*read)->consumed;
        handleFrame((*read)->frame);
    }
    if (m_ended) {
        return;
    }
    // Removing consumed bytes once per pass keeps many small frames in one chunk linear.
    m_incomingBuffer.remove(0, offset);
}

bool WebSocketConnectionSession::completeHandshake() {
    const qsizetype maxBytes = m_services->limits.maxHandshakeBytes;
    const std::optional<qsizetype> headerLength = handshakeHeaderLength(m_incomingBuffer);
    if (!headerLength) {
        if (m_incomingBuffer.size() > maxBytes) {
            fail("the opening request is too large");
        }
        return false;
    }
    if (*headerLength > maxBytes) {
        fail("the opening request is too large");
        return false;
    }
    const QByteArrayView header = QByteArrayView(m_incomingBuffer).first(*headerLength);
    const std::optional<QByteArray> response =
        isValidUTF8(header) ? WebSocketFrameCodec::handshakeResponse(header) : std::nullopt;
    if (!response) {
        fail("the opening request has no usable key");
        return false;
    }
    m_didCompleteHandshake = true;
    if (m_handshakeTimer) {
        m_handshakeTimer->stop();
    }
    m_incomingBuffer.remove(0, *headerLength);
    write(*response);
    return true;
}

void WebSocketConnectionSession::handleFrame(const WebSocketFrame& frame) {
    switch (frame.opcode) {
    case WebSocketOpcode::close:
        closeGracefully();
        return;
    case WebSocketOpcode::ping:
        write(WebSocketFrameCodec::frame(WebSocketOpcode::pong, frame.payload));
        return;
    case WebSocketOpcode::pong:
    case WebSocketOpcode::continuation:
        return;
    case WebSocketOpcode::text:
    case WebSocketOpcode::binary:
        break;
    }
    Decoded<QuorixClientMessage> message = ProtocolJSON::decodeClient(std::string_view(
        frame.payload.constData(), static_cast<std::size_t>(frame.payload.size())));
    if (!message) {
        qCDebug(lcTransport) << "Undecodable message:" << message.error().description().c_str();
        send(authFailure(AuthFailureReason::protocolError));
        return;
    }
    handle(std::move(message).value());
}

void WebSocketConnectionSession::handle(QuorixClientMessage message) {
    using Message = QuorixClientMessage;
    if (auto* request = std::get_if<Message::AuthRequest>(&message.value)) {
        verifyCode(request->code);
        return;
    }
    if (auto* resume = std::get_if<Message::AuthResume>(&message.value)) {
        checkToken(resume->token);
        return;
    }
    if (!isAuthenticated()) {
        send(authFailure(AuthFailureReason::notAuthenticated));
        return;
    }
    if (auto* execute = std::get_if<Message::Execute>(&message.value)) {
        runAction(std::move(*execute));
    } else if (auto* update = std::get_if<Message::LayoutUpdate>(&message.value)) {
        if (m_callbacks.onLayoutUpdate) {
            m_callbacks.onLayoutUpdate(update->layout);
        }
        // Moved, not copied: a layout with many icons runs to megabytes, and this thread
        // serves every phone.
        send({QuorixServerMessage::LayoutChanged{std::move(update->layout)}});
    } else if (std::holds_alternative<Message::CaptureKeys>(message.value)) {
        send(authFailure(AuthFailureReason::protocolError));
    } else if (std::holds_alternative<Message::RequestState>(message.value)) {
        send({QuorixServerMessage::AppsList{}});
    } else if (std::holds_alternative<Message::ListApps>(message.value)) {
        listApps();
    }
}

void WebSocketConnectionSession::verifyCode(const std::string& code) {
    const Expected<std::string, PairingError> verified = m_services->pairingService->verify(code);
    if (!verified) {
        send(authFailure(wireReason(verified.error().kind)));
        return;
    }
    m_isAuthenticated.store(true, std::memory_order_release);
    send({QuorixServerMessage::AuthSuccess{*verified, m_services->deviceName.toStdString(),
                                           DeviceType::mac}});
    if (m_callbacks.onAuthenticated) {
        m_callbacks.onAuthenticated();
    }
}

void WebSocketConnectionSession::checkToken(const std::string& token) {
    if (!m_services->pairingService->resume(token)) {
        send(authFailure(AuthFailureReason::invalidToken));
        return;
    }
    m_isAuthenticated.store(true, std::memory_order_release);
    send({QuorixServerMessage::AuthSuccess{token, m_services->deviceName.toStdString(),
                                           DeviceType::mac}});
    if (m_callbacks.onAuthenticated) {
        m_callbacks.onAuthenticated();
    }
}

void WebSocketConnectionSession::runAction(QuorixClientMessage::Execute execute) {
    auto executor = m_services->actionExecutor;
    QThreadPool* pool = m_services->taskPool;
    auto task = [weak = weak_from_this(), executor = std::move(executor),
                 execute = std::move(execute)] {
        const UUID buttonId = execute.buttonId;
        // The reply goes out from wherever the action completes; no pool thread waits
        // for a macro's delays.
        executor->execute(execute.action)
            .then(QtFuture::Launch::Sync, [weak, buttonId](QFuture<ExecuteOutcome> outcome) {
                const auto self = weak.lock();
                if (!self) {
                    return;
                }
                if (outcome.resultCount() == 0) {
                    qCWarning(lcTransport) << "An action ended without an outcome";
                    self->send({QuorixServerMessage::ExecuteResult{buttonId, false, std::nullopt}});
                    return;
                }
                const ExecuteOutcome result = outcome.result();
                self->send(
                    {QuorixServerMessage::ExecuteResult{buttonId, result.success, result.error}});
            });
    };
    (void)QtConcurrent::run(pool ? pool : QThreadPool::globalInstance(), std::move(task));
}

void WebSocketConnectionSession::listApps() {
    auto scanner = m_services->installedAppsScanner;
    QThreadPool* pool = m_services->taskPool;
    (void)QtConcurrent::run(pool ? pool : QThreadPool::globalInstance(),
                            [weak = weak_from_this(), scanner = std::move(scanner)] {
                                std::vector<AppInfo> apps = scanner->scan();
                                if (const auto self = weak.lock()) {
                                    self->send({QuorixServerMessage::AppsList{std::move(apps)}});
                                }
                            });
}

void WebSocketConnectionSession::write(const QByteArray& bytes) {
    if (!m_socket || m_ended) {
        return;
    }
    if (m_socket->write(bytes) != bytes.size()) {
        qCDebug(lcTransport) << "Send failed:" << m_socket->errorString();
        abortSocket();
        notifyClosed();
    }
}

void WebSocketConnectionSession::fail(const char* reason) {
    qCInfo(lcTransport) << "Closing a connection:" << reason;
    closeGracefully();
}

void WebSocketConnectionSession::closeGracefully() {
    if (m_ended) {
        return;
    }
    m_ended = true;
    m_incomingBuffer.clear();
    if (m_handshakeTimer) {
        m_handshakeTimer->stop();
    }
    if (QTcpSocket* socket = m_socket) {
        m_socket = nullptr;
        // The socket outlives the session until the peer has read the close frame and
        // closed its side, or the grace period ends; nothing of the session is reached
        // from it any more. Closing at once would let bytes still arriving from the peer
        // answer with a reset, which can destroy the close frame before the peer reads it.
        QObject::disconnect(socket, nullptr, nullptr, nullptr);
        QObject::connect(socket, &QTcpSocket::readyRead, socket,
                         [socket] { socket->skip(socket->bytesAvailable()); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::errorOccurred, socket, &QObject::deleteLater);
        QTimer::singleShot(closingGracePeriod, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        const auto finishSending = [socket] {
            if (socket->bytesToWrite() == 0 && socket->state() == QAbstractSocket::ConnectedState) {
                ::shutdown(static_cast<int>(socket->socketDescriptor()), SHUT_WR);
            }
        };
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, finishSending);
        socket->write(emptyCloseFrame());
        socket->flush();
        finishSending();
    }
    notifyClosed();
}

void WebSocketConnectionSession::abortSocket() {
    m_ended = true;
    if (m_handshakeTimer) {
        m_handshakeTimer->stop();
    }
    if (QTcpSocket* socket = m_socket) {
        m_socket = nullptr;
        QObject::disconnect(socket, nullptr, nullptr, nullptr);
        socket->abort();
        socket->deleteLater();
    }
}

void WebSocketConnectionSession::notifyClosed() {
    if (m_closeNotified) {
        return;
    }
    m_closeNotified = true;
    if (m_callbacks.onClose) {
        m_callbacks.onClose();
    }
}

} // namespace quorix
