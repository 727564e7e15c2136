#pragma once

#include "QuorixProtocol/Foundation.h"

#include <cstdint>
#include <optional>
#include <span>

class QImageReader;

namespace quorix {

/// Shrinks custom icon images that are larger than a button needs.
namespace MacIconDataNormalizer {

/// `data` itself when its image is at most `maxPixelSide` on both sides; otherwise the
/// image turned upright as its orientation tag says, scaled so that its longer side is
/// `maxPixelSide`, as PNG. Nothing when the data is no readable image or the scaled image
/// cannot be made. Only raster formats are read (PNG, JPEG, GIF, ICO, WebP, BMP).
std::optional<Bytes> normalizedPNGData(std::span<const std::uint8_t> data, int maxPixelSide);

/// Like `normalizedPNGData`, but nothing as well when the image is small enough already,
/// so that callers deciding whether to replace `data` never copy it.
std::optional<Bytes> downsampledPNGData(std::span<const std::uint8_t> data, int maxPixelSide);

/// Whether the image behind `source` is larger than `maxPixelSide` on either side, read
/// from its header; true when the header does not tell.
bool imageNeedsDownsampling(QImageReader& source, int maxPixelSide);

} // namespace MacIconDataNormalizer
} // namespace quorix
