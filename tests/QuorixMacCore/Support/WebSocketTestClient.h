#pragma once

#include "QuorixMacCore/Support/Waiting.h"
#include "QuorixMacCore/Transport/WebSocketFrameCodec.h"
#include "QuorixProtocol/Messages.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QSslSocket>

#include <cstdint>
#include <optional>

namespace quorix::testing {

/// The sample key of RFC 6455.
inline constexpr QByteArrayView sampleKey = "dGhlIHNhbXBsZSBub25jZQ==";

/// A client frame as a phone sends it: final, masked with the key of RFC 6455's samples.
QByteArray maskedClientFrame(std::uint8_t opcode, QByteArrayView payload);

/// The opening request with the sample key of RFC 6455.
QByteArray openingRequest();

/// A phone's side of one connection, driven synchronously from the test's thread while
/// the server runs on its own threads. Every read gives up after `hangLimit`.
class WebSocketTestClient {
public:
    /// Opens the TCP connection to 127.0.0.1; whether it connected.
    bool connectTo(quint16 port);
    /// Connects over TLS, accepting any certificate; whether the TLS handshake completed.
    bool connectEncrypted(quint16 port);
    /// Sends the opening request and checks the server's answer, accept value included.
    bool handshake();
    /// Connects and completes the opening handshake.
    bool open(quint16 port) { return connectTo(port) && handshake(); }

    void sendRaw(const QByteArray& bytes);
    void sendFrame(std::uint8_t opcode, QByteArrayView payload);
    void send(const QuorixClientMessage& message);

    /// Reads until the answer's header is complete; the header, or nothing.
    std::optional<QByteArray> readHandshakeResponse();
    /// The next server frame, or nothing when none arrives in time, the connection ends, or
    /// the server breaks the framing (a masked frame, say).
    std::optional<WebSocketFrame> readFrame(std::chrono::milliseconds limit = hangLimit);
    /// The next text frame decoded as a server message.
    std::optional<QuorixServerMessage> readMessage(std::chrono::milliseconds limit = hangLimit);
    /// Sends `message` and reads the next message.
    std::optional<QuorixServerMessage> exchange(const QuorixClientMessage& message) {
        send(message);
        return readMessage();
    }
    /// Whether the server closed the connection; bytes that arrive meanwhile are kept.
    bool waitForDisconnect();

    /// Authenticates with a code; the token, or nothing.
    std::optional<std::string> pair(const std::string& code);

    QSslSocket& socket() { return m_socket; }
    const QByteArray& buffer() const { return m_buffer; }

private:
    bool readMore(const QDeadlineTimer& deadline);

    // Plain TCP unless connected with `connectEncrypted`.
    QSslSocket m_socket;
    QByteArray m_buffer;
};

} // namespace quorix::testing
