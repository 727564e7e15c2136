#include "QuorixMacCore/Artwork/BrandArtwork.h"

#include "QuorixMacCore/Artwork/SymbolGlyphs.h"
#include "QuorixMacCore/Editor/Color.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QtMath>

#include <initializer_list>

namespace quorix::BrandArtwork {

namespace {

// Marks are drawn on a unit tile; `paintTile` scales it to the requested side.
QColor hex(std::string_view text) {
    return Color::fromHex(text).toQColor();
}

QPolygonF polygon(std::initializer_list<QPointF> points) {
    return QPolygonF(QList<QPointF>(points));
}

/// Text as an outline of the given height-relative size, centred on `centre` and no wider
/// than `maxWidth`.
QPainterPath textOutline(const QString& text, QFont::Weight weight, qreal pixelSize, QPointF centre,
                         qreal maxWidth) {
    QFont font;
    // Outlines are read large and scaled down, so that hinting does not distort them.
    constexpr int referencePixelSize = 200;
    font.setPixelSize(referencePixelSize);
    font.setWeight(weight);
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF bounds = path.boundingRect();
    if (bounds.isEmpty()) {
        return path;
    }
    qreal scale = pixelSize / referencePixelSize;
    scale = std::min(scale, maxWidth / bounds.width());
    QTransform transform;
    transform.translate(centre.x(), centre.y());
    transform.scale(scale, scale);
    transform.translate(-bounds.center().x(), -bounds.center().y());
    return transform.map(path);
}

void paintXMark(QPainter& painter) {
    // A broad stroke falling to the right crossed by a hairline rising to the right.
    painter.setBrush(Qt::white);
    painter.drawPolygon(polygon({{0.27, 0.27}, {0.41, 0.27}, {0.73, 0.73}, {0.59, 0.73}}));
    painter.drawPolygon(polygon({{0.68, 0.27}, {0.725, 0.27}, {0.32, 0.73}, {0.275, 0.73}}));
}

void paintYouTubeMark(QPainter& painter) {
    painter.setBrush(hex("#ff0033"));
    painter.drawRoundedRect(QRectF(0.17, 0.27, 0.66, 0.46), 0.12, 0.12);
    SymbolGlyphs::paintSymbol(painter, QRectF(0.33, 0.33, 0.34, 0.34), "play.fill", Qt::white);
}

void paintAmazonMark(QPainter& painter) {
    // Shaping the word is the dearest part of the tile, and it never changes.
    static const QPainterPath word =
        textOutline(QStringLiteral("amazon"), QFont::Bold, 0.26, {0.5, 0.45}, 0.72);
    painter.fillPath(word, Qt::black);
    QPen smile(hex("#ff9900"), 0.05, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(smile);
    painter.setBrush(Qt::NoBrush);
    QPainterPath arrow;
    arrow.moveTo(0.22, 0.60);
    arrow.quadTo(0.48, 0.75, 0.74, 0.60);
    arrow.moveTo(0.665, 0.58);
    arrow.lineTo(0.75, 0.595);
    arrow.lineTo(0.73, 0.675);
    painter.drawPath(arrow);
    painter.setPen(Qt::NoPen);
}

void paintClaudeMark(QPainter& painter) {
    // Twelve tapering rays, long and short in turn, around an open centre.
    constexpr int rays = 12;
    constexpr qreal innerRadius = 0.06;
    constexpr qreal baseHalfWidth = 0.03;
    constexpr qreal tipHalfWidth = 0.012;
    painter.setBrush(Qt::white);
    for (int ray = 0; ray < rays; ++ray) {
        const qreal length = ray % 2 == 0 ? 0.30 : 0.23;
        painter.save();
        painter.translate(0.5, 0.5);
        painter.rotate(15.0 + ray * 360.0 / rays);
        painter.drawPolygon(polygon({{innerRadius, -baseHalfWidth},
                                     {length, -tipHalfWidth},
                                     {length, tipHalfWidth},
                                     {innerRadius, baseHalfWidth}}));
        painter.restore();
    }
}

void paintMercariMark(QPainter& painter) {
    static const QPainterPath letter =
        textOutline(QStringLiteral("m"), QFont::Black, 0.58, {0.5, 0.5}, 0.8);
    painter.fillPath(letter, Qt::white);
}

QColor tileColor(Brand brand) {
    switch (brand) {
    case Brand::x:
        return Qt::black;
    case Brand::youTube:
    case Brand::amazon:
        return Qt::white;
    case Brand::claude:
        return hex("#dc7258");
    case Brand::mercari:
        return hex("#ff0211");
    }
    return Qt::white;
}

} // namespace

std::optional<Brand> editorBrand(const URL& url) {
    if (!prefersBundledArtwork(url)) {
        return std::nullopt;
    }
    return webBrand(url);
}

std::optional<Brand> quickPanelBrand(const URL& url) {
    return webBrand(url);
}

void paintTile(QPainter& painter, const QRectF& rect, Brand brand) {
    const qreal side = std::min(rect.width(), rect.height());
    if (side <= 0) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.center().x() - side / 2, rect.center().y() - side / 2);
    painter.scale(side, side);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tileColor(brand));
    painter.drawRoundedRect(QRectF(0, 0, 1, 1), tileCornerRatio, tileCornerRatio);
    switch (brand) {
    case Brand::x:
        paintXMark(painter);
        break;
    case Brand::youTube:
        paintYouTubeMark(painter);
        break;
    case Brand::amazon:
        paintAmazonMark(painter);
        break;
    case Brand::claude:
        paintClaudeMark(painter);
        break;
    case Brand::mercari:
        paintMercariMark(painter);
        break;
    }
    painter.restore();
}

} // namespace quorix::BrandArtwork
