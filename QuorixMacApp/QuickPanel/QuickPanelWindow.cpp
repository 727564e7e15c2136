#include "QuorixMacApp/QuickPanel/QuickPanelWindow.h"

#include "QuorixMacApp/QuickPanel/QuickPanelArtwork.h"
#include "QuorixMacCore/Platform/FloatingPanels.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>

#include <cmath>

namespace quorix {

namespace {

constexpr qreal outlineWidth = 1;
constexpr qreal outlineOpacity = 0.18;
constexpr qreal pressedTileOpacity = 0.22;
// Behind the pages, where the strip is pulled past its ends: the darkest colour of a page.
constexpr QColor stripBackdrop{0x07, 0x0a, 0x12};
// Frames come at the screen's rate; a late frame moves the spring no further than this.
constexpr double fallbackFrameRate = 60;
constexpr double longestFrameSeconds = 0.1;

QPainterPath roundedOutline(const QRectF& rect, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// The window never changes size, so what lies outside its rounded corners and its outline
// are worked out once rather than at every frame of the strip.
const QPainterPath& outsideCorners() {
    static const QPainterPath corners = [] {
        const QRectF bounds(QPointF(0, 0), QSizeF(QuickPanelWindow::panelSize));
        QPainterPath whole;
        whole.addRect(bounds);
        return whole.subtracted(roundedOutline(bounds, QuickPanelWindow::cornerRadius));
    }();
    return corners;
}

const QPainterPath& outline() {
    static const QPainterPath path = [] {
        const qreal inset = outlineWidth / 2;
        return roundedOutline(QRectF(QPointF(0, 0), QSizeF(QuickPanelWindow::panelSize))
                                  .adjusted(inset, inset, -inset, -inset),
                              QuickPanelWindow::cornerRadius - inset);
    }();
    return path;
}

QuickPanelDragMotion::Time eventTime(const QInputEvent& event) {
    return QuickPanelDragMotion::Time(event.timestamp());
}

} // namespace

QuickPanelWindow::QuickPanelWindow(MacAppIconImageCache& appIcons, QuickPanelPictures& pictures,
                                   std::shared_ptr<FloatingPanels> floatingPanels, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus)
    , m_floatingPanels(std::move(floatingPanels))
    , m_pages(appIcons, pictures) {
    setObjectName(QStringLiteral("quickPanelWindow"));
    setWindowTitle(QStringLiteral("Kestrane"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(panelSize);
    // Decided once, before the window exists: translucency cannot be switched on later.
    m_translucent = m_floatingPanels->hasCompositor();
    if (m_translucent) {
        setAttribute(Qt::WA_TranslucentBackground);
    } else {
        updateShape();
    }
    m_animation.setTimerType(Qt::PreciseTimer);
    connect(&m_animation, &QTimer::timeout, this, &QuickPanelWindow::animationFrame);
    m_prerender.setSingleShot(true);
    connect(&m_prerender, &QTimer::timeout, this, &QuickPanelWindow::prerenderNeighbours);
    connect(&m_pages, &QuickPanelPageCache::pageChanged, this, [this] { update(); });
}

QuickPanelWindow::~QuickPanelWindow() = default;

void QuickPanelWindow::open(const std::vector<QuickPanelPageSource>& pages,
                            QuickPanelPageCache::ButtonLoader loadButtons, int initialPage) {
    m_animation.stop();
    m_press.reset();
    m_pageState = QuickPanelPageState(initialPage);
    m_dragOffset = 0;
    m_pages.reset(pages, std::move(loadButtons), panelSize, devicePixelRatioF());
    m_strip = {stripTarget(), 0};
    update();
}

void QuickPanelWindow::setPages(const std::vector<QuickPanelPageSource>& pages,
                                QuickPanelPageCache::ButtonLoader loadButtons) {
    m_press.reset();
    m_pages.reset(pages, std::move(loadButtons), panelSize, devicePixelRatioF());
    m_pageState.pageCountChanged(m_pages.pageCount());
    m_dragOffset = 0;
    animateToTarget();
}

void QuickPanelWindow::present() {
    if (!isVisible()) {
        winId();
        m_floatingPanels->prepareToShow(*windowHandle());
        const qreal rate = screen() != nullptr ? screen()->refreshRate() : 0;
        m_animation.setInterval(int(1000 / (rate > 0 ? rate : fallbackFrameRate)));
        show();
    }
    raise();
}

void QuickPanelWindow::dismiss() {
    hide();
    m_animation.stop();
    m_prerender.stop();
    m_press.reset();
    m_pages.clear();
    m_pageState = QuickPanelPageState();
    m_dragOffset = 0;
}

bool QuickPanelWindow::handleScroll(const InputEvents::Scroll& event) {
    const int before = m_pageState.currentPage();
    const bool used = m_pageState.handleScrollWheel(event, pageCount());
    if (m_pageState.currentPage() != before) {
        animateToTarget();
    }
    return used;
}

double QuickPanelWindow::stripTarget() const {
    return -double(width()) * m_pageState.currentPage() + m_dragOffset;
}

void QuickPanelWindow::advanceAnimation(double seconds) {
    const double target = stripTarget();
    m_strip = m_spring.advance(m_strip, target, seconds);
    if (m_strip == QuickPanelSpring::State{target, 0}) {
        m_animation.stop();
    }
    update();
}

void QuickPanelWindow::animateToTarget() {
    if (!m_animation.isActive()) {
        m_frameClock.start();
        m_animation.start();
    }
    update();
}

void QuickPanelWindow::animationFrame() {
    const double seconds =
        std::min(static_cast<double>(m_frameClock.restart()) / 1000.0, longestFrameSeconds);
    advanceAnimation(seconds);
}

void QuickPanelWindow::prerenderNeighbours() {
    // One page per pass, so that input in between is not held up.
    const int current = m_pageState.currentPage();
    for (const int page : {current + 1, current - 1}) {
        if (page >= 0 && page < pageCount() && !m_pages.hasPicture(page)) {
            m_pages.picture(page);
            m_prerender.start();
            return;
        }
    }
}

QRectF QuickPanelWindow::tileRect(int index) {
    const int current = m_pageState.currentPage();
    const qreal left = m_strip.position + qreal(width()) * current;
    return m_pages.metrics(current).tileRect(width(), index).translated(left, 0);
}

std::optional<int> QuickPanelWindow::tileAt(QPointF position) {
    const int current = m_pageState.currentPage();
    if (current >= pageCount()) {
        return std::nullopt;
    }
    const int count = int(m_pages.buttons(current).size());
    for (int index = 0; index < count; ++index) {
        if (roundedOutline(tileRect(index), tileCornerRadius).contains(position)) {
            return index;
        }
    }
    return std::nullopt;
}

void QuickPanelWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF bounds = rect();
    painter.fillRect(bounds, stripBackdrop);
    for (int page = 0; page < pageCount(); ++page) {
        const qreal left = m_strip.position + bounds.width() * page;
        if (left < bounds.width() && left > -bounds.width()) {
            painter.drawPixmap(QPointF(left, 0), m_pages.picture(page));
        }
    }
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_press && m_press->tile && !m_press->dragging) {
        painter.fillPath(roundedOutline(tileRect(*m_press->tile), tileCornerRadius),
                         QColor(0, 0, 0, int(255 * pressedTileOpacity)));
    }
    if (pageCount() > 1) {
        const QSizeF size = QuickPanelArtwork::pageIndicatorSize(pageCount());
        const QRectF dots(QPointF((bounds.width() - size.width()) / 2,
                                  bounds.height() - indicatorBottomInset - size.height()),
                          size);
        QuickPanelArtwork::paintPageIndicator(painter, dots, pageCount(),
                                              m_pageState.currentPage());
    }
    if (m_translucent) {
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.fillPath(outsideCorners(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    painter.setPen(QPen(QColor(255, 255, 255, int(255 * outlineOpacity)), outlineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline());
    const int current = m_pageState.currentPage();
    if ((current + 1 < pageCount() && !m_pages.hasPicture(current + 1)) ||
        (current > 0 && !m_pages.hasPicture(current - 1))) {
        m_prerender.start();
    }
}

void QuickPanelWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    Press press;
    press.position = event->position();
    press.tile = tileAt(press.position);
    press.motion.begin(press.position, eventTime(*event));
    m_press = std::move(press);
    update();
}

void QuickPanelWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!m_press) {
        return;
    }
    m_press->motion.move(event->position(), eventTime(*event));
    const QPointF translation = m_press->motion.translation();
    if (!m_press->dragging &&
        std::hypot(translation.x(), translation.y()) >= QuickPanelDragPaging::minDragDistance) {
        m_press->dragging = true;
        m_press->tile.reset();
    }
    if (m_press->dragging) {
        if (const auto offset = QuickPanelDragPaging::dragOffset(
                translation, m_pageState.currentPage(), pageCount(), width())) {
            m_dragOffset = *offset;
            m_animation.stop();
            m_strip = {stripTarget(), 0};
        }
    }
    update();
}

void QuickPanelWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_press || event->button() != Qt::LeftButton) {
        return;
    }
    Press press = std::move(*m_press);
    m_press.reset();
    if (press.dragging) {
        press.motion.move(event->position(), eventTime(*event));
        if (const auto target = QuickPanelDragPaging::releaseTarget(
                press.motion.translation(), press.motion.predictedEndTranslation(),
                m_pageState.currentPage(), pageCount(), width())) {
            m_pageState.setCurrentPage(*target);
        }
        m_dragOffset = 0;
        animateToTarget();
        return;
    }
    update();
    if (press.tile && tileAt(event->position()) == press.tile) {
        const int page = m_pageState.currentPage();
        Q_EMIT runRequested(m_pages.buttons(page)[std::size_t(*press.tile)].action);
    }
}

void QuickPanelWindow::wheelEvent(QWheelEvent* event) {
    InputEvents::Scroll scroll;
    const QPoint pixels = event->pixelDelta();
    if (!pixels.isNull()) {
        scroll.hasPreciseDeltas = true;
        scroll.deltaX = pixels.x();
        scroll.deltaY = pixels.y();
    } else {
        // One notch of a wheel is 120 eighths of a degree: a line.
        scroll.deltaX = event->angleDelta().x() / 120.0;
        scroll.deltaY = event->angleDelta().y() / 120.0;
    }
    scroll.phase = InputEvents::scrollPhase(event->phase());
    if (event->phase() == Qt::ScrollMomentum) {
        scroll.momentumPhase = InputEvents::ScrollPhase::changed;
    }
    scroll.globalPosition = event->globalPosition();
    scroll.time = std::chrono::steady_clock::now();
    event->setAccepted(handleScroll(scroll));
}

void QuickPanelWindow::closeEvent(QCloseEvent* event) {
    // Closed by the window manager or the session: the same as being hidden, as the window
    // is kept for the next opening.
    event->accept();
    dismiss();
}

void QuickPanelWindow::updateShape() {
    // Without a compositor the corners cannot be see-through, so the window's shape is cut.
    setMask(QRegion(roundedOutline(QRectF(QPointF(0, 0), QSizeF(panelSize)), cornerRadius)
                        .toFillPolygon()
                        .toPolygon()));
}

} // namespace quorix
