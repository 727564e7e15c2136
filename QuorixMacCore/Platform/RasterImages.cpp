#include "QuorixMacCore/Platform/RasterImages.h"

#include "QuorixMacCore/Platform/PlatformLogging.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <array>
#include <cmath>

namespace quorix::RasterImages {

namespace {

constexpr std::array<std::string_view, 10> rasterFormats{"png", "jpeg", "jpg", "gif",  "ico",
                                                         "cur", "webp", "bmp", "tiff", "tif"};
static_assert(rasterFormats.size() == 10);

// Formats that cannot tell their size up front are held by the reader's own allocation
// check instead; the same bound, at four bytes a pixel.
constexpr int allocationLimitMegabytes = static_cast<int>(maxPixels * 4 / 1024 / 1024);

// The caller's bytes, read in place: the store looks at every icon on every save.
class ByteSource {
public:
    explicit ByteSource(std::span<const std::uint8_t> data)
        : m_bytes(QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()),
                                          static_cast<qsizetype>(data.size()))) {
        m_buffer.setBuffer(&m_bytes);
        m_buffer.open(QIODevice::ReadOnly);
    }
    QIODevice* device() { return &m_buffer; }

private:
    QByteArray m_bytes;
    QBuffer m_buffer;
};

bool isRaster(QImageReader& reader) {
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) {
        return false;
    }
    const QByteArray format = reader.format().toLower();
    const std::string_view name(format.constData(), static_cast<std::size_t>(format.size()));
    return std::find(rasterFormats.begin(), rasterFormats.end(), name) != rasterFormats.end();
}

Expected<QImage, RasterImageError> decode(QImageReader& reader, int maxPixelSide) {
    if (!isRaster(reader)) {
        return RasterImageError::notRaster;
    }
    if (maxPixelSide < 1) {
        return RasterImageError::undecodable;
    }
    const QSize storedSize = reader.size();
    if (storedSize.isValid() &&
        std::int64_t{storedSize.width()} * storedSize.height() > maxPixels) {
        qCDebug(lcPlatform) << "Refused an image of" << storedSize << "pixels";
        return RasterImageError::tooManyPixels;
    }
    reader.setAllocationLimit(allocationLimitMegabytes);
    reader.setAutoTransform(true);
    // The stored size is the one before the orientation turn; a quarter turn keeps the
    // longer side, so the bound holds for the upright image too.
    if (!storedSize.isEmpty()) {
        reader.setScaledSize(fittedSize(storedSize, maxPixelSide));
    }
    QImage image = reader.read();
    if (image.isNull()) {
        return RasterImageError::undecodable;
    }
    // Only images whose header tells no size get here larger than asked.
    const QSize fitted = fittedSize(image.size(), maxPixelSide);
    if (image.size() != fitted) {
        image = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return image;
}

} // namespace

QSize fittedSize(QSize source, int maxPixelSide) {
    if (source.isEmpty() || maxPixelSide < 1) {
        return {};
    }
    const int longer = std::max(source.width(), source.height());
    if (longer <= maxPixelSide) {
        return source;
    }
    const double factor = static_cast<double>(maxPixelSide) / longer;
    const auto scaled = [&](int side) {
        return side == longer ? maxPixelSide
                              : std::max(1, static_cast<int>(std::lround(side * factor)));
    };
    return {scaled(source.width()), scaled(source.height())};
}

bool fitsWithin(std::span<const std::uint8_t> data, int maxPixelSide) {
    ByteSource source(data);
    QImageReader reader(source.device());
    if (!isRaster(reader)) {
        return false;
    }
    const QSize size = reader.size();
    return size.isValid() && std::max(size.width(), size.height()) <= maxPixelSide;
}

Expected<QImage, RasterImageError> decodedImage(std::span<const std::uint8_t> data,
                                                int maxPixelSide) {
    ByteSource source(data);
    QImageReader reader(source.device());
    return decode(reader, maxPixelSide);
}

Expected<QImage, RasterImageError> decodedImage(const QString& path, int maxPixelSide) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return RasterImageError::undecodable;
    }
    QImageReader reader(&file);
    return decode(reader, maxPixelSide);
}

std::optional<Bytes> pngData(const QImage& image) {
    if (image.isNull()) {
        return std::nullopt;
    }
    QByteArray png;
    QBuffer output(&png);
    output.open(QIODevice::WriteOnly);
    QImageWriter writer(&output, "png");
    if (!writer.write(image)) {
        return std::nullopt;
    }
    return Bytes(png.begin(), png.end());
}

std::optional<Bytes> normalizedPNGData(std::span<const std::uint8_t> data, int maxPixelSide) {
    const Expected<QImage, RasterImageError> image = decodedImage(data, maxPixelSide);
    return image ? pngData(*image) : std::nullopt;
}

} // namespace quorix::RasterImages
