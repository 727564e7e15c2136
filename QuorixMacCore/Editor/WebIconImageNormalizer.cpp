#include "QuorixMacCore/Editor/WebIconImageNormalizer.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace quorix::WebIconImageNormalizer {

namespace {

// Raster formats web sites serve as icons. Vector and document formats (SVG above all)
// are parsed by far larger and less hardened readers, so downloaded bytes never reach
// them.
constexpr std::array<std::string_view, 8> acceptedFormats{"png", "jpeg", "jpg",  "gif",
                                                          "ico", "cur",  "webp", "bmp"};
static_assert(acceptedFormats.size() == 8);

bool isAcceptedFormat(const QByteArray& format) {
    return std::find(
               acceptedFormats.begin(), acceptedFormats.end(),
               std::string_view(format.constData(), static_cast<std::size_t>(format.size()))) !=
           acceptedFormats.end();
}

} // namespace

std::optional<QByteArray> normalizedPNGData(const QByteArray& data, double maxPixelSide) {
    if (!std::isfinite(maxPixelSide) || maxPixelSide < 1) {
        return std::nullopt;
    }
    const int maxSide = static_cast<int>(std::min(maxPixelSide, 1.0e6));

    QBuffer input;
    input.setData(data);
    input.open(QIODevice::ReadOnly);
    QImageReader reader(&input);
    if (!isAcceptedFormat(reader.format().toLower())) {
        return std::nullopt;
    }
    reader.setAutoTransform(true);
    // The stored size comes from the header; the scaled size applies before the
    // orientation turn, and a turn keeps the longer side, so the bound holds either way.
    const QSize storedSize = reader.size();
    if (storedSize.isValid()) {
        const int longer = std::max(storedSize.width(), storedSize.height());
        if (longer > maxSide) {
            const double factor = static_cast<double>(maxSide) / longer;
            reader.setScaledSize(
                QSize(std::max(1, static_cast<int>(std::lround(storedSize.width() * factor))),
                      std::max(1, static_cast<int>(std::lround(storedSize.height() * factor)))));
        }
    }
    QImage image = reader.read();
    if (image.isNull()) {
        return std::nullopt;
    }
    // Formats that cannot tell their size up front are already bounded by the reader's
    // allocation limit; bring them to the target here.
    if (std::max(image.width(), image.height()) > maxSide) {
        image = image.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }

    QByteArray png;
    QBuffer output(&png);
    output.open(QIODevice::WriteOnly);
    QImageWriter writer(&output, "png");
    if (!writer.write(image)) {
        return std::nullopt;
    }
    return png;
}

} // namespace quorix::WebIconImageNormalizer
