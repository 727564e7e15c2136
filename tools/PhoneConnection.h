#pragma once

#include "QuorixProtocol/Messages.h"

#include <QByteArray>
#include <QSslSocket>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace quorix::cli {

/// One blocking connection to a receiver, for command-line use.
class PhoneConnection {
public:
    /// Connects and completes the handshake; nothing on success, else why not. With
    /// `pinnedFingerprint` (lower-case SHA-256 hex) the connection speaks TLS, and a server
    /// whose certificate has another fingerprint is left before anything is sent to it.
    std::optional<std::string> open(const QString& host, std::uint16_t port,
                                    std::chrono::milliseconds timeout,
                                    const std::optional<QString>& pinnedFingerprint = {});

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
    // Plain TCP unless opened with a pinned fingerprint.
    QSslSocket m_socket;
    QByteArray m_buffer;
};

} // namespace quorix::cli
