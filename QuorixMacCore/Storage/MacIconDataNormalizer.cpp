#include "QuorixMacCore/Storage/MacIconDataNormalizer.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace quorix::MacIconDataNormalizer {

namespace {

enum class Outcome {
    notAnImage,
    smallEnough,
    failed,
    downsampled,
};

// Raster formats that icons come in. Layouts arrive from phones, so their bytes never reach
// the far larger readers of vector and document formats (SVG above all).
constexpr std::array<std::string_view, 8> iconFormats{"png", "jpeg", "jpg",  "gif",
                                                      "ico", "cur",  "webp", "bmp"};
static_assert(iconFormats.size() == 8);

bool isIconFormat(const QByteArray& format) {
    const std::string_view name(format.constData(), static_cast<std::size_t>(format.size()));
    return std::find(iconFormats.begin(), iconFormats.end(), name) != iconFormats.end();
}

struct Normalized {
    Outcome outcome;
    Bytes png;
};

// The size whose longer side is `maxPixelSide`, with the aspect ratio of `size`.
QSize boundedSize(QSize size, int maxPixelSide) {
    const int longer = std::max(size.width(), size.height());
    const double factor = static_cast<double>(maxPixelSide) / longer;
    const auto scaled = [&](int side) {
        return side == longer ? maxPixelSide
                              : std::max(1, static_cast<int>(std::lround(side * factor)));
    };
    return {scaled(size.width()), scaled(size.height())};
}

Normalized normalize(std::span<const std::uint8_t> data, int maxPixelSide) {
    if (maxPixelSide < 1 || data.empty()) {
        return {Outcome::notAnImage, {}};
    }
    // Reads the caller's bytes in place: the store checks every icon on every save.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()),
                                                     static_cast<qsizetype>(data.size()));
    QBuffer input;
    input.setData(bytes);
    input.open(QIODevice::ReadOnly);
    QImageReader reader(&input);
    if (!reader.canRead() || !isIconFormat(reader.format().toLower())) {
        return {Outcome::notAnImage, {}};
    }
    if (!imageNeedsDownsampling(reader, maxPixelSide)) {
        return {Outcome::smallEnough, {}};
    }

    reader.setAutoTransform(true);
    // The header size is the stored one, before the orientation turn; a quarter turn keeps
    // the longer side, so the bound holds for the upright image too.
    const QSize storedSize = reader.size();
    if (storedSize.isValid() && !storedSize.isEmpty()) {
        reader.setScaledSize(boundedSize(storedSize, maxPixelSide));
    }
    QImage image = reader.read();
    if (image.isNull()) {
        return {Outcome::failed, {}};
    }
    // Only formats that do not tell their size up front get here at full size; the
    // reader's allocation limit bounds them.
    if (std::max(image.width(), image.height()) > maxPixelSide) {
        image = image.scaled(boundedSize(image.size(), maxPixelSide), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    }

    QByteArray png;
    QBuffer output(&png);
    output.open(QIODevice::WriteOnly);
    QImageWriter writer(&output, "png");
    if (!writer.write(image)) {
        return {Outcome::failed, {}};
    }
    return {Outcome::downsampled, Bytes(png.begin(), png.end())};
}

} // namespace

bool imageNeedsDownsampling(QImageReader& source, int maxPixelSide) {
    const QSize size = source.size();
    if (!size.isValid()) {
        return true;
    }
    return std::max(size.width(), size.height()) > maxPixelSide;
}

std::optional<Bytes> normalizedPNGData(std::span<const std::uint8_t> data, int maxPixelSide) {
    Normalized result = normalize(data, maxPixelSide);
    switch (result.outcome) {
    case Outcome::smallEnough:
        return Bytes(data.begin(), data.end());
    case Outcome::downsampled:
        return std::move(result.png);
    case Outcome::notAnImage:
    case Outcome::failed:
        break;
    }
    return std::nullopt;
}

std::optional<Bytes> downsampledPNGData(std::span<const std::uint8_t> data, int maxPixelSide) {
    Normalized result = normalize(data, maxPixelSide);
    if (result.outcome != Outcome::downsampled) {
        return std::nullopt;
    }
    return std::move(result.png);
}

} // namespace quorix::MacIconDataNormalizer
