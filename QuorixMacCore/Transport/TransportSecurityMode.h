#pragma once

namespace quorix {

/// How the listener speaks to phones.
enum class TransportSecurityMode {
    /// TLS with the desktop's self-signed identity; advertised as "tls".
    secureSelfSigned,
    /// Plain TCP; advertised as "plain".
    plaintextForLocalTesting,
};

} // namespace quorix
