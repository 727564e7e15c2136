#include "QuorixMacCore/EditorWindow/SymbolView.h"

#include "QuorixMacCore/Artwork/SymbolGlyphs.h"

#include <QPainter>

namespace quorix {

SymbolView::SymbolView(std::string symbolName, int side, QColor color, QWidget* parent)
    : QWidget(parent)
    , m_symbolName(std::move(symbolName))
    , m_color(color) {
    setFixedSize(side, side);
}

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    SymbolGlyphs::paintSymbol(painter, rect(), m_symbolName, m_color);
}

} // namespace quorix
