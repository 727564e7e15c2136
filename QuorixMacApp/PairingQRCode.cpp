#include "QuorixMacApp/PairingQRCode.h"

#include "QuorixMacCore/Control/QuorixMacServerController.h"
#include "QuorixMacCore/Transport/LocalNetworkAddressProvider.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <qrencode.h>

#include <memory>

namespace quorix::PairingQRCode {

Source currentSource(const QuorixMacServerController& controller) {
    return Source{controller.deviceName(), controller.pairingCode(), controller.fingerprint(),
                  LocalNetworkAddressProvider::preferredIPv4Address(), controller.port()};
}

PairingQRCodePayload payload(const Source& source) {
    PairingQRCodePayload payload{source.deviceName.toStdString(), source.pairingCode.toStdString()};
    if (!source.fingerprint.isEmpty()) {
        payload.fingerprint = source.fingerprint.toStdString();
    }
    if (source.host) {
        payload.host = source.host->toStdString();
    }
    payload.port = source.port;
    payload.usesSecureTransport = !source.fingerprint.isEmpty();
    return payload;
}

std::optional<QImage> modules(const QByteArray& message) {
    // Version 0 lets the encoder pick the smallest version that holds the message.
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(static_cast<int>(message.size()),
                          reinterpret_cast<const unsigned char*>(message.constData()), 0,
                          QR_ECLEVEL_M),
        &QRcode_free);
    if (!code || code->width <= 0) {
        return std::nullopt;
    }
    QImage image(code->width, code->width, QImage::Format_Grayscale8);
    for (int y = 0; y < code->width; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < code->width; ++x) {
            // The lowest bit of each byte tells a dark module; the others describe its role.
            line[x] = (code->data[y * code->width + x] & 1) != 0 ? 0 : 255;
        }
    }
    return image;
}

std::optional<QImage> makeQRCodeImage(const PairingQRCodePayload& payload) {
    const Encoded json = ProtocolJSON::encode(payload);
    if (!json) {
        return std::nullopt;
    }
    std::optional<QImage> image = modules(QByteArray::fromStdString(*json));
    if (!image) {
        return std::nullopt;
    }
    return image->scaled(image->size() * moduleScale, Qt::IgnoreAspectRatio,
                         Qt::FastTransformation);
}

} // namespace quorix::PairingQRCode
