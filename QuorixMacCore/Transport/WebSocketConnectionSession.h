#pragma once

#include "QuorixMacCore/Transport/SerialQueue.h"
#include "QuorixMacCore/Transport/WebSocketLimits.h"
#include "QuorixProtocol/Messages.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <QByteArray>
#include <QPointer>
#include <QSslConfiguration>
#include <QString>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>

class QTcpSocket;
class QThreadPool;
class QTimer;

namespace quorix {

class ActionExecuting;
class InstalledAppsScanner;
class PairingService;

/// One phone's connection: completes the opening handshake, reads frames, decodes
/// messages, enforces authentication and answers. Its socket lives on the connection
/// queue shared by all sessions, where all its receiving runs; `execute` and `list_apps`
/// work runs on the task pool and answers from there.
///
/// Nothing of megabytes is done on the shared queue: a large message is decoded, and the
/// echo of a layout encoded, on the decoding pool while this connection alone stops reading;
/// its messages are still handled in the order they came. What waits to be sent is bounded
/// (`WebSocketLimits::sendBacklogLimit`) and handed to an encrypting socket a slice at a
/// time, so encrypting a layout does not hold up the queue either.
///
/// Held by the server's registry; everything else (tasks, posted sends) holds it weakly,
/// so a session the server has dropped does nothing more. It holds its queue weakly in
/// turn: a session that outlives its server finds the queue gone and sends nothing.
class WebSocketConnectionSession : public std::enable_shared_from_this<WebSocketConnectionSession> {
public:
    /// What every session of one server shares.
    struct Services {
        std::shared_ptr<PairingService> pairingService;
        std::shared_ptr<ActionExecuting> actionExecutor;
        std::shared_ptr<InstalledAppsScanner> installedAppsScanner;
        QString deviceName;
        WebSocketLimits limits;
        /// Where `execute` and `list_apps` run.
        QThreadPool* taskPool = nullptr;
        /// Where messages too large to decode on the connection queue are decoded.
        QThreadPool* decodingPool = nullptr;
        /// Present in secure mode: every connection speaks TLS with this identity.
        std::optional<QSslConfiguration> tls;
        /// Called on the connection queue after a message too large to decode there has
        /// been handled.
        std::function<void()> onLargeMessageHandled;
    };

    /// Called on the connection queue.
    struct Callbacks {
        /// After every successful authentication.
        std::function<void()> onAuthenticated;
        /// For every accepted `layout_update`, before it is echoed.
        std::function<void(LayoutRecord)> onLayoutUpdate;
        /// When the connection ends or fails; may come more than once.
        std::function<void()> onClose;
    };

    /// A session for an accepted socket descriptor, which it owns from now on.
    static std::shared_ptr<WebSocketConnectionSession>
    create(qintptr socketDescriptor, SerialQueue::Handle queue,
           std::shared_ptr<const Services> services, Callbacks callbacks);

    ~WebSocketConnectionSession();

    WebSocketConnectionSession(const WebSocketConnectionSession&) = delete;
    WebSocketConnectionSession& operator=(const WebSocketConnectionSession&) = delete;

    /// Takes over the socket on the connection queue and starts reading.
    void start();

    /// Closes the connection at once, without a close frame. Any thread.
    void cancel();

    /// Sends a close frame after the frame being sent, lets the peer read it, and ends the
    /// session; `reason` goes to the log. Any thread.
    void close(const char* reason);

    /// False until the first successful authentication, then true for good. Any thread.
    bool isAuthenticated() const { return m_isAuthenticated.load(std::memory_order_acquire); }

    /// Encodes the message and sends it as one text frame; a message that cannot be
    /// encoded is dropped. Any thread.
    void send(const QuorixServerMessage& message);

    /// Sends bytes as they are: a whole frame, or the handshake's answer. Any thread.
    void sendRaw(QByteArray bytes);

    /// The whole `layout_changed` frame for a layout, encoded around the layout's own
    /// encoding; empty when the layout cannot be encoded. Any thread.
    static QByteArray layoutChangedFrame(const LayoutRecord& layout);

private:
    WebSocketConnectionSession(qintptr socketDescriptor, SerialQueue::Handle queue,
                               std::shared_ptr<const Services> services, Callbacks callbacks);

    /// A message decoded, with the frame that echoes it when it is a layout the phone may
    /// send (encoded where the decoding ran).
    struct DecodedMessage {
        Decoded<QuorixClientMessage> message;
        QByteArray echo;
    };
    static DecodedMessage decodeMessage(QByteArrayView payload, bool authenticated);

    // Everything below runs on the connection queue.
    void adoptSocket();
    void receive();
    void processIncomingBuffer();
    bool completeHandshake();
    void decodeOffQueue(qsizetype frameStart, const WebSocketFrameHeader& header);
    void finishDecoding(DecodedMessage decoded);
    void handleFrame(const WebSocketFrame& frame);
    void handleDecoded(DecodedMessage decoded);
    void handle(QuorixClientMessage message, QByteArray echo);
    void authenticated(const std::string& token);
    void verifyCode(const std::string& code);
    void checkToken(const std::string& token);
    void runAction(QuorixClientMessage::Execute execute);
    void listApps();
    void watchForStall();
    void write(QByteArray bytes);
    void sendQueued();
    qsizetype bytesInSocket() const;
    /// Sends a close frame when the socket still takes one, lets it drain, and ends the
    /// session.
    void fail(const char* reason);
    void closeGracefully();
    void abortSocket();
    void notifyClosed();
    QThreadPool* taskPool() const;

    const qintptr m_socketDescriptor;
    const SerialQueue::Handle m_queue;
    const std::shared_ptr<const Services> m_services;
    const Callbacks m_callbacks;

    std::atomic<bool> m_isAuthenticated{false};
    // Whether the connection queue took the descriptor over; read by the destructor,
    // which may run on any thread.
    std::atomic<bool> m_adopted{false};

    // Connection queue only.
    QPointer<QTcpSocket> m_socket;
    // Runs until the handshake, then again until the first authentication; its expiry
    // fails the connection, saying which of the two it waited for.
    QPointer<QTimer> m_admissionTimer;
    QPointer<QTimer> m_stallTimer;
    bool m_didCompleteHandshake = false;
    bool m_ended = false;
    bool m_closeNotified = false;
    // A message is being decoded on the task pool; reading waits for it.
    bool m_decoding = false;
    QByteArray m_incomingBuffer;
    // Frames not yet handed to the socket; the first may be partly handed over already.
    std::deque<QByteArray> m_outgoing;
    qsizetype m_outgoingOffset = 0;
    qsizetype m_outgoingBytes = 0;
};

} // namespace quorix
