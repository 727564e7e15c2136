#include "QuorixMacApp/QuickPanel/QuickPanel.h"

#include "QuorixMacApp/QuickPanel/QuickPanelPages.h"
#include "QuorixMacApp/QuickPanel/QuickPanelWindow.h"
#include "QuorixMacCore/Actions/ActionExecuting.h"
#include "QuorixMacCore/Catalog/MacAppIconImageCache.h"
#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/Platform/FloatingPanels.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>

namespace quorix {

namespace {

bool isWithin(const QRect& frame, qreal margin, QPointF point) {
    return QRectF(frame).adjusted(-margin, -margin, margin, margin).contains(point);
}

std::vector<QuickPanelPageSource> pageSources(const std::vector<const PageRecord*>& pages) {
    std::vector<QuickPanelPageSource> sources;
    sources.reserve(pages.size());
    for (const PageRecord* page : pages) {
        sources.push_back({page->id, page->gradient});
    }
    return sources;
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
    m_decodeAheadTimer.setSingleShot(true);
    m_decodeAheadTimer.setInterval(decodeAheadDelay);
    connect(&m_decodeAheadTimer, &QTimer::timeout, this, &QuickPanel::decodeAhead);
    for (const auto change :
         {&MacEditorState::layoutChanged, &MacEditorState::selectedPageIDChanged}) {
        connect(&m_state, change, &m_decodeAheadTimer, qOverload<>(&QTimer::start));
    }
    m_decodeAheadTimer.start();
}

QuickPanel::~QuickPanel() = default;

QRect QuickPanel::placement(const std::optional<QRect>& available, QSize size) {
    const QRect area = available.value_or(fallbackScreenArea);
    return QRect(QPoint(area.x() + (area.width() - size.width()) / 2,
                        area.y() + (area.height() - size.height()) / 2),
                 size);
}

QuickPanelPageCache::ButtonLoader QuickPanel::buttonLoader() const {
    return [state = QPointer<MacEditorState>(&m_state)](const UUID& pageID) {
        if (state) {
            for (const PageRecord& page : state->layout().pages) {
                if (page.id == pageID) {
                    return QuickPanelPages::shownButtons(page.buttons);
                }
            }
        }
        return std::vector<QuorixButtonRecord>();
    };
}

void QuickPanel::showQuickPanel() {
    const std::vector<const PageRecord*> pages = QuickPanelPages::sortedPages(m_state.layout());
    if (!QuickPanelPages::hasAnyButton(pages)) {
        m_options.beep();
        return;
    }
    const int initialPage = QuickPanelPages::initialPageIndex(pages, m_state.selectedPageID());
    if (!m_window) {
        m_window = std::make_unique<QuickPanelWindow>(*m_options.appIcons, m_pictures,
                                                      m_options.floatingPanels);
        connect(m_window.get(), &QuickPanelWindow::runRequested, this, &QuickPanel::runButton);
    }
    m_window->open(pageSources(pages), buttonLoader(), initialPage);
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
        m_executor->execute(action).then(this,
                                         [beep = m_options.beep](const ExecuteOutcome& outcome) {
                                             if (!outcome.success) {
                                                 beep();
                                             }
                                         });
    });
}

void QuickPanel::decodeAhead() {
    // An open panel decodes the pages it shows itself.
    const std::vector<const PageRecord*> pages = QuickPanelPages::sortedPages(m_state.layout());
    if (isQuickPanelVisible() || pages.empty()) {
        return;
    }
    const PageRecord& page =
        *pages[std::size_t(QuickPanelPages::initialPageIndex(pages, m_state.selectedPageID()))];
    std::vector<QuorixButtonRecord> buttons = QuickPanelPages::shownButtons(page.buttons);
    std::vector<Bytes> pictures;
    for (QuorixButtonRecord& button : buttons) {
        if (auto* custom = std::get_if<IconRef::Custom>(&button.icon.value)) {
            pictures.push_back(std::move(custom->data));
        }
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal tileSize =
        QuickPanelGridMetrics::metrics(QuickPanelWindow::panelSize.width(), int(buttons.size()))
            .tileSize;
    m_pictures.decode(std::move(pictures),
                      QuickPanelPictures::pixelSide(
                          tileSize, screen != nullptr ? screen->devicePixelRatio() : 1.0));
}

void QuickPanel::followPageCount() {
    if (!isQuickPanelVisible()) {
        return;
    }
    const std::vector<const PageRecord*> pages = QuickPanelPages::sortedPages(m_state.layout());
    if (int(pages.size()) != m_window->pageCount()) {
        m_window->setPages(pageSources(pages), buttonLoader());
    }
}

} // namespace quorix
