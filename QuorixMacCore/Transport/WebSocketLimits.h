#pragma once

#include "QuorixMacCore/Transport/WebSocketFrameCodec.h"

#include <chrono>

namespace quorix {

/// What one connection may make the receiver hold, for how long, and how many connections
/// it keeps. Exceeding a limit ends only the offending connection, with a close frame.
struct WebSocketLimits {
    // A header beyond this is not a phone: refuse before buffering more.
    static constexpr qsizetype defaultMaxHandshakeBytes = 16 * 1024;
    static constexpr std::chrono::milliseconds defaultHandshakeTimeout{10'000};
    // A paired phone authenticates with its first message; a connection that has not within
    // this time only holds a place a phone may need.
    static constexpr std::chrono::milliseconds defaultAuthenticationTimeout{30'000};
    // The authentication messages are a few hundred bytes: before them nobody is owed room
    // for a layout.
    static constexpr qsizetype defaultMaxUnauthenticatedMessageBytes = 64 * 1024;
    // A frame that has stopped arriving pins its buffer for as long as the peer likes.
    static constexpr std::chrono::milliseconds defaultFrameStallTimeout{10'000};
    // Room for the answer being sent and the one after it; a peer that lets more pile up
    // has stopped reading, and waiting longer only costs memory.
    static constexpr int pendingSendMessages = 2;
    static constexpr int defaultMaxConnections = 64;

    /// Bytes of the opening request, terminator included.
    qsizetype maxHandshakeBytes = defaultMaxHandshakeBytes;
    /// Time from acceptance until the opening request is complete.
    std::chrono::milliseconds handshakeTimeout = defaultHandshakeTimeout;
    /// Time from the opening handshake until the first successful authentication.
    std::chrono::milliseconds authenticationTimeout = defaultAuthenticationTimeout;
    /// Payload of one frame, which is one message, before the connection has authenticated.
    qsizetype maxUnauthenticatedMessageBytes = defaultMaxUnauthenticatedMessageBytes;
    /// Payload of one frame, which is one message, once it has.
    qsizetype maxMessageBytes = WebSocketFrameCodec::maxPayloadLength;
    /// Time a partly received frame may go without a new byte.
    std::chrono::milliseconds frameStallTimeout = defaultFrameStallTimeout;
    /// Connections open at once. When all are taken, a new connection takes the place of
    /// the oldest one that has not authenticated; with none such, it is closed at once.
    int maxConnections = defaultMaxConnections;

    /// The largest message the connection may send in its state.
    qsizetype messageLimit(bool authenticated) const {
        return authenticated ? maxMessageBytes : maxUnauthenticatedMessageBytes;
    }
    /// Bytes that may wait to be sent to a connection in its state before it counts as no
    /// longer reading. One frame is always taken when nothing waits, whatever its size.
    qsizetype sendBacklogLimit(bool authenticated) const {
        return pendingSendMessages * messageLimit(authenticated);
    }
};

} // namespace quorix
