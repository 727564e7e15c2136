#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>

namespace quorix {

/// What the secure mode needs to speak TLS: the server's identity (certificate and private
/// key) and the fingerprint text phones compare against.
struct TLSIdentityBundle {
    QSslCertificate certificate;
    QSslKey privateKey;
    /// The certificate's SHA-256 fingerprint as phones compare it.
    QString fingerprintSHA256;
};

} // namespace quorix
