#include "QuorixMacApp/QuickPanel/QuickPanelArtwork.h"

#include "QuorixMacCore/Artwork/SymbolGlyphs.h"
#include "QuorixMacCore/Editor/Color.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QtMath>

#include <algorithm>
#include <array>
#include <vector>

namespace quorix::QuickPanelArtwork {

namespace {

QColor hex(std::string_view text) {
    return Color::fromHex(text).toQColor();
}

QColor withOpacity(QColor color, qreal opacity) {
    color.setAlphaF(float(opacity));
    return color;
}

struct PresetAccents {
    GradientPreset preset;
    std::string_view primary;
    std::string_view secondary;
};

constexpr std::array presetAccents = std::to_array<PresetAccents>({
    {GradientPreset::zoom, "#2dd4ff", "#7c3aed"},
    {GradientPreset::teams, "#8b5cf6", "#22d3ee"},
    {GradientPreset::slack, "#36c5f0", "#f59e0b"},
    {GradientPreset::excel, "#34d399", "#22d3ee"},
    {GradientPreset::powerpoint, "#fb7185", "#f59e0b"},
    {GradientPreset::notion, "#cbd5e1", "#38bdf8"},
    {GradientPreset::x, "#94a3b8", "#22d3ee"},
    {GradientPreset::youtube, "#ef4444", "#22d3ee"},
    {GradientPreset::codex, "#14b8a6", "#a78bfa"},
    {GradientPreset::claudeCode, "#a78bfa", "#f472b6"},
    {GradientPreset::custom, "#22d3ee", "#f472b6"},
});
static_assert(presetAccents.size() == static_cast<std::size_t>(GradientPreset::custom) + 1);

// The dark base, top-leading to bottom-trailing.
constexpr std::array baseGradient =
    std::to_array<std::string_view>({"#070a12", "#101827", "#15111f", "#071414"});

constexpr qreal primaryGlowOpacity = 0.45;
constexpr qreal primaryGlowStart = 24;
constexpr qreal primaryGlowEnd = 360;
constexpr qreal secondaryGlowOpacity = 0.30;
constexpr qreal secondaryGlowStart = 20;
constexpr qreal secondaryGlowEnd = 420;
constexpr qreal patternOpacity = 0.72;

constexpr qreal gridPitch = 32;
constexpr qreal gridLineWidth = 0.7;
constexpr qreal gridLineOpacity = 0.055;
constexpr qreal traceWidth = 1.1;
constexpr qreal traceOpacity = 0.20;

// A circuit trace: where it starts, as shares of the page, and its five straight runs.
// The runs alternate 26 and 28 points; the traces keep to the margins around the grid.
struct Trace {
    QPointF start;
    std::array<QPointF, 5> runs;
    bool primaryColour;
};
constexpr std::array traces = std::to_array<Trace>({
    // Left margin, stepping down and to the right.
    {{0.035, 0.26}, {{{26, 0}, {0, 28}, {26, 0}, {0, 28}, {26, 0}}}, true},
    // Right margin, climbing with one diagonal.
    {{0.845, 0.62}, {{{28, 0}, {0, -26}, {28, 0}, {19.8, -19.8}, {0, -26}}}, false},
    // Along the bottom, towards the page dots.
    {{0.18, 0.93}, {{{26, 0}, {0, -28}, {26, 0}, {18.4, 18.4}, {28, 0}}}, true},
});

constexpr qreal dotSpacing = 7;
constexpr qreal currentDotSize = 7;
constexpr qreal otherDotSize = 5;
constexpr qreal currentDotOpacity = 0.9;
constexpr qreal otherDotOpacity = 0.35;
constexpr qreal indicatorHorizontalMargin = 10;
constexpr qreal indicatorVerticalMargin = 7;
// The translucent capsule stands in for a blurred material on the dark page.
constexpr qreal indicatorBackgroundOpacity = 0.12;

constexpr qreal symbolShare = 0.58;
constexpr qreal maxSymbolBox = 56;
constexpr qreal symbolFontShare = 0.78;
constexpr qreal shadowOpacity = 0.25;
constexpr qreal shadowRadius = 4;
constexpr qreal shadowOffsetY = 2;
constexpr qreal placeholderOpacity = 0.12;

QRectF centredSquare(const QRectF& frame, qreal side) {
    return QRectF(frame.center() - QPointF(side / 2, side / 2), QSizeF(side, side));
}

// Three box blurs in a row come close to a Gaussian of the given radius.
void blurAlpha(QImage& alpha, int radius) {
    if (radius <= 0) {
        return;
    }
    const int width = alpha.width(), height = alpha.height();
    std::vector<int> line;
    const auto pass = [&](auto&& at, int length, int lines) {
        line.resize(std::size_t(length));
        for (int l = 0; l < lines; ++l) {
            for (int i = 0; i < length; ++i) {
                line[std::size_t(i)] = at(l, i);
            }
            int sum = 0;
            for (int i = -radius; i <= radius; ++i) {
                sum += line[std::size_t(std::clamp(i, 0, length - 1))];
            }
            for (int i = 0; i < length; ++i) {
                at(l, i) = uchar(sum / (2 * radius + 1));
                sum += line[std::size_t(std::min(i + radius + 1, length - 1))];
                sum -= line[std::size_t(std::max(i - radius, 0))];
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass([&](int y, int x) -> uchar& { return alpha.scanLine(y)[x]; }, width, height);
        pass([&](int x, int y) -> uchar& { return alpha.scanLine(y)[x]; }, height, width);
    }
}

void paintShadow(QPainter& painter, const QRectF& frame, const QRectF& glyph,
                 std::string_view symbolName) {
    const qreal ratio = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;
    // Room for the blur to spread past the glyph on every side.
    const qreal margin = shadowRadius * 2;
    const QRectF area = glyph.adjusted(-margin, -margin, margin, margin);
    QImage alpha(qCeil(area.width() * ratio), qCeil(area.height() * ratio), QImage::Format_Alpha8);
    alpha.fill(0);
    {
        QPainter mask(&alpha);
        mask.scale(ratio, ratio);
        SymbolGlyphs::paintSymbol(mask, glyph.translated(-area.topLeft()), symbolName, Qt::black);
    }
    // Three box blurs half the radius wide reach about as far as the radius.
    blurAlpha(alpha, qRound(shadowRadius * ratio / 2));
    alpha.setDevicePixelRatio(ratio);
    QImage shadow(alpha.size(), QImage::Format_ARGB32_Premultiplied);
    shadow.fill(withOpacity(Qt::black, shadowOpacity));
    {
        QPainter tint(&shadow);
        tint.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        tint.drawImage(0, 0, alpha);
    }
    shadow.setDevicePixelRatio(ratio);
    painter.save();
    painter.setClipRect(frame.adjusted(-margin, -margin, margin, margin), Qt::IntersectClip);
    painter.drawImage(area.topLeft() + QPointF(0, shadowOffsetY), shadow);
    painter.restore();
}

} // namespace

Accents accents(GradientPreset preset) {
    const PresetAccents& entry = presetAccents[static_cast<std::size_t>(preset)];
    return {hex(entry.primary), hex(entry.secondary)};
}

void paintBackground(QPainter& painter, const QRectF& rect, GradientPreset preset) {
    painter.save();
    painter.setPen(Qt::NoPen);
    // Unit coordinates of the page, as the gradient is defined: stretched with the page.
    QLinearGradient base(0, 0, 1, 1);
    base.setCoordinateMode(QGradient::ObjectMode);
    for (std::size_t i = 0; i < baseGradient.size(); ++i) {
        base.setColorAt(qreal(i) / (baseGradient.size() - 1), hex(baseGradient[i]));
    }
    painter.fillRect(rect, base);

    const Accents colours = accents(preset);
    const auto glow = [&](QPointF centre, const QColor& colour, qreal opacity, qreal start,
                          qreal end) {
        QRadialGradient gradient(centre, end);
        gradient.setColorAt(0, withOpacity(colour, opacity));
        gradient.setColorAt(start / end, withOpacity(colour, opacity));
        gradient.setColorAt(1, withOpacity(colour, 0));
        painter.fillRect(rect, gradient);
    };
    glow(rect.topRight(), colours.primary, primaryGlowOpacity, primaryGlowStart, primaryGlowEnd);
    glow(rect.bottomLeft(), colours.secondary, secondaryGlowOpacity, secondaryGlowStart,
         secondaryGlowEnd);

    painter.setOpacity(painter.opacity() * patternOpacity);
    paintTechPattern(painter, rect, colours);
    painter.restore();
}

void paintTechPattern(QPainter& painter, const QRectF& rect, const Accents& accents) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.setPen(QPen(withOpacity(Qt::white, gridLineOpacity), gridLineWidth));
    // Counted in whole steps: a running sum of pitches would drift.
    for (int column = 0; rect.left() + column * gridPitch <= rect.right(); ++column) {
        const qreal x = rect.left() + column * gridPitch;
        painter.drawLine(QPointF(x, rect.top()), QPointF(x, rect.bottom()));
    }
    for (int row = 0; rect.top() + row * gridPitch <= rect.bottom(); ++row) {
        const qreal y = rect.top() + row * gridPitch;
        painter.drawLine(QPointF(rect.left(), y), QPointF(rect.right(), y));
    }
    painter.setBrush(Qt::NoBrush);
    for (const Trace& trace : traces) {
        QPolygonF points;
        QPointF point(rect.left() + trace.start.x() * rect.width(),
                      rect.top() + trace.start.y() * rect.height());
        points << point;
        for (const QPointF& run : trace.runs) {
            point += run;
            points << point;
        }
        const QColor colour = trace.primaryColour ? accents.primary : accents.secondary;
        painter.setPen(QPen(withOpacity(colour, traceOpacity), traceWidth, Qt::SolidLine,
                            Qt::FlatCap, Qt::MiterJoin));
        painter.drawPolyline(points);
    }
    painter.restore();
}

QSizeF pageIndicatorSize(int count) {
    if (count <= 0) {
        return {};
    }
    const qreal dots = currentDotSize + (count - 1) * otherDotSize + (count - 1) * dotSpacing;
    return {dots + 2 * indicatorHorizontalMargin, currentDotSize + 2 * indicatorVerticalMargin};
}

void paintPageIndicator(QPainter& painter, const QRectF& rect, int count, int currentPage) {
    if (count <= 0) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withOpacity(Qt::white, indicatorBackgroundOpacity));
    painter.drawRoundedRect(rect, rect.height() / 2, rect.height() / 2);
    qreal x = rect.left() + indicatorHorizontalMargin;
    for (int page = 0; page < count; ++page) {
        const bool current = page == currentPage;
        const qreal size = current ? currentDotSize : otherDotSize;
        painter.setBrush(withOpacity(Qt::white, current ? currentDotOpacity : otherDotOpacity));
        painter.drawEllipse(QRectF(x, rect.center().y() - size / 2, size, size));
        x += size + dotSpacing;
    }
    painter.restore();
}

qreal symbolPointSize(qreal size) {
    return std::min(size * symbolShare, maxSymbolBox) * symbolFontShare;
}

void paintSymbol(QPainter& painter, const QRectF& frame, std::string_view symbolName,
                 bool shadowed) {
    const QRectF glyph =
        centredSquare(frame, symbolPointSize(std::min(frame.width(), frame.height())));
    if (shadowed) {
        paintShadow(painter, frame, glyph, symbolName);
    }
    SymbolGlyphs::paintSymbol(painter, glyph, symbolName, Qt::white);
}

QRectF imageTileRect(const QRectF& frame) {
    const qreal size = std::min(frame.width(), frame.height());
    return centredSquare(frame, std::max(0.0, std::min(size * imageTileShare, size)));
}

void paintImageTile(QPainter& painter, const QRectF& frame, const QImage& image) {
    const QRectF tile = imageTileRect(frame);
    const qreal radius = tile.width() * imageTileCornerRatio;
    QPainterPath clip;
    clip.addRoundedRect(tile, radius, radius);
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.setClipPath(clip, Qt::IntersectClip);
    painter.drawImage(tile, image);
    painter.restore();
}

void paintImagePlaceholder(QPainter& painter, const QRectF& frame) {
    const QRectF tile = imageTileRect(frame);
    const qreal radius = tile.width() * imageTileCornerRatio;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withOpacity(Qt::white, placeholderOpacity));
    painter.drawRoundedRect(tile, radius, radius);
    painter.restore();
}

} // namespace quorix::QuickPanelArtwork
