#include "QuorixMacCore/Catalog/AppIconRendering.h"

#include <QBuffer>
#include <QDir>
#include <QIcon>
#include <QImageReader>
#include <QImageWriter>
#include <QPixmap>

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>

namespace quorix::AppIconRendering {

namespace {

// Qt's icon loader keeps its theme caches without a lock of its own; lookups from the
// scanner's callers on several threads must take turns.
std::mutex themeLookupLock;

// Desktop entries sometimes name a theme icon with its file extension, which theme
// lookup does not expect.
constexpr std::array<QLatin1StringView, 3> iconFileSuffixes{
    QLatin1StringView(".png"), QLatin1StringView(".svg"), QLatin1StringView(".xpm")};

bool isVectorFormat(const QByteArray& format) {
    return format == "svg" || format == "svgz";
}

QImage drawnAt(const QImage& image, QSize size) {
    if (image.size() == size) {
        return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

std::optional<QImage> imageFromFile(const QString& path, int maxPixelSize) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize nominal = reader.size();
    if (nominal.isValid() && !nominal.isEmpty()) {
        // A vector icon's best representation for the requested square is the whole
        // square; only bitmaps are held to their own pixel size.
        reader.setScaledSize(isVectorFormat(reader.format())
                                 ? nominal.scaled(maxPixelSize, maxPixelSize, Qt::KeepAspectRatio)
                                 : scaledSize(nominal, maxPixelSize));
    }
    const QImage image = reader.read();
    if (image.isNull()) {
        return std::nullopt;
    }
    return drawnAt(image, scaledSize(image.size(), maxPixelSize));
}

std::optional<QImage> imageFromTheme(QString name, int maxPixelSize) {
    for (QLatin1StringView suffix : iconFileSuffixes) {
        if (name.endsWith(suffix)) {
            name.chop(suffix.size());
            break;
        }
    }
    if (name.isEmpty()) {
        return std::nullopt;
    }
    QImage image;
    {
        std::scoped_lock lock(themeLookupLock);
        const QIcon icon = QIcon::fromTheme(name);
        if (icon.isNull()) {
            return std::nullopt;
        }
        // Pixels, not device-independent points: the data leaves this screen.
        image = icon.pixmap(QSize(maxPixelSize, maxPixelSize), 1.0).toImage();
    }
    if (image.isNull()) {
        return std::nullopt;
    }
    image.setDevicePixelRatio(1.0);
    return drawnAt(image, scaledSize(image.size(), maxPixelSize));
}

} // namespace

QSize scaledSize(QSize source, int maxPixelSize) {
    if (source.isEmpty() || maxPixelSize < 1) {
        return {};
    }
    const double scale =
        std::min(double(maxPixelSize) / std::max(source.width(), source.height()), 1.0);
    return {std::max(1, int(std::lround(source.width() * scale))),
            std::max(1, int(std::lround(source.height() * scale)))};
}

std::optional<QImage> normalizedIconImage(const QString& icon, int maxPixelSize) {
    if (icon.isEmpty() || maxPixelSize < 1) {
        return std::nullopt;
    }
    if (QDir::isAbsolutePath(icon)) {
        return imageFromFile(icon, maxPixelSize);
    }
    return imageFromTheme(icon, maxPixelSize);
}

std::optional<Bytes> normalizedIconPNGData(const QString& icon, int maxPixelSize) {
    const auto image = normalizedIconImage(icon, maxPixelSize);
    if (!image) {
        return std::nullopt;
    }
    return pngData(*image);
}

std::optional<Bytes> pngData(const QImage& image) {
    if (image.isNull()) {
        return std::nullopt;
    }
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) {
        return std::nullopt;
    }
    return Bytes(encoded.begin(), encoded.end());
}

} // namespace quorix::AppIconRendering
