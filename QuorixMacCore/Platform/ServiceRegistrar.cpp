#include "QuorixMacCore/Platform/ServiceRegistrar.h"

#include <array>

namespace quorix {

namespace {

struct KnownError {
    int code;
    const char* meaning;
};

// The values every dns_sd implementation shares; the ones a registration can meet.
constexpr std::array<KnownError, 8> knownErrors{{
    {-65537, "no responder answered"},
    {-65539, "out of memory"},
    {-65540, "bad parameter"},
    {-65542, "bad state"},
    {-65544, "unsupported"},
    {-65548, "name conflict"},
    {-65549, "invalid name, type or TXT record"},
    {-65551, "responder incompatible with this client"},
}};

} // namespace

QString ServiceRegistrationError::description() const {
    QString text = QStringLiteral("DNS-SD registration failed with error %1").arg(code);
    for (const KnownError& known : knownErrors) {
        if (known.code == code) {
            text += QStringLiteral(" (%1)").arg(QLatin1String(known.meaning));
            break;
        }
    }
    return text + u'.';
}

} // namespace quorix
