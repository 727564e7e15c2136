#include "QuorixMacCore/Pairing/SecureTokenGenerator.h"

#include "QuorixMacCore/Pairing/PairingLogging.h"

#include <QByteArray>

#include <array>

namespace quorix::SecureTokenGenerator {

std::string makeToken() {
    return makeToken(systemSecureRandomSource());
}

std::string makeToken(const SecureRandomSource& source) {
    std::array<std::uint8_t, tokenByteCount> bytes{};
    if (!source || !source(bytes)) {
        qCWarning(lcPairing) << "The secure random source failed; using the general generator";
        GeneralRandom::fill(bytes);
    }
    const QByteArray encoded =
        QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()))
            .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    return encoded.toStdString();
}

} // namespace quorix::SecureTokenGenerator
