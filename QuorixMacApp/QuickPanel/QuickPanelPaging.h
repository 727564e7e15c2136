#pragma once

#include "QuorixMacCore/Platform/InputEvents.h"

#include <QPointF>

#include <chrono>
#include <deque>
#include <optional>

namespace quorix {

/// The page the panel shows and the scroll input gathered towards the next page change;
/// one per opening of the panel.
class QuickPanelPageState {
public:
    /// Smaller horizontal deltas, and those not clearly more horizontal than vertical, are
    /// left to whatever lies under the pointer.
    static constexpr double minScrollDelta = 1.5;
    static constexpr double horizontalDominance = 1.15;
    /// Horizontal travel that turns a page: pixels for precise input (trackpads, smooth
    /// scrolling), lines for wheels that step.
    static constexpr double preciseScrollThreshold = 12;
    static constexpr double lineScrollThreshold = 2;
    /// A trackpad swipe goes on delivering deltas well after it turned a page; within this
    /// pause they turn no further page.
    static constexpr std::chrono::milliseconds scrollPagePause{200};

    explicit QuickPanelPageState(int currentPage = 0)
        : m_currentPage(currentPage) {}

    int currentPage() const { return m_currentPage; }
    double scrollAccumulator() const { return m_scrollAccumulator; }

    /// Takes a scroll step towards a page change among `pageCount` pages: positive
    /// horizontal travel goes to the next page, negative to the previous one. Whether the
    /// event was used; an unused event changes nothing.
    bool handleScrollWheel(const InputEvents::Scroll& event, int pageCount);

    /// A drag decided on this page.
    void setCurrentPage(int page) { m_currentPage = page; }

    /// The number of pages changed: stays on the same page when it still exists, else on
    /// the last one, and forgets gathered scrolling.
    void pageCountChanged(int pageCount);

private:
    int m_currentPage = 0;
    double m_scrollAccumulator = 0;
    std::optional<InputEvents::Time> m_lastScrollPageChangeAt;
};

/// How dragging the page strip sideways moves it and turns pages.
namespace QuickPanelDragPaging {

/// The pointer travels this far before a press becomes a drag (and no longer a click).
inline constexpr qreal minDragDistance = 24;
/// A drag moves the strip only while this much more horizontal than vertical.
inline constexpr qreal followDominance = 0.8;
/// Beyond the first or last page the strip follows the pointer this much, up to
/// `rubberBandLimit`.
inline constexpr qreal rubberBandFactor = 0.32;
/// A release counts as horizontal when this much more horizontal than vertical.
inline constexpr qreal releaseDominance = 1.15;
/// A flick turns the page when its predicted end is this many times the threshold away.
inline constexpr qreal predictedThresholdFactor = 1.25;

qreal rubberBandLimit(qreal width);
/// How far a drag must have moved the strip for a page change.
qreal pageChangeThreshold(qreal width);

/// The strip's offset for a drag by `translation` on a strip of pages `width` wide;
/// nothing when the drag is too vertical and the offset stays as it is.
std::optional<qreal> dragOffset(QPointF translation, int currentPage, int pageCount, qreal width);

/// The page a drag released at `translation`, heading for `predictedEndTranslation`,
/// turns to; nothing when it stays on the current one.
std::optional<int> releaseTarget(QPointF translation, QPointF predictedEndTranslation,
                                 int currentPage, int pageCount, qreal width);

} // namespace QuickPanelDragPaging

/// The pointer's path during a drag, and where a flick of it would come to rest.
///
/// The end is predicted as if the pointer went on at its speed over the last moments
/// (`velocityWindow`) for `projection` more: a slow drag or one that stopped before the
/// release predicts hardly more than its travel, a quick flick far more.
class QuickPanelDragMotion {
public:
    using Time = std::chrono::milliseconds;
    static constexpr Time velocityWindow{100};
    static constexpr double projectionSeconds = 0.25;

    void begin(QPointF position, Time time);
    void move(QPointF position, Time time);

    QPointF translation() const { return m_last - m_start; }
    QPointF predictedEndTranslation() const;

private:
    struct Sample {
        QPointF position;
        Time time;
    };
    QPointF m_start;
    QPointF m_last;
    std::deque<Sample> m_recent;
};

} // namespace quorix
