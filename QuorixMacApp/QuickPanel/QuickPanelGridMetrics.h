#pragma once

#include <QRectF>

namespace quorix {

/// Where the tiles of one page go: six columns of square tiles with fixed gaps, up to three
/// rows shown, the grid centred horizontally a fixed distance below the top edge.
struct QuickPanelGridMetrics {
    static constexpr int columns = 6;
    static constexpr int maxVisibleRows = 3;
    static constexpr qreal spacing = 14;
    static constexpr qreal maxTileSize = 78;
    /// Distance from the page's top edge to the grid.
    static constexpr qreal topInset = 44;

    qreal tileSize = 0;
    qreal gridWidth = 0;
    qreal gridHeight = 0;

    /// The metrics of a page `width` wide showing `count` buttons. A page without buttons
    /// still reserves one row.
    static QuickPanelGridMetrics metrics(qreal width, int count);

    /// The grid's box on a page `width` wide.
    QRectF gridRect(qreal width) const;
    /// Tile `index` (0-based, row by row) on a page `width` wide.
    QRectF tileRect(qreal width, int index) const;
};

} // namespace quorix
