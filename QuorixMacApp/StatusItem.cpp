#include "QuorixMacApp/StatusItem.h"

#include "QuorixMacCore/Artwork/SymbolGlyphs.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>

namespace quorix {

namespace {

// Tray hosts scale the icon to their panel; these two cover ordinary and doubled screens.
constexpr std::array<qreal, 2> iconPixelRatios{1.0, 2.0};

} // namespace

StatusItem::StatusItem(Dispatch dispatch, QObject* parent)
    : QObject(parent)
    , m_dispatch(std::move(dispatch))
    , m_trayIcon(new QSystemTrayIcon(this)) {
    m_trayIcon->setToolTip(QStringLiteral("Kestrane"));
    updateIcon();
    // The status item opens its menu on any click, as a menu-bar item does; the tray's
    // own context-menu click already does so.
    connect(m_trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (m_menu && (reason == QSystemTrayIcon::Trigger ||
                               reason == QSystemTrayIcon::DoubleClick)) {
                    m_menu->popup(QCursor::pos());
                }
            });
    qApp->installEventFilter(this);
    m_trayIcon->show();
}

StatusItem::~StatusItem() {
    delete m_menu;
}

std::string_view StatusItem::symbolName() {
    for (const std::string_view name : symbolNames) {
        if (SymbolGlyphs::isKnown(name)) {
            return name;
        }
    }
    return fallbackSymbolName;
}

QIcon StatusItem::icon(const QColor& color) {
    QIcon icon;
    for (const qreal ratio : iconPixelRatios) {
        QPixmap pixmap(qRound(iconSide * ratio), qRound(iconSide * ratio));
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        SymbolGlyphs::paintSymbol(painter, symbolRect, symbolName(), color);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void StatusItem::updateIcon() {
    // A monochrome icon in the text colour of the desktop's theme reads on its panel,
    // light or dark, as a template image does on the menu bar.
    m_trayIcon->setIcon(icon(QApplication::palette().color(QPalette::WindowText)));
}

bool StatusItem::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) {
        updateIcon();
    }
    return false;
}

void StatusItem::setMenu(const std::vector<StatusMenuItem>& items) {
    auto* menu = new QMenu;
    menu->setObjectName(QStringLiteral("statusMenu"));
    fillMenu(*menu, items);
    m_trayIcon->setContextMenu(menu);
    // The old menu may be the one whose action led here; it goes once that has returned.
    if (m_menu) {
        m_menu->deleteLater();
    }
    m_menu = menu;
}

void StatusItem::fillMenu(QMenu& menu, const std::vector<StatusMenuItem>& items) {
    for (const StatusMenuItem& item : items) {
        if (item.isSeparator) {
            menu.addSeparator();
            continue;
        }
        if (!item.submenu.empty()) {
            QMenu* submenu = menu.addMenu(item.title);
            fillMenu(*submenu, item.submenu);
            continue;
        }
        QAction* action = menu.addAction(item.title);
        action->setEnabled(item.action != StatusMenuAction::none);
        if (item.isChecked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        if (item.action == StatusMenuAction::none) {
            continue;
        }
        connect(action, &QAction::triggered, this,
                [this, which = item.action, represented = item.representedObject] {
                    m_dispatch(which, represented);
                });
    }
}

} // namespace quorix
