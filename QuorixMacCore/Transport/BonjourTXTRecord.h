#pragma once

#include "QuorixMacCore/Platform/ServiceRegistrar.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

/// The TXT record the server advertises: what a phone needs to connect and to check the
/// certificate before it has paired.
namespace quorix::BonjourTXTRecord {

inline constexpr QLatin1StringView macDeviceType{"mac"};
inline constexpr QLatin1StringView protocolVersion{"m1"};
inline constexpr QLatin1StringView securityTLS{"tls"};
inline constexpr QLatin1StringView securityPlain{"plain"};

struct Fields {
    /// `macDeviceType` for this program.
    QString deviceType;
    /// `protocolVersion` for this program.
    QString version;
    /// The certificate's SHA-256 fingerprint text; absent in plain mode.
    std::optional<QString> fingerprintSHA256;
    /// `securityTLS` or `securityPlain`.
    QString security;
    /// The address phones should connect to; absent when the machine has none.
    std::optional<QString> host;
    /// The bound port; absent before the listener is ready.
    std::optional<std::uint16_t> port;
    /// The code currently shown to the user; empty when there is none.
    QString pairingCode;
};

/// The keys "deviceType", "version", "fingerprint", "security", "host", "port" in that
/// order, then "pairingCode" only when there is a code. An absent fingerprint or host is
/// the empty string; an absent port is the preferred port.
std::vector<TXTRecordEntry> entries(const Fields& fields);

} // namespace quorix::BonjourTXTRecord
