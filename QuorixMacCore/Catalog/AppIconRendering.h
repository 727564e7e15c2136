#pragma once

#include "QuorixProtocol/Foundation.h"

#include <QImage>
#include <QString>

#include <optional>

/// Application icons as stored in buttons, sent to the phone and drawn in the editor,
/// all under one scaling rule (`RasterImages::fittedSize`): the longer side fits into
/// the requested size and an image is never enlarged.
namespace quorix::AppIconRendering {

/// The icon named by a desktop entry's "Icon" value: an absolute path is read as an
/// image file (raster formats through `RasterImages`, vector ones drawn to fill
/// `maxPixelSize`), anything else is looked up in the icon theme. Nothing when the icon
/// cannot be found or decoded.
std::optional<QImage> normalizedIconImage(const QString& icon, int maxPixelSize);

/// `normalizedIconImage` encoded as PNG.
std::optional<Bytes> normalizedIconPNGData(const QString& icon, int maxPixelSize);

} // namespace quorix::AppIconRendering
