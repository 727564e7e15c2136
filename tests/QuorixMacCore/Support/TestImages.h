#pragma once

#include "QuorixProtocol/Foundation.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>

#include <optional>

namespace quorix::test {

inline Bytes toBytes(const QByteArray& data) {
    return Bytes(data.begin(), data.end());
}

/// `image` encoded by Qt's writer for `format`; `quality` and `compression` as the writer
/// takes them (-1: its default).
inline Bytes encodedImage(const QImage& image, const char* format, int quality = -1,
                          int compression = -1) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (compression >= 0) {
        writer.setCompression(compression);
    }
    writer.write(image);
    return toBytes(data);
}

/// Top half `top`, bottom half `bottom`: a picture whose orientation can be told.
inline QImage twoToneImage(int width, int height, QColor top, QColor bottom) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width, height / 2, top);
    painter.fillRect(0, height / 2, width, height - height / 2, bottom);
    return image;
}

/// Pixels no compressor can shrink much, from a fixed seed.
inline QImage noiseImage(int width, int height, quint32 seed = 7) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            line[x] = 0xff000000U | (random.generate() & 0x00ffffffU);
        }
    }
    return image;
}

/// The JPEG with an Exif block that carries only the orientation tag (1 to 8), placed right
/// after the start-of-image marker.
inline Bytes withExifOrientation(const Bytes& jpeg, std::uint8_t orientation) {
    const Bytes exif{
        0xFF, 0xE1,        0x00, 0x22,             // APP1 marker, length 34
        'E',  'x',         'i',  'f',  0x00, 0x00, // identifier
        'M',  'M',         0x00, 0x2A,             // big-endian TIFF header
        0x00, 0x00,        0x00, 0x08,             // first directory at offset 8
        0x00, 0x01,                                // one entry
        0x01, 0x12,        0x00, 0x03,             // orientation, SHORT
        0x00, 0x00,        0x00, 0x01,             // one value
        0x00, orientation, 0x00, 0x00,             // the value, padded
        0x00, 0x00,        0x00, 0x00,             // no next directory
    };
    Bytes result(jpeg.begin(), jpeg.begin() + 2);
    result.insert(result.end(), exif.begin(), exif.end());
    result.insert(result.end(), jpeg.begin() + 2, jpeg.end());
    return result;
}

/// The decoded image, or nothing when the bytes are no image; `format` names the format
/// the bytes must have.
inline std::optional<QImage> decodedImage(const Bytes& data, const char* format = nullptr) {
    QImage image;
    if (!image.loadFromData(data.data(), static_cast<int>(data.size()), format)) {
        return std::nullopt;
    }
    return image;
}

} // namespace quorix::test
