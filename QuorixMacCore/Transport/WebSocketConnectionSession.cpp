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
constexpr qint64 receiveChunkBytes = qint64{64} * 1024;

// What the socket reads ahead of the session. Bounded, so that a connection whose reading
// waits for a decoding pushes back on its peer instead of filling memory, and so that one
// busy connection gives the queue back to the others after every few chunks.
constexpr qint64 socketReadBufferBytes = 4 * receiveChunkBytes;

// What an encrypting socket is handed at a time, and what the system's buffer for a
// connection's outgoing bytes holds. Encrypting a slice of this size, or copying it into the
// system in one call, takes about a millisecond; a layout handed over whole would keep the
// thread that serves every phone busy with it for tens.
constexpr qsizetype sendSliceBytes = qsizetype{256} * 1024;

// Messages up to this size are decoded on the queue, where that takes microseconds; larger
// ones (layouts with images) go to the decoding pool.
constexpr qsizetype largestMessageDecodedInPlace = qsizetype{64} * 1024;

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

void WebSocketConnectionSession::close(const char* reason) {
    if (m_queue.isCurrent()) {
        fail(reason);
        return;
    }
    m_queue.post([self = shared_from_this(), reason] { self->fail(reason); });
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
        write(std::move(bytes));
        return;
    }
    m_queue.post([weak = weak_from_this(), bytes = std::move(bytes)]() mutable {
        if (const auto self = weak.lock()) {
            self->write(std::move(bytes));
        }
    });
}

QByteArray WebSocketConnectionSession::layoutChangedFrame(const LayoutRecord& layout) {
    // Written as the coder would write the message (sorted keys, compact), so that a
    // layout of megabytes is neither copied into a message nor joined before framing.
    const Encoded layoutJSON = ProtocolJSON::encode(layout);
    if (!layoutJSON) {
        qCWarning(lcTransport) << "Could not encode a layout to send:"
                               << layoutJSON.error().description().c_str();
        return {};
    }
    return WebSocketFrameCodec::frame(
        WebSocketOpcode::text,
        {R"({"layout":)", QByteArrayView(*layoutJSON), R"(,"type":"layout_changed"})"});
}

WebSocketConnectionSession::DecodedMessage
WebSocketConnectionSession::decodeMessage(QByteArrayView payload, bool authenticated) {
    DecodedMessage decoded{ProtocolJSON::decodeClient(std::string_view(
                               payload.data(), static_cast<std::size_t>(payload.size()))),
                           {}};
    if (authenticated && decoded.message) {
        if (const auto* update =
                std::get_if<QuorixClientMessage::LayoutUpdate>(&decoded.message->value)) {
            decoded.echo = layoutChangedFrame(update->layout);
        }
    }
    return decoded;
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
    socket->setReadBufferSize(socketReadBufferBytes);
    socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, sendSliceBytes);
    m_socket = socket;

    const std::weak_ptr<WebSocketConnectionSession> weak = weak_from_this();
    const auto onSession = [weak](void (WebSocketConnectionSession::*step)()) {
        return [weak, step] {
            if (const auto self = weak.lock()) {
                (self.get()->*step)();
            }
        };
    };
    QObject::connect(socket, &QTcpSocket::readyRead, socket,
                     onSession(&WebSocketConnectionSession::receive));
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket,
                     onSession(&WebSocketConnectionSession::sendQueued));
    if (secure) {
        QObject::connect(secure, &QSslSocket::encryptedBytesWritten, socket,
                         onSession(&WebSocketConnectionSession::sendQueued));
    }
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

    const auto failingTimer = [socket, weak](auto reason) {
        auto* timer = new QTimer(socket);
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, socket, [weak, reason] {
            if (const auto self = weak.lock()) {
                self->fail(reason(*self));
            }
        });
        return timer;
    };
    m_admissionTimer = failingTimer([](const WebSocketConnectionSession& self) {
        return self.m_didCompleteHandshake ? "it did not authenticate in time"
                                           : "the opening handshake took too long";
    });
    m_admissionTimer->start(m_services->limits.handshakeTimeout);
    m_stallTimer =
        failingTimer([](const WebSocketConnectionSession&) { return "a frame stopped arriving"; });
    m_stallTimer->setInterval(m_services->limits.frameStallTimeout);

    if (secure) {
        // Decrypted bytes arrive through readyRead like plain ones; a failed TLS
        // handshake ends the connection through errorOccurred.
        secure->startServerEncryption();
    }

    // Bytes may have arrived between acceptance and now.
    receive();
}

void WebSocketConnectionSession::receive() {
    bool received = false;
    while (m_socket && !m_ended && !m_decoding && m_socket->bytesAvailable() > 0) {
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
        received = received || got > 0;
        processIncomingBuffer();
    }
    if (received) {
        watchForStall();
    }
}

void WebSocketConnectionSession::processIncomingBuffer() {
    if (!m_didCompleteHandshake && !completeHandshake()) {
        return;
    }
    qsizetype offset = 0;
    while (!m_ended && !m_decoding) {
        const QByteArrayView rest = QByteArrayView(m_incomingBuffer).sliced(offset);
        const qsizetype limit = m_services->limits.messageLimit(isAuthenticated());
        const auto header = WebSocketFrameCodec::readFrameHeader(rest, limit);
        if (!header) {
            fail(description(header.error()).data());
            return;
        }
        if (!header->has_value()) {
            break;
        }
        const qsizetype frameLength = (*header)->headerLength + (*header)->payloadLength;
        if (rest.size() < frameLength) {
            // Room for the whole frame at once: a buffer of megabytes grown chunk by chunk
            // is copied over and over, on the thread that serves every phone.
            m_incomingBuffer.reserve(offset + frameLength);
            break;
        }
        const WebSocketOpcode opcode = (*header)->opcode;
        if ((opcode == WebSocketOpcode::text || opcode == WebSocketOpcode::binary) &&
            (*header)->payloadLength > largestMessageDecodedInPlace) {
            decodeOffQueue(offset, **header);
            return;
        }
        const auto read = WebSocketFrameCodec::readFrame(rest, limit);
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
    if (m_admissionTimer && !isAuthenticated()) {
        m_admissionTimer->start(m_services->limits.authenticationTimeout);
    }
    m_incomingBuffer.remove(0, *headerLength);
    write(*response);
    return true;
}

void WebSocketConnectionSession::decodeOffQueue(qsizetype frameStart,
                                                const WebSocketFrameHeader& header) {
    // The frame's bytes go to the task with the buffer they are in, to be unmasked and
    // decoded there; only what follows them, at most a few chunks, is copied to stay here.
    const qsizetype frameEnd = frameStart + header.headerLength + header.payloadLength;
    QByteArray bytes = std::exchange(m_incomingBuffer, m_incomingBuffer.sliced(frameEnd));
    m_decoding = true;
    m_stallTimer->stop();
    (void)QtConcurrent::run(
        m_services->decodingPool,
        [weak = weak_from_this(), queue = m_queue, bytes = std::move(bytes), frameStart, header,
         authenticated = isAuthenticated()]() mutable {
            const auto decoded = std::make_shared<DecodedMessage>(decodeMessage(
                WebSocketFrameCodec::unmaskedPayload(bytes, frameStart, header), authenticated));
            bytes = QByteArray();
            queue.post([weak, decoded] {
                if (const auto self = weak.lock()) {
                    self->finishDecoding(std::move(*decoded));
                }
            });
        });
}

void WebSocketConnectionSession::finishDecoding(DecodedMessage decoded) {
    m_decoding = false;
    if (m_ended) {
        return;
    }
    handleDecoded(std::move(decoded));
    if (m_services->onLargeMessageHandled) {
        m_services->onLargeMessageHandled();
    }
    // What arrived meanwhile is read now, in order.
    processIncomingBuffer();
    watchForStall();
    receive();
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
    handleDecoded(decodeMessage(frame.payload, isAuthenticated()));
}

void WebSocketConnectionSession::handleDecoded(DecodedMessage decoded) {
    if (!decoded.message) {
        qCDebug(lcTransport) << "Undecodable message:"
                             << decoded.message.error().description().c_str();
        send(authFailure(AuthFailureReason::protocolError));
        return;
    }
    handle(std::move(decoded.message).value(), std::move(decoded.echo));
}

void WebSocketConnectionSession::handle(QuorixClientMessage message, QByteArray echo) {
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
        // Moved, not copied: a layout with many icons runs to megabytes, and this thread
        // serves every phone. The echo was encoded with the decoding.
        if (m_callbacks.onLayoutUpdate) {
            m_callbacks.onLayoutUpdate(std::move(update->layout));
        }
        if (!echo.isEmpty()) {
            write(std::move(echo));
        }
    } else if (std::holds_alternative<Message::CaptureKeys>(message.value)) {
        send(authFailure(AuthFailureReason::protocolError));
    } else if (std::holds_alternative<Message::RequestState>(message.value)) {
        send({QuorixServerMessage::AppsList{}});
    } else if (std::holds_alternative<Message::ListApps>(message.value)) {
        listApps();
    }
}

void WebSocketConnectionSession::authenticated(const std::string& token) {
    m_isAuthenticated.store(true, std::memory_order_release);
    if (m_admissionTimer) {
        m_admissionTimer->stop();
    }
    send({QuorixServerMessage::AuthSuccess{token, m_services->deviceName.toStdString(),
                                           DeviceType::mac}});
    if (m_callbacks.onAuthenticated) {
        m_callbacks.onAuthenticated();
    }
}

void WebSocketConnectionSession::verifyCode(const std::string& code) {
    const Expected<std::string, PairingError> verified = m_services->pairingService->verify(code);
    if (!verified) {
        send(authFailure(wireReason(verified.error().kind)));
        return;
    }
    authenticated(*verified);
}

void WebSocketConnectionSession::checkToken(const std::string& token) {
    if (!m_services->pairingService->resume(token)) {
        send(authFailure(AuthFailureReason::invalidToken));
        return;
    }
    authenticated(token);
}

void WebSocketConnectionSession::runAction(QuorixClientMessage::Execute execute) {
    auto task = [weak = weak_from_this(), executor = m_services->actionExecutor,
                 execute = std::move(execute)] {
        const UUID buttonId = execute.buttonId;
        // The reply goes out from wherever the action completes; no pool thread waits
        // for a macro's delays.
        executor->execute(execute.action)
            .then(QtFuture::Launch::Sync, [weak, buttonId](const QFuture<ExecuteOutcome>& outcome) {
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
    (void)QtConcurrent::run(taskPool(), std::move(task));
}

void WebSocketConnectionSession::listApps() {
    (void)QtConcurrent::run(taskPool(),
                            [weak = weak_from_this(), scanner = m_services->installedAppsScanner] {
                                std::vector<AppInfo> apps = scanner->scan();
                                if (const auto self = weak.lock()) {
                                    self->send({QuorixServerMessage::AppsList{std::move(apps)}});
                                }
                            });
}

void WebSocketConnectionSession::watchForStall() {
    if (!m_stallTimer || m_ended) {
        return;
    }
    // Only a frame begun and not finished can stall; a pause between messages is the
    // phone's to take.
    if (m_decoding || !m_didCompleteHandshake || m_incomingBuffer.isEmpty()) {
        m_stallTimer->stop();
    } else {
        m_stallTimer->start();
    }
}

void WebSocketConnectionSession::write(QByteArray bytes) {
    if (!m_socket || m_ended) {
        return;
    }
    const qsizetype waiting = m_outgoingBytes + bytesInSocket();
    if (waiting > 0 &&
        waiting + bytes.size() > m_services->limits.sendBacklogLimit(isAuthenticated())) {
        fail("it stopped reading what is sent to it");
        return;
    }
    m_outgoingBytes += bytes.size();
    m_outgoing.push_back(std::move(bytes));
    sendQueued();
}

void WebSocketConnectionSession::sendQueued() {
    while (m_socket && !m_outgoing.empty() && bytesInSocket() < sendSliceBytes) {
        const QByteArray& front = m_outgoing.front();
        // An encrypting socket encrypts all it is given at once, so it gets a slice at a
        // time; a plain one takes a frame whole, without copying it.
        const qsizetype slice = m_services->tls
                                    ? std::min(front.size() - m_outgoingOffset, sendSliceBytes)
                                    : front.size();
        const qint64 written = m_outgoingOffset == 0 && slice == front.size()
                                   ? m_socket->write(front)
                                   : m_socket->write(front.constData() + m_outgoingOffset, slice);
        if (written != slice) {
            qCDebug(lcTransport) << "Send failed:" << m_socket->errorString();
            abortSocket();
            notifyClosed();
            return;
        }
        m_outgoingBytes -= slice;
        m_outgoingOffset += slice;
        if (m_outgoingOffset == front.size()) {
            m_outgoing.pop_front();
            m_outgoingOffset = 0;
        }
    }
}

qsizetype WebSocketConnectionSession::bytesInSocket() const {
    // An encrypting socket holds what it has not encrypted yet and, apart, what it has.
    qsizetype bytes = m_socket->bytesToWrite();
    if (m_services->tls) {
        bytes += static_cast<const QSslSocket*>(m_socket.data())->encryptedBytesToWrite();
    }
    return bytes;
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
    if (m_admissionTimer) {
        m_admissionTimer->stop();
    }
    if (m_stallTimer) {
        m_stallTimer->stop();
    }
    if (QTcpSocket* socket = m_socket) {
        // A frame partly handed over is finished first, or the close frame would land
        // inside it; frames not begun are dropped.
        if (m_outgoingOffset > 0) {
            const QByteArray& front = m_outgoing.front();
            socket->write(front.constData() + m_outgoingOffset, front.size() - m_outgoingOffset);
        }
        m_outgoing.clear();
        m_outgoingBytes = 0;
        m_outgoingOffset = 0;
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
    m_outgoing.clear();
    m_outgoingBytes = 0;
    m_outgoingOffset = 0;
    if (m_admissionTimer) {
        m_admissionTimer->stop();
    }
    if (m_stallTimer) {
        m_stallTimer->stop();
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

QThreadPool* WebSocketConnectionSession::taskPool() const {
    return m_services->taskPool ? m_services->taskPool : QThreadPool::globalInstance();
}

} // namespace quorix
