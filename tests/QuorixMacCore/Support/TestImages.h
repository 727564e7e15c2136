#pragma once

#include "QuorixProtocol/Foundation.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>

#include <optional>

namespace quorix::test {

/// `image` in `format`; `quality` and `compression` as Qt's writer takes them.
inline Bytes encodedImage(const QImage& image, const char* format, int quality = -1,
                          int compression = -1) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setCompression(compression);
    writer.write(image);
    return Bytes(data.begin(), data.end());
}

/// Top half `top`, bottom half `bottom`, so that a turn can be told.
inline QImage twoToneImage(int width, int height, QColor top, QColor bottom) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width, height / 2, top);
    painter.fillRect(0, height / 2, width, height - height / 2, bottom);
    return image;
}

/// Pixels no compressor can shrink much.
inline QImage noiseImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            line[x] = 0xff000000U | (random.generate() & 0x00ffffffU);
        }
    }
    return image;
}

/// The JPEG with an Exif block holding only the orientation tag (1 to 8).
inline Bytes withExifOrientation(const Bytes& jpeg, std::uint8_t orientation) {
    const Bytes exif{0xFF, 0xE1, 0x00, 0x22, 'E',  'x',         'i',  'f',  0x00, 0x00, 'M',  'M',
                     0x00, 0x2A, 0x00, 0x00, 0x00, 0x08,        0x00, 0x01, 0x01, 0x12, 0x00, 0x03,
                     0x00, 0x00, 0x00, 0x01, 0x00, orientation, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    Bytes result(jpeg.begin(), jpeg.begin() + 2); // after the start-of-image marker
    result.insert(result.end(), exif.begin(), exif.end());
    result.insert(result.end(), jpeg.begin() + 2, jpeg.end());
    return result;
}

inline std::optional<QImage> decodedImage(const Bytes& data, const char* format) {
    QImage image;
    if (!image.loadFromData(data.data(), static_cast<int>(data.size()), format)) {
        return std::nullopt;
    }
    return image;
}

} // namespace quorix::test
