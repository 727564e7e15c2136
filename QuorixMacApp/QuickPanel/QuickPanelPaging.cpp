#include "QuorixMacApp/QuickPanel/QuickPanelPaging.h"

#include <algorithm>
#include <cmath>

namespace quorix {

bool QuickPanelPageState::handleScrollWheel(const InputEvents::Scroll& event, int pageCount) {
    if (pageCount < 2) {
        return false;
    }
    const double dx = event.deltaX;
    if (std::abs(dx) <= minScrollDelta ||
        std::abs(dx) <= horizontalDominance * std::abs(event.deltaY)) {
        return false;
    }
    if (event.phase == InputEvents::ScrollPhase::began ||
        event.momentumPhase == InputEvents::ScrollPhase::began) {
        m_scrollAccumulator = 0;
    }
    m_scrollAccumulator += dx;
    const double threshold = event.hasPreciseDeltas ? preciseScrollThreshold : lineScrollThreshold;
    if (std::abs(m_scrollAccumulator) < threshold) {
        return true;
    }
    if (m_lastScrollPageChangeAt && event.time - *m_lastScrollPageChangeAt <= scrollPagePause) {
        return true;
    }
    const int target = m_currentPage + (m_scrollAccumulator > 0 ? 1 : -1);
    m_scrollAccumulator = 0;
    if (target >= 0 && target < pageCount) {
        m_lastScrollPageChangeAt = event.time;
        m_currentPage = target;
    }
    return true;
}

void QuickPanelPageState::pageCountChanged(int pageCount) {
    m_currentPage = std::min(std::max(pageCount - 1, 0), m_currentPage);
    m_scrollAccumulator = 0;
}

namespace QuickPanelDragPaging {

qreal rubberBandLimit(qreal width) {
    return std::max(54.0, width * 0.18);
}

qreal pageChangeThreshold(qreal width) {
    return std::max(72.0, width * 0.16);
}

std::optional<qreal> dragOffset(QPointF translation, int currentPage, int pageCount, qreal width) {
    if (pageCount < 2) {
        return 0.0;
    }
    const qreal dx = translation.x();
    if (std::abs(dx) <= followDominance * std::abs(translation.y())) {
        return std::nullopt;
    }
    if (currentPage == 0 && dx > 0) {
        return std::min(dx * rubberBandFactor, rubberBandLimit(width));
    }
    if (currentPage == pageCount - 1 && dx < 0) {
        return -std::min(std::abs(dx) * rubberBandFactor, rubberBandLimit(width));
    }
    return dx;
}

std::optional<int> releaseTarget(QPointF translation, QPointF predictedEndTranslation,
                                 int currentPage, int pageCount, qreal width) {
    const qreal dx = translation.x(), dy = translation.y();
    const qreal px = predictedEndTranslation.x(), py = predictedEndTranslation.y();
    const bool horizontal = std::abs(dx) > releaseDominance * std::abs(dy) ||
                            std::abs(px) > releaseDominance * std::abs(py);
    const qreal threshold = pageChangeThreshold(width);
    if (!horizontal ||
        (std::abs(dx) < threshold && std::abs(px) < predictedThresholdFactor * threshold)) {
        return std::nullopt;
    }
    const qreal direction = std::abs(px) > std::abs(dx) ? px : dx;
    const int target = currentPage + (direction < 0 ? 1 : -1);
    if (target < 0 || target >= pageCount) {
        return std::nullopt;
    }
    return target;
}

} // namespace QuickPanelDragPaging

void QuickPanelDragMotion::begin(QPointF position, Time time) {
    m_start = position;
    m_last = position;
    m_recent.assign(1, Sample{position, time});
}

void QuickPanelDragMotion::move(QPointF position, Time time) {
    m_last = position;
    m_recent.push_back({position, time});
    while (m_recent.size() > 1 && time - m_recent.front().time > velocityWindow) {
        m_recent.pop_front();
    }
}

QPointF QuickPanelDragMotion::predictedEndTranslation() const {
    if (m_recent.size() < 2) {
        return translation();
    }
    const Sample& first = m_recent.front();
    const Sample& last = m_recent.back();
    const double seconds = std::chrono::duration<double>(last.time - first.time).count();
    if (seconds <= 0) {
        return translation();
    }
    const QPointF velocity = (last.position - first.position) / seconds;
    return translation() + velocity * projectionSeconds;
}

} // namespace quorix
