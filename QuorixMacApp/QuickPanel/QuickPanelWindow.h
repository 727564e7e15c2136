#pragma once

#include "QuorixMacApp/QuickPanel/QuickPanelPageCache.h"
#include "QuorixMacApp/QuickPanel/QuickPanelPaging.h"
#include "QuorixMacApp/QuickPanel/QuickPanelSpring.h"
#include "QuorixProtocol/Models.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

namespace quorix {

class FloatingPanels;

/// The quick panel's window: the pages side by side in a strip that scrolls, drags and
/// springs from page to page, clipped to a rounded shape, with the page dots below. It
/// floats above other windows and never takes the keyboard focus, so the application in
/// use keeps it while the user clicks tiles.
class QuickPanelWindow final : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize panelSize{844, 390};
    static constexpr qreal cornerRadius = 28;
    /// The page dots sit this far above the bottom edge.
    static constexpr qreal indicatorBottomInset = 18;
    /// Tiles are pressed within this rounded shape.
    static constexpr qreal tileCornerRadius = 20;

    QuickPanelWindow(MacAppIconImageCache& appIcons, QuickPanelPictures& pictures,
                     std::shared_ptr<FloatingPanels> floatingPanels, QWidget* parent = nullptr);
    ~QuickPanelWindow() override;

    /// Starts an opening on `pages` at `initialPage`, without moving there visibly.
    void open(const std::vector<QuickPanelPageSource>& pages,
              QuickPanelPageCache::ButtonLoader loadButtons, int initialPage);
    /// Takes a new list of pages when their number changed: stays on the same page if it
    /// still exists, else goes to the last one, and forgets scrolling and dragging.
    void setPages(const std::vector<QuickPanelPageSource>& pages,
                  QuickPanelPageCache::ButtonLoader loadButtons);
    /// Shows the window without activating it.
    void present();
    /// Hides the window and forgets the opening's pages and pictures.
    void dismiss();

    int pageCount() const { return m_pages.pageCount(); }
    const QuickPanelPageState& pageState() const { return m_pageState; }
    /// Scroll paging; whether the event was used.
    bool handleScroll(const InputEvents::Scroll& event);

    /// Where the strip is: the horizontal position of the first page, and where it is going.
    double stripPosition() const { return m_strip.position; }
    double stripTarget() const;
    bool isAnimating() const { return m_animation.isActive(); }
    /// Moves the strip on by `seconds` of its spring, as a frame of the animation does.
    void advanceAnimation(double seconds);

    /// The rectangle of tile `index` of the current page, in the window's coordinates.
    QRectF tileRect(int index);

Q_SIGNALS:
    /// A tile was clicked.
    void runRequested(const ActionSpec& action);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    /// The tile of the current page under `position`, if any.
    std::optional<int> tileAt(QPointF position);
    void animateToTarget();
    void animationFrame();
    void prerenderNeighbours();
    void updateShape();

    std::shared_ptr<FloatingPanels> m_floatingPanels;
    QuickPanelPageCache m_pages;
    QuickPanelPageState m_pageState;
    QuickPanelSpring m_spring;
    QuickPanelSpring::State m_strip;
    qreal m_dragOffset = 0;
    QTimer m_animation;
    QElapsedTimer m_frameClock;
    QTimer m_prerender;
    bool m_translucent = false;

    struct Press {
        QPointF position;
        std::optional<int> tile;
        bool dragging = false;
        QuickPanelDragMotion motion;
    };
    std::optional<Press> m_press;
};

} // namespace quorix
