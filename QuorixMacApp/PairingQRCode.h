#pragma once

#include "QuorixProtocol/PairingQRCodePayload.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

namespace quorix {

class QuorixMacServerController;

/// The pairing QR code: what it carries and its picture.
namespace PairingQRCode {

/// Each module of the code becomes a square of this many pixels.
inline constexpr int moduleScale = 12;

/// What the payload is made of.
struct Source {
    QString deviceName;
    QString pairingCode;
    /// Empty while the receiver speaks plain TCP.
    QString fingerprint;
    std::optional<QString> host;
    std::optional<std::uint16_t> port;
};

/// The controller's current values, with the desktop's preferred IPv4 address.
Source currentSource(const QuorixMacServerController& controller);

/// The payload for `source`: the fingerprint only when there is one, and secure transport
/// exactly then.
PairingQRCodePayload payload(const Source& source);

/// The code for `message` at error correction level M, one pixel per module, dark modules
/// black on white, without a quiet zone; nothing when the message does not fit a code.
std::optional<QImage> modules(const QByteArray& message);

/// The picture the pairing window shows: the payload's protocol JSON as a code, each
/// module `moduleScale` pixels wide; nothing when the payload cannot be encoded.
std::optional<QImage> makeQRCodeImage(const PairingQRCodePayload& payload);

} // namespace PairingQRCode
} // namespace quorix
