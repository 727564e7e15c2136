#pragma once

#include "QuorixMacCore/Artwork/BrandArtwork.h"
#include "QuorixProtocol/Models.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSizeF>

#include <string_view>

class QPainter;

/// The drawings of the quick panel: a page's dark background with the accents of its preset
/// and a faint circuit pattern, the page dots, and the pieces a tile's icon is drawn with.
namespace quorix::QuickPanelArtwork {

/// The two accent colours of a page's background.
struct Accents {
    QColor primary;
    QColor secondary;

    bool operator==(const Accents&) const = default;
};
Accents accents(GradientPreset preset);

/// The page background for `preset`, filling `rect`: the dark diagonal gradient, the
/// primary accent glowing from the top-trailing corner, the secondary from the bottom-leading
/// one, and the tech pattern over them.
void paintBackground(QPainter& painter, const QRectF& rect, GradientPreset preset);

/// A square grid of faint lines with three circuit traces in the accent colours.
void paintTechPattern(QPainter& painter, const QRectF& rect, const Accents& accents);

/// The size of the row of `count` page dots with its margins.
QSizeF pageIndicatorSize(int count);
/// The page dots on their translucent capsule, filling `rect`.
void paintPageIndicator(QPainter& painter, const QRectF& rect, int count, int currentPage);

/// Pictures are drawn as tiles this share of the icon's size.
inline constexpr qreal imageTileShare = 0.82;
/// Corner radius of a picture tile as a share of its side.
inline constexpr qreal imageTileCornerRatio = BrandArtwork::tileCornerRatio;

/// The point size a symbol is drawn at in an icon of `size`.
qreal symbolPointSize(qreal size);
/// The symbol in white in the middle of `frame`, sized for it; with its soft drop shadow
/// when `shadowed` (a tile's own symbol, not a stand-in for a missing picture).
void paintSymbol(QPainter& painter, const QRectF& frame, std::string_view symbolName,
                 bool shadowed);
/// Where a picture tile goes in an icon `frame`.
QRectF imageTileRect(const QRectF& frame);
/// The image, stretched over a rounded square in the middle of `frame`.
void paintImageTile(QPainter& painter, const QRectF& frame, const QImage& image);
/// The faint rounded square that holds a picture's place until it is there.
void paintImagePlaceholder(QPainter& painter, const QRectF& frame);

} // namespace quorix::QuickPanelArtwork
