#include "QuorixMacCore/EditorWindow/IconArtworkView.h"

#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/EditorWindow/IconArtwork.h"

#include <QPainter>

namespace quorix {

IconArtworkView::IconArtworkView(MacEditorState& state, QWidget* parent)
    : QWidget(parent)
    , m_cache(IconArtworkCache::of(state)) {
    setFixedSize(m_artworkSize, m_artworkSize);
    connect(&m_cache, &IconArtworkCache::pictureArrived, this, qOverload<>(&QWidget::update));
    // An application's icon may come from the catalogue once it has loaded.
    connect(&state, &MacEditorState::installedAppsChanged, this, qOverload<>(&QWidget::update));
}

void IconArtworkView::setIcon(const IconRef& icon) {
    if (icon == m_icon) {
        return;
    }
    m_icon = icon;
    update();
}

void IconArtworkView::setArtworkSize(int points) {
    m_artworkSize = std::max(0, points);
    setFixedSize(m_artworkSize, m_artworkSize);
    update();
}

void IconArtworkView::setSymbolColor(QColor color) {
    m_symbolColor = color;
    update();
}

QSize IconArtworkView::sizeHint() const {
    return {m_artworkSize, m_artworkSize};
}

void IconArtworkView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor color = m_symbolColor.isValid() ? m_symbolColor : palette().color(QPalette::Text);
    paintIconArtwork(painter, rect(), m_icon, color, m_cache);
}

} // namespace quorix
