#pragma once

#include "QuorixProtocol/Messages.h"

#include <QByteArray>
#include <QTcpSocket>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace quorix::cli {

/// The phone's end of the WebSocket transport: masked client frames out, unmasked server
/// frames in. Written apart from the receiver's own codec so that each checks the other.
namespace ClientFrameCodec {

/// A random key for the opening request (16 random bytes, Base64).
QByteArray makeKey();
/// The request a phone opens with.
QByteArray openingRequest(const QString& host, std::uint16_t port, const QByteArray& key);
/// The "Sec-WebSocket-Accept" value a server must answer `key` with.
QByteArray expectedAccept(const QByteArray& key);
/// One final frame, masked with a fresh random key.
QByteArray maskedFrame(std::uint8_t opcode, QByteArrayView payload);

struct ServerFrame {
    std::uint8_t opcode = 0;
    QByteArray payload;
    qsizetype consumed = 0;
};
/// The first server frame in the buffer; nothing while incomplete. Server frames are
/// never masked, so a masked one is an error, as is a length beyond `maxPayload`.
enum class ReadError {
    maskedServerFrame,
    tooLarge
};
std::optional<ServerFrame> readServerFrame(QByteArrayView buffer, qsizetype maxPayload,
                                           std::optional<ReadError>& error);

} // namespace ClientFrameCodec

/// One blocking connection to a receiver, for command-line use.
class PhoneConnection {
public:
    /// Connects and completes the handshake; nothing on success, else why not.
    std::optional<std::string> open(const QString& host, std::uint16_t port,
                                    std::chrono::milliseconds timeout);

    /// Sends one message as a text frame.
    bool send(const QuorixClientMessage& message);

    enum class Received {
        message,
        closed,
        timedOut,
        invalid
    };
    /// Waits for the next server message (pings are answered on the way). `raw` gets the
    /// frame's payload as sent.
    Received next(std::optional<std::chrono::milliseconds> timeout, QuorixServerMessage& message,
                  QByteArray& raw, std::string& problem);

private:
    QTcpSocket m_socket;
    QByteArray m_buffer;
};

} // namespace quorix::cli
