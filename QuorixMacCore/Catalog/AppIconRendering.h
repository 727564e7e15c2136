#pragma once

#include "QuorixProtocol/Foundation.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

/// Application icons as stored in buttons, sent to the phone and drawn in the editor,
/// all under one scaling rule: the longer side fits into the requested size and an
/// image is never enlarged.
namespace quorix::AppIconRendering {

/// The size an image of `source` pixels is drawn at for `maxPixelSize`; empty for an
/// empty source or a size below 1.
QSize scaledSize(QSize source, int maxPixelSize);

/// The icon named by a desktop entry's "Icon" value: an absolute path is read as an
/// image file, anything else is looked up in the icon theme. Vector images are drawn
/// to fill `maxPixelSize`; bitmaps follow `scaledSize`. Nothing when the icon cannot be
/// found or decoded.
std::optional<QImage> normalizedIconImage(const QString& icon, int maxPixelSize);

/// `normalizedIconImage` encoded as PNG.
std::optional<Bytes> normalizedIconPNGData(const QString& icon, int maxPixelSize);

/// PNG encoding of an image; nothing for a null image or a failed encoding.
std::optional<Bytes> pngData(const QImage& image);

} // namespace quorix::AppIconRendering
