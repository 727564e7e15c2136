#include "QuorixMacApp/QuickPanel/QuickPanel.h"

#include "QuorixMacApp/QuickPanel/QuickPanelPages.h"
#include "QuorixMacApp/QuickPanel/QuickPanelWindow.h"
#include "QuorixMacCore/Actions/ActionExecuting.h"
#include "QuorixMacCore/Catalog/MacAppIconImageCache.h"
#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/Platform/FloatingPanels.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace quorix {

namespace {

bool isWithin(const QRect& frame, qreal margin, QPointF point) {
    return QRectF(frame).adjusted(-margin, -margin, margin, margin).contains(point);
}

} // namespace

QuickPanel::QuickPanel(MacEditorState& state, std::shared_ptr<ActionExecuting> executor,
                       Options options, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_executor(std::move(executor))
    , m_options(std::move(options)) {
    if (!m_options.beep) {
        m_options.beep = [] { QApplication::beep(); };
    }
    if (!m_options.floatingPanels) {
        m_options.floatingPanels = systemFloatingPanels();
    }
    if (m_options.appIcons == nullptr) {
        m_options.appIcons = &MacAppIconImageCache::shared();
    }
    connect(&m_state, &MacEditorState::layoutChanged, this, &QuickPanel::followPageCount);
}

QuickPanel::~QuickPanel() = default;

QRect QuickPanel::placement(const std::optional<QRect>& available, QSize size) {
    const QRect area = available.value_or(fallbackScreenArea);
    return QRect(QPoint(area.x() + (area.width() - size.width()) / 2,
                        area.y() + (area.height() - size.height()) / 2),
                 size);
}

void QuickPanel::showQuickPanel() {
    std::vector<PageRecord> pages = QuickPanelPages::sortedPages(m_state.layout());
    if (!QuickPanelPages::hasAnyButton(pages)) {
        m_options.beep();
        return;
    }
    const int initialPage = QuickPanelPages::initialPageIndex(pages, m_state.selectedPageID());
    if (!m_window) {
        m_window =
            std::make_unique<QuickPanelWindow>(*m_options.appIcons, m_options.floatingPanels);
        connect(m_window.get(), &QuickPanelWindow::runRequested, this, &QuickPanel::runButton);
    }
    m_window->open(std::move(pages), initialPage);
    const QScreen* screen = QGuiApplication::primaryScreen();
    m_window->setGeometry(
        placement(screen != nullptr ? std::optional(screen->availableGeometry()) : std::nullopt,
                  QuickPanelWindow::panelSize));
    m_window->present();
}

void QuickPanel::toggleQuickPanel() {
    if (isQuickPanelVisible()) {
        hideQuickPanel();
    } else {
        showQuickPanel();
    }
}

void QuickPanel::hideQuickPanel() {
    if (m_window) {
        m_window->dismiss();
    }
}

bool QuickPanel::isQuickPanelVisible() const {
    return m_window && m_window->isVisible();
}

bool QuickPanel::handleScroll(const InputEvents::Scroll& event) {
    if (!isQuickPanelVisible() ||
        !isWithin(m_window->frameGeometry(), scrollMargin, event.globalPosition)) {
        return false;
    }
    return m_window->handleScroll(event);
}

bool QuickPanel::handleMouseDown(const InputEvents::MouseDown& event) {
    if (isQuickPanelVisible() &&
        !isWithin(m_window->frameGeometry(), clickMargin, event.globalPosition)) {
        hideQuickPanel();
    }
    return false;
}

bool QuickPanel::handleKeyDown(const InputEvents::KeyDown& event) {
    if (!isQuickPanelVisible() || event.keyCode != escapeKeyCode) {
        return false;
    }
    hideQuickPanel();
    return true;
}

void QuickPanel::runButton(ActionSpec action) {
    hideQuickPanel();
    // The panel goes first, so that keystrokes and launches land where the user was.
    QTimer::singleShot(0, this, [this, action = std::move(action)] {
        m_executor->execute(action).then(this, [beep = m_options.beep](ExecuteOutcome outcome) {
            if (!outcome.success) {
                beep();
            }
        });
    });
}

void QuickPanel::followPageCount() {
    if (!isQuickPanelVisible()) {
        return;
    }
    std::vector<PageRecord> pages = QuickPanelPages::sortedPages(m_state.layout());
    if (int(pages.size()) != m_window->pageCount()) {
        m_window->setPages(std::move(pages));
    }
}

} // namespace quorix
