#pragma once

#include "QuorixMacCore/Transport/WebSocketFrameCodec.h"

#include <chrono>

namespace quorix {

/// What one connection may make the receiver hold, and how many connections it keeps.
/// Exceeding a limit ends only the offending connection.
struct WebSocketLimits {
    // A header beyond this is not a phone: refuse before buffering more.
    static constexpr qsizetype defaultMaxHandshakeBytes = 16 * 1024;
    static constexpr std::chrono::milliseconds defaultHandshakeTimeout{10'000};
    static constexpr int defaultMaxConnections = 64;

    /// Bytes of the opening request, terminator included.
    qsizetype maxHandshakeBytes = defaultMaxHandshakeBytes;
    /// Time from acceptance until the opening request is complete.
    std::chrono::milliseconds handshakeTimeout = defaultHandshakeTimeout;
    /// Payload of one frame, which is one message.
    qsizetype maxMessageBytes = WebSocketFrameCodec::maxPayloadLength;
    /// Connections open at once; further ones are closed as they are accepted.
    int maxConnections = defaultMaxConnections;
};

} // namespace quorix
