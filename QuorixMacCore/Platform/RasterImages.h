#pragma once

#include "QuorixProtocol/Foundation.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>

namespace quorix {

/// Why image bytes gave no picture.
enum class RasterImageError {
    /// Not an image in one of the accepted raster formats (vector and document formats
    /// such as SVG land here too).
    notRaster,
    /// The header announces more than `RasterImages::maxPixels` pixels.
    tooManyPixels,
    /// Announced as a raster image, but it does not decode.
    undecodable,
};

/// The one way images that arrive from outside (custom icons from phones, site icons,
/// application icon files, pictures the user picks) become pixels and PNG.
///
/// Only raster formats are read: PNG, JPEG, GIF, ICO, WebP, BMP and TIFF. Vector and
/// scripted formats are parsed by far larger and less hardened readers, so foreign bytes
/// never reach them. Images are decoded straight to their target size, upright as their
/// orientation tag says, and an image whose header announces too many pixels is refused
/// before anything is allocated for it. Every function is safe from any thread.
namespace RasterImages {

/// The most pixels an image may announce: a 48-megapixel phone photo passes, while a
/// header claiming 60000 × 60000 pixels is refused before it can make us allocate
/// gigabytes.
inline constexpr std::int64_t maxPixels = std::int64_t{8192} * 8192;

/// `source` scaled so that its longer side is at most `maxPixelSide`, keeping the aspect
/// ratio (no side below 1); never enlarged. Empty for an empty source or a side below 1.
QSize fittedSize(QSize source, int maxPixelSide);

/// Whether `data` is an accepted raster image whose header says it is at most
/// `maxPixelSide` pixels on both sides; false as well when the header tells no size.
/// Reads the header only.
bool fitsWithin(std::span<const std::uint8_t> data, int maxPixelSide);

/// The first image in `data`, upright, decoded at `fittedSize(its size, maxPixelSide)`.
Expected<QImage, RasterImageError> decodedImage(std::span<const std::uint8_t> data,
                                                int maxPixelSide);

/// The same for the image file at `path`; the format is told by the content, never by
/// the file name. A file that cannot be opened is `undecodable`.
Expected<QImage, RasterImageError> decodedImage(const QString& path, int maxPixelSide);

/// The image as a single-image PNG; nothing for a null image or a failed encoding.
std::optional<Bytes> pngData(const QImage& image);

/// `decodedImage` encoded by `pngData`; nothing on any failure.
std::optional<Bytes> normalizedPNGData(std::span<const std::uint8_t> data, int maxPixelSide);

} // namespace RasterImages
} // namespace quorix
