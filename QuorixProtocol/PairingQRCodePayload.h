#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorix {

/// What the pairing QR code carries, as the protocol encoder's JSON text.
struct PairingQRCodePayload {
    std::string serviceName;
    std::string code;
    std::optional<std::string> fingerprint;
    std::optional<std::string> host;
    std::optional<std::uint16_t> port;
    bool usesSecureTransport = false;

    bool operator==(const PairingQRCodePayload&) const = default;
};

} // namespace quorix
