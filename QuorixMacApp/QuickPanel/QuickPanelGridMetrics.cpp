#include "QuorixMacApp/QuickPanel/QuickPanelGridMetrics.h"

#include <algorithm>

namespace quorix {

namespace {

// The width left for the grid is kept between these, whatever the page's width.
constexpr qreal horizontalMargins = 88;
constexpr qreal minGridSpan = 240;
constexpr qreal maxGridSpan = 640;

} // namespace

QuickPanelGridMetrics QuickPanelGridMetrics::metrics(qreal width, int count) {
    const int rows = std::max((count + columns - 1) / columns, 1);
    const int visibleRows = std::min(rows, maxVisibleRows);
    const qreal gaps = spacing * (columns - 1);
    const qreal span = std::min(std::max(width - horizontalMargins, minGridSpan), maxGridSpan);
    QuickPanelGridMetrics metrics;
    metrics.tileSize = std::min(maxTileSize, (span - gaps) / columns);
    metrics.gridWidth = columns * metrics.tileSize + gaps;
    metrics.gridHeight = visibleRows * metrics.tileSize + (visibleRows - 1) * spacing;
    return metrics;
}

QRectF QuickPanelGridMetrics::gridRect(qreal width) const {
    return QRectF((width - gridWidth) / 2, topInset, gridWidth, gridHeight);
}

QRectF QuickPanelGridMetrics::tileRect(qreal width, int index) const {
    const QRectF grid = gridRect(width);
    const int column = index % columns;
    const int row = index / columns;
    return QRectF(grid.left() + (tileSize + spacing) * column,
                  grid.top() + (tileSize + spacing) * row, tileSize, tileSize);
}

} // namespace quorix
