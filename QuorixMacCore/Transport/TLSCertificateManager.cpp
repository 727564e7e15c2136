#include "QuorixMacCore/Transport/TLSCertificateManager.h"

#include "QuorixMacCore/Pairing/SecureTokenGenerator.h"
#include "QuorixMacCore/Platform/ApplicationDirectories.h"
#include "QuorixMacCore/Platform/PrivateFiles.h"
#include "QuorixMacCore/Transport/TransportLogging.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSslKey>
#include <QStringDecoder>

#include <cstdlib>
#include <memory>
#include <openssl/err.h>
#include <openssl/pkcs12.h>
#include <openssl/provider.h>
#include <openssl/x509.h>

namespace quorix {

namespace {

template <typename T, void (*release)(T*)>
struct OpenSSLRelease {
    void operator()(T* object) const { release(object); }
};
template <typename T, void (*release)(T*)>
using OpenSSLPointer = std::unique_ptr<T, OpenSSLRelease<T, release>>;

void freeCertificates(STACK_OF(X509) * certificates) {
    sk_X509_pop_free(certificates, X509_free);
}

/// OpenSSL's most recent error code on this thread, as a signed 32-bit status; the queue
/// is emptied so that no stale entry reaches later TLS work on this thread.
std::int32_t takeOpenSSLStatus() {
    const auto status =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(ERR_peek_last_error()));
    ERR_clear_error();
    return status;
}

// The identity is exported with -legacy (RC2-40 and 3DES), which OpenSSL 3 leaves to its
// "legacy" provider. Loading any provider by hand ends the implicit loading of "default",
// so both are loaded, once, for the whole process.
OSSL_PROVIDER* legacyProvider = nullptr;
OSSL_PROVIDER* defaultProvider = nullptr;

void loadLegacyProviders() {
    [[maybe_unused]] static const bool loaded = [] {
        legacyProvider = OSSL_PROVIDER_load(nullptr, "legacy");
        defaultProvider = OSSL_PROVIDER_load(nullptr, "default");
        if (!legacyProvider || !defaultProvider) {
            qCWarning(lcTransport) << "OpenSSL's legacy or default provider is not available;"
                                      " legacy PKCS#12 files will not import";
            ERR_clear_error();
        }
        // OpenSSL's own clean-up at exit leaves providers loaded by hand in place; this
        // handler, registered after OpenSSL's, runs before it.
        std::atexit([] {
            for (OSSL_PROVIDER* provider : {legacyProvider, defaultProvider}) {
                if (provider != nullptr) {
                    OSSL_PROVIDER_unload(provider);
                }
            }
        });
        return true;
    }();
}

/// The tool's output as text; empty when it is not UTF-8.
QString decodeOutput(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text;
}

} // namespace

QString TLSCertificateError::description() const {
    switch (kind) {
    case Kind::opensslFailed:
        return QStringLiteral("OpenSSL failed during ") + step + QStringLiteral(": ") + output;
    case Kind::pkcs12ImportFailed:
        return QStringLiteral("PKCS#12 import failed with status %1.").arg(status);
    case Kind::certificateCopyFailed:
        return QStringLiteral("Could not copy certificate from identity. Status: %1.").arg(status);
    case Kind::opensslNotFound:
        return QStringLiteral("OpenSSL was not found. Install OpenSSL or run the M1 server with "
                              "--plain for local-only testing.");
    case Kind::missingIdentity:
        return QStringLiteral("The generated PKCS#12 file did not contain a SecIdentity.");
    case Kind::applicationSupportUnavailable:
        return QStringLiteral("Application Support directory could not be resolved.");
    case Kind::systemError:
        return output;
    }
    return {};
}

QStringList TLSCertificateManager::defaultOpenSSLCandidates() {
    return {QStringLiteral("/opt/homebrew/bin/openssl"), QStringLiteral("/usr/local/bin/openssl"),
            QStringLiteral("/usr/bin/openssl")};
}

Expected<QString, TLSCertificateError>
TLSCertificateManager::defaultDirectory(const ApplicationDirectories& directories) {
    const std::optional<QString> support = directories.applicationSupportDirectory();
    if (!support) {
        return TLSCertificateError::applicationSupportUnavailable();
    }
    return QDir(*support).filePath(defaultFolder);
}

TLSCertificateManager::TLSCertificateManager(QString directory, QStringList opensslCandidates)
    : m_directory(std::move(directory))
    , m_opensslCandidates(std::move(opensslCandidates)) {}

QString TLSCertificateManager::filePath(QLatin1StringView name) const {
    return QDir(m_directory).filePath(name);
}

Expected<TLSIdentityBundle, TLSCertificateError>
TLSCertificateManager::loadOrCreateIdentity(const QString& commonName) const {
    if (!PrivateFiles::makeDirectory(m_directory)) {
        return TLSCertificateError::systemError(QStringLiteral("Cannot create the directory ") +
                                                m_directory);
    }
    const QString pkcs12Path = filePath(pkcs12FileName);
    const QString passphrasePath = filePath(passphraseFileName);
    if (!QFileInfo::exists(pkcs12Path)) {
        const QString passphrase = QString::fromStdString(SecureTokenGenerator::makeToken());
        if (!PrivateFiles::writeAtomically(passphrasePath, passphrase.toUtf8())) {
            return TLSCertificateError::systemError(QStringLiteral("Cannot write ") +
                                                    passphrasePath);
        }
        if (std::optional<TLSCertificateError> failure = createPKCS12(commonName, passphrase)) {
            return *failure;
        }
    }

    QString passphrase;
    if (QFile file(passphrasePath); file.open(QIODevice::ReadOnly)) {
        passphrase = QString::fromUtf8(file.readAll()).trimmed();
    }
    QFile pkcs12(pkcs12Path);
    if (!pkcs12.open(QIODevice::ReadOnly)) {
        return TLSCertificateError::systemError(QStringLiteral("Cannot read ") + pkcs12Path +
                                                QStringLiteral(": ") + pkcs12.errorString());
    }
    return importIdentity(pkcs12.readAll(), passphrase);
}

QString TLSCertificateManager::subject(const QString& commonName) {
    QString subject = QStringLiteral("/CN=");
    subject.reserve(subject.size() + commonName.size());
    for (const QChar character : commonName) {
        if (character == u'/') {
            subject += u'-';
            continue;
        }
        // openssl reads a backslash as an escape and "+" as the start of a further
        // attribute, and then refuses a host name such as "A+B"; both mean themselves here.
        if (character == u'\\' || character == u'+') {
            subject += u'\\';
        }
        subject += character;
    }
    return subject;
}

std::optional<TLSCertificateError>
TLSCertificateManager::createPKCS12(const QString& commonName, const QString& passphrase) const {
    QString openssl;
    for (const QString& candidate : m_opensslCandidates) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable()) {
            openssl = candidate;
            break;
        }
    }
    if (openssl.isEmpty()) {
        return TLSCertificateError::opensslNotFound();
    }

    const QString keyPath = filePath(keyFileName);
    const QString certificatePath = filePath(certificateFileName);
    const QString pkcs12Path = filePath(pkcs12FileName);
    // openssl keeps the mode of a file it overwrites, so the unencrypted key goes into a
    // file that is private before the first byte of it is written.
    if (!PrivateFiles::restrictFile(keyPath)) {
        return TLSCertificateError::systemError(QStringLiteral("Cannot create ") + keyPath);
    }
    if (auto failure = runOpenSSL(
            openssl,
            {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
             QStringLiteral("rsa:2048"), QStringLiteral("-sha256"), QStringLiteral("-days"),
             QStringLiteral("3650"), QStringLiteral("-nodes"), QStringLiteral("-keyout"), keyPath,
             QStringLiteral("-out"), certificatePath, QStringLiteral("-subj"), subject(commonName)},
            certificateStep)) {
        return failure;
    }
    if (auto failure =
            runOpenSSL(openssl,
                       {QStringLiteral("pkcs12"), QStringLiteral("-export"),
                        QStringLiteral("-inkey"), keyPath, QStringLiteral("-in"), certificatePath,
                        QStringLiteral("-out"), pkcs12Path, QStringLiteral("-passout"),
                        QStringLiteral("pass:") + passphrase, QStringLiteral("-legacy")},
                       exportStep)) {
        // A file the failed export left behind would be taken for the identity from now on.
        QFile::remove(pkcs12Path);
        return failure;
    }
    QFile::remove(keyPath);
    QFile::remove(certificatePath);
    if (QFileInfo::exists(pkcs12Path) && !PrivateFiles::restrictFile(pkcs12Path)) {
        qCWarning(lcTransport) << "Cannot restrict" << pkcs12Path;
    }
    return std::nullopt;
}

std::optional<TLSCertificateError> TLSCertificateManager::runOpenSSL(const QString& program,
                                                                     const QStringList& arguments,
                                                                     QLatin1StringView step) const {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(m_directory);
    process.setProcessChannelMode(QProcess::MergedChannels);
    // Nothing may wait for a pass phrase typed at a terminal.
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(-1)) {
        return TLSCertificateError::systemError(QStringLiteral("Cannot run ") + program +
                                                QStringLiteral(": ") + process.errorString());
    }
    const auto limit = std::chrono::duration_cast<std::chrono::milliseconds>(opensslTimeLimit);
    if (!process.waitForFinished(int(limit.count()))) {
        process.kill();
        process.waitForFinished(-1);
        return TLSCertificateError::systemError(
            QStringLiteral("%1 did not finish the %2 within %3 seconds")
                .arg(program, step)
                .arg(opensslTimeLimit.count()));
    }
    const QByteArray output = process.readAll();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return TLSCertificateError::opensslFailed(step, decodeOutput(output));
    }
    return std::nullopt;
}

Expected<TLSIdentityBundle, TLSCertificateError>
TLSCertificateManager::importIdentity(QByteArrayView pkcs12, const QString& passphrase) {
    loadLegacyProviders();
    ERR_clear_error();

    const auto* cursor = reinterpret_cast<const unsigned char*>(pkcs12.data());
    const OpenSSLPointer<PKCS12, PKCS12_free> decoded(
        d2i_PKCS12(nullptr, &cursor, static_cast<long>(pkcs12.size())));
    if (!decoded) {
        return TLSCertificateError::pkcs12ImportFailed(takeOpenSSLStatus());
    }
    EVP_PKEY* parsedKey = nullptr;
    X509* parsedCertificate = nullptr;
    STACK_OF(X509)* parsedChain = nullptr;
    const bool parsed = PKCS12_parse(decoded.get(), passphrase.toUtf8().constData(), &parsedKey,
                                     &parsedCertificate, &parsedChain) == 1;
    OpenSSLPointer<EVP_PKEY, EVP_PKEY_free> key(parsedKey);
    const OpenSSLPointer<X509, X509_free> x509(parsedCertificate);
    const OpenSSLPointer<STACK_OF(X509), freeCertificates> chain(parsedChain);
    if (!parsed) {
        return TLSCertificateError::pkcs12ImportFailed(takeOpenSSLStatus());
    }
    if (!key || !x509) {
        return TLSCertificateError::missingIdentity();
    }

    const int derLength = i2d_X509(x509.get(), nullptr);
    if (derLength <= 0) {
        return TLSCertificateError::certificateCopyFailed(takeOpenSSLStatus());
    }
    QByteArray der(derLength, Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    if (i2d_X509(x509.get(), &out) != derLength) {
        return TLSCertificateError::certificateCopyFailed(takeOpenSSLStatus());
    }
    const QSslCertificate certificate(der, QSsl::Der);
    if (certificate.isNull()) {
        return TLSCertificateError::certificateCopyFailed(takeOpenSSLStatus());
    }
    // The key object takes the OpenSSL key over, so no unencrypted copy of it is made.
    const QSslKey privateKey(static_cast<Qt::HANDLE>(key.release()));
    if (privateKey.isNull()) {
        return TLSCertificateError::missingIdentity();
    }
    return TLSIdentityBundle{certificate, privateKey, fingerprintSHA256(certificate)};
}

QString TLSCertificateManager::fingerprintSHA256(const QSslCertificate& certificate) {
    return QString::fromLatin1(
        QCryptographicHash::hash(certificate.toDer(), QCryptographicHash::Sha256).toHex());
}

} // namespace quorix
