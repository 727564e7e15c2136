#pragma once

#include "QuorixMacCore/Transport/TLSIdentityBundle.h"
#include "QuorixProtocol/Foundation.h"

#include <QByteArrayView>
#include <QSslCertificate>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <optional>

namespace quorix {

class ApplicationDirectories;

/// Why no TLS identity could be made or loaded.
struct TLSCertificateError {
    enum class Kind {
        /// openssl exited unsuccessfully; `step` says which run, `output` what it printed.
        opensslFailed,
        /// The PKCS#12 file did not decode with the pass phrase; `status` is OpenSSL's
        /// error code.
        pkcs12ImportFailed,
        /// The certificate could not be taken out of the identity; `status` as above.
        certificateCopyFailed,
        opensslNotFound,
        /// The PKCS#12 file holds no key or no certificate.
        missingIdentity,
        applicationSupportUnavailable,
        /// A file or process operation failed; `output` is the system's description.
        systemError,
    };

    Kind kind = Kind::systemError;
    QString step;
    QString output;
    std::int32_t status = 0;

    static TLSCertificateError opensslFailed(QString step, QString output) {
        return {Kind::opensslFailed, std::move(step), std::move(output), 0};
    }
    static TLSCertificateError pkcs12ImportFailed(std::int32_t status) {
        return {Kind::pkcs12ImportFailed, {}, {}, status};
    }
    static TLSCertificateError certificateCopyFailed(std::int32_t status) {
        return {Kind::certificateCopyFailed, {}, {}, status};
    }
    static TLSCertificateError opensslNotFound() { return {Kind::opensslNotFound, {}, {}, 0}; }
    static TLSCertificateError missingIdentity() { return {Kind::missingIdentity, {}, {}, 0}; }
    static TLSCertificateError applicationSupportUnavailable() {
        return {Kind::applicationSupportUnavailable, {}, {}, 0};
    }
    static TLSCertificateError systemError(QString description) {
        return {Kind::systemError, {}, std::move(description), 0};
    }

    /// A fixed English text with the case's details; the system's own text for
    /// `systemError`.
    QString description() const;

    bool operator==(const TLSCertificateError&) const = default;
};

/// The desktop's self-signed TLS identity for the secure transport: made once with the
/// openssl tool, kept as a PKCS#12 file protected by a pass phrase stored beside it, and
/// reused from then on (it is never renewed). Every file it keeps, and its folder, are
/// readable by their owner only.
///
/// Not thread-safe: one caller at a time. openssl runs synchronously, blocking the caller.
class TLSCertificateManager {
public:
    static constexpr QLatin1StringView pkcs12FileName{"quorix-local-identity.p12"};
    static constexpr QLatin1StringView passphraseFileName{"quorix-local-identity.passphrase"};
    static constexpr QLatin1StringView keyFileName{"quorix-local.key"};
    static constexpr QLatin1StringView certificateFileName{"quorix-local.crt"};
    /// The folder below Application Support.
    static constexpr QLatin1StringView defaultFolder{"Quorix/M1TLS"};

    static constexpr QLatin1StringView certificateStep{"self-signed certificate generation"};
    static constexpr QLatin1StringView exportStep{"PKCS#12 export"};

    /// A run of openssl that takes longer has hung; it is killed.
    static constexpr std::chrono::seconds opensslTimeLimit{120};

    /// Where openssl is looked for, in order; the first executable file is used.
    static QStringList defaultOpenSSLCandidates();

    /// `defaultFolder` below the Application Support directory; `applicationSupportUnavailable`
    /// when the system reports none.
    static Expected<QString, TLSCertificateError>
    defaultDirectory(const ApplicationDirectories& directories);

    /// Keeps its files in `directory`, made on first use.
    explicit TLSCertificateManager(QString directory,
                                   QStringList opensslCandidates = defaultOpenSSLCandidates());

    /// The identity from the PKCS#12 file, which is first made with a new pass phrase and a
    /// new certificate for `commonName` when it does not exist. A file that exists is used
    /// as it is, whatever its certificate says.
    Expected<TLSIdentityBundle, TLSCertificateError>
    loadOrCreateIdentity(const QString& commonName) const;

    /// Key and certificate from PKCS#12 bytes, as legacy exports write them too.
    static Expected<TLSIdentityBundle, TLSCertificateError>
    importIdentity(QByteArrayView pkcs12, const QString& passphrase);

    /// 64 lower-case hexadecimal digits of SHA-256 over the certificate's DER bytes.
    static QString fingerprintSHA256(const QSslCertificate& certificate);

private:
    /// The openssl subject for a common name: "/CN=" and the name, each "/" turned into "-"
    /// and the characters openssl would read as syntax escaped.
    static QString subject(const QString& commonName);

    QString filePath(QLatin1StringView name) const;
    /// Runs openssl twice to make the PKCS#12 file; the intermediate files are removed
    /// only after both runs succeeded.
    std::optional<TLSCertificateError> createPKCS12(const QString& commonName,
                                                    const QString& passphrase) const;
    std::optional<TLSCertificateError>
    runOpenSSL(const QString& program, const QStringList& arguments, QLatin1StringView step) const;

    const QString m_directory;
    const QStringList m_opensslCandidates;
};

} // namespace quorix
