#pragma once

#include <QByteArray>

#include <optional>

namespace quorix {

/// Re-encodes downloaded icon images as PNG of a bounded size.
namespace WebIconImageNormalizer {

/// The first image in `data`, turned upright as its orientation tag says and scaled
/// down so that its longer side is at most `maxPixelSide` (whole pixels; smaller
/// images keep their size), as PNG. Nothing when the data is no readable image.
/// Decodes straight to the target size; safe from any thread.
std::optional<QByteArray> normalizedPNGData(const QByteArray& data, double maxPixelSide);

} // namespace WebIconImageNormalizer

} // namespace quorix
