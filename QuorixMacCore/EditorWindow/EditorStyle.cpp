#include "QuorixMacCore/EditorWindow/EditorStyle.h"

#include "QuorixMacCore/Artwork/SymbolGlyphs.h"

#include <QPainter>

namespace quorix::EditorStyle {

namespace {

// Text sizes in pixels: body (and headline), title, second title, caption.
constexpr int bodyPixelSize = 13;
constexpr int titlePixelSize = 22;
constexpr int secondTitlePixelSize = 17;
constexpr int captionPixelSize = 11;

QFont sized(const QFont& base, int pixelSize, QFont::Weight weight) {
    QFont font = base;
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

} // namespace

QFont editorFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
                      QStringLiteral("IPAGothic"), font.family()});
    font.setPixelSize(bodyPixelSize);
    return font;
}

QFont bodyFont(const QFont& base) {
    return sized(base, bodyPixelSize, QFont::Normal);
}

QFont bodySemiboldFont(const QFont& base) {
    return sized(base, bodyPixelSize, QFont::DemiBold);
}

QFont headlineFont(const QFont& base) {
    return sized(base, bodyPixelSize, QFont::Bold);
}

QFont titleFont(const QFont& base) {
    return sized(base, titlePixelSize, QFont::Bold);
}

QFont secondTitleFont(const QFont& base) {
    return sized(base, secondTitlePixelSize, QFont::Bold);
}

QFont captionFont(const QFont& base) {
    return sized(base, captionPixelSize, QFont::Normal);
}

QColor accent(const QPalette& palette) {
    return palette.color(QPalette::Active, QPalette::Highlight);
}

QColor destructive() {
    return QColor(0xff, 0x3b, 0x30);
}

QColor secondaryText(const QPalette& palette) {
    return withOpacity(palette.color(QPalette::WindowText), 0.6);
}

QColor sidebarBackground(const QPalette& palette) {
    return palette.color(QPalette::Window).darker(104);
}

QColor withOpacity(QColor color, qreal opacity) {
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

void paintTrashButton(QPainter& painter, const QRectF& rect, bool rowSelected) {
    const QColor symbol = rowSelected ? QColor(Qt::white) : destructive();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(
        withOpacity(symbol, rowSelected ? selectedControlOpacity : destructiveControlOpacity));
    painter.drawRoundedRect(rect, 6, 6);
    const QRectF glyph(rect.center() - QPointF(smallSymbolSize / 2.0, smallSymbolSize / 2.0),
                       QSizeF(smallSymbolSize, smallSymbolSize));
    SymbolGlyphs::paintSymbol(painter, glyph, "trash", symbol);
    painter.restore();
}

} // namespace quorix::EditorStyle
