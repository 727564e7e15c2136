#pragma once

#include "QuorixMacApp/StatusMenuModel.h"

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>

#include <array>
#include <functional>
#include <string_view>
#include <vector>

class QSystemTrayIcon;

namespace quorix {

/// The program's icon in the desktop's tray with the status menu. The icon is a symbol
/// drawn in the panel's text colour, redrawn when the desktop's palette changes.
class StatusItem final : public QObject {
    Q_OBJECT

public:
    /// The symbols tried for the icon, in order; the first the symbol table knows is drawn.
    static constexpr std::array<std::string_view, 3> symbolNames{
        "hand.tap.fill", "hand.point.up.left.fill", "cursorarrow.click.2"};
    /// Drawn when the table knows none of them.
    static constexpr std::string_view fallbackSymbolName = "rectangle.grid.3x2";
    /// The icon's square, and the symbol's square inside it.
    static constexpr int iconSide = 18;
    static constexpr QRect symbolRect{1, 1, 16, 16};

    using Dispatch = std::function<void(StatusMenuAction, const QString& representedObject)>;

    /// Shows the icon in the tray; `dispatch` runs the menu's actions.
    explicit StatusItem(Dispatch dispatch, QObject* parent = nullptr);
    ~StatusItem() override;

    /// The symbol the icon shows.
    static std::string_view symbolName();
    /// The icon in `color`, at the usual device pixel ratios.
    static QIcon icon(const QColor& color);

    /// Replaces the menu with a new one made from `items`.
    void setMenu(const std::vector<StatusMenuItem>& items);
    QMenu* menu() const { return m_menu; }
    const QSystemTrayIcon& trayIcon() const { return *m_trayIcon; }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillMenu(QMenu& menu, const std::vector<StatusMenuItem>& items);
    void updateIcon();

    Dispatch m_dispatch;
    QSystemTrayIcon* m_trayIcon;
    QPointer<QMenu> m_menu;
};

} // namespace quorix
