#pragma once

#include "QuorixProtocol/Models.h"

#include <QColor>
#include <QWidget>

namespace quorix {

class IconArtworkCache;
class MacEditorState;

/// A button's icon as the editor shows it, in a square of `artworkSize` points; see
/// `paintIconArtwork`. Repaints when a picture it waits for arrives.
class IconArtworkView final : public QWidget {
    Q_OBJECT

public:
    static constexpr int defaultArtworkSize = 46;

    explicit IconArtworkView(MacEditorState& state, QWidget* parent = nullptr);

    void setIcon(const IconRef& icon);
    const IconRef& icon() const { return m_icon; }
    /// The side of the square, in points; the view takes exactly that size.
    void setArtworkSize(int points);
    int artworkSize() const { return m_artworkSize; }
    /// The colour of system symbols; the palette's text colour until set.
    void setSymbolColor(QColor color);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    IconArtworkCache& m_cache;
    IconRef m_icon = IconRef::sfSymbol({});
    int m_artworkSize = defaultArtworkSize;
    QColor m_symbolColor;
};

} // namespace quorix
