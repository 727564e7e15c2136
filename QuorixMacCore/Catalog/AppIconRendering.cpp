#include "QuorixMacCore/Catalog/AppIconRendering.h"

#include "QuorixMacCore/Platform/RasterImages.h"

#include <QDir>
#include <QIcon>
#include <QPixmap>

#include <array>
#include <mutex>

namespace quorix::AppIconRendering {

namespace {

// Qt's icon loader keeps its theme caches without a lock of its own; lookups from the
// scanner's callers on several threads must take turns.
std::mutex iconLoaderLock;

// Desktop entries sometimes name a theme icon with its file extension, which theme
// lookup does not expect.
constexpr std::array<QLatin1StringView, 3> iconFileSuffixes{
    QLatin1StringView(".png"), QLatin1StringView(".svg"), QLatin1StringView(".xpm")};

template <typename MakeIcon>
std::optional<QImage> drawnIcon(const MakeIcon& makeIcon, int maxPixelSize) {
    QImage image;
    {
        std::scoped_lock lock(iconLoaderLock);
        const QIcon icon = makeIcon();
        if (icon.isNull()) {
            return std::nullopt;
        }
        // Pixels, not device-independent points: the data leaves this screen. A vector
        // icon's best representation for the requested square is the whole square.
        image = icon.pixmap(QSize(maxPixelSize, maxPixelSize), 1.0).toImage();
    }
    if (image.isNull()) {
        return std::nullopt;
    }
    image.setDevicePixelRatio(1.0);
    const QSize fitted = RasterImages::fittedSize(image.size(), maxPixelSize);
    return fitted == image.size()
               ? image
               : image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

std::optional<QImage> iconImage(const QString& icon, int maxPixelSize) {
    if (QDir::isAbsolutePath(icon)) {
        Expected<QImage, RasterImageError> raster = RasterImages::decodedImage(icon, maxPixelSize);
        if (raster) {
            return std::move(raster).value();
        }
        // Vector files (and the odd legacy format) of locally installed applications.
        if (raster.error() == RasterImageError::notRaster) {
            return drawnIcon([&] { return QIcon(icon); }, maxPixelSize);
        }
        return std::nullopt;
    }
    QString name = icon;
    for (QLatin1StringView suffix : iconFileSuffixes) {
        if (name.endsWith(suffix)) {
            name.chop(suffix.size());
            break;
        }
    }
    if (name.isEmpty()) {
        return std::nullopt;
    }
    return drawnIcon([&] { return QIcon::fromTheme(name); }, maxPixelSize);
}

} // namespace

std::optional<QImage> normalizedIconImage(const QString& icon, int maxPixelSize) {
    if (icon.isEmpty() || maxPixelSize < 1) {
        return std::nullopt;
    }
    const std::optional<QImage> image = iconImage(icon, maxPixelSize);
    if (!image) {
        return std::nullopt;
    }
    return image->convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

std::optional<Bytes> normalizedIconPNGData(const QString& icon, int maxPixelSize) {
    const std::optional<QImage> image = normalizedIconImage(icon, maxPixelSize);
    return image ? RasterImages::pngData(*image) : std::nullopt;
}

} // namespace quorix::AppIconRendering
