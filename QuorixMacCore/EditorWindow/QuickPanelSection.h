#pragma once

#include "QuorixMacCore/EditorWindow/QuickPanelControls.h"

#include <QPointer>
#include <QToolButton>
#include <QWidget>

class QFrame;
class QMenu;

namespace quorix {

/// The "info.circle" button that shows `text` in a popover 240 points wide, and hides it
/// again when clicked once more.
class QuickPanelInfoTip final : public QToolButton {
    Q_OBJECT

public:
    static constexpr int popoverWidth = 240;

    explicit QuickPanelInfoTip(QString text, QWidget* parent = nullptr);

    bool isShowing() const;
    void setShowing(bool showing);

private:
    QString m_text;
    QPointer<QFrame> m_popover;
};

/// The quick-panel settings: how the panel is called up, and a button that shows it.
class QuickPanelSection final : public QWidget {
    Q_OBJECT

public:
    static constexpr const char* helpText =
        "登録したショートカットを画面上に一時表示します。作業中でも呼び出せる便利な機能です。";

    explicit QuickPanelSection(QuickPanelControls controls, QWidget* parent = nullptr);

    /// The trigger as if chosen from the menu.
    void selectTrigger(const QString& id);
    /// Shows `id` as the current trigger, chosen elsewhere; nothing is called back.
    void showTrigger(const QString& id);

    /// The trigger menu as it shows: the options in order, the current one checked.
    QMenu& triggerMenu();

private:
    void refreshTrigger();
    void fillTriggerMenu();

    QuickPanelControls m_controls;
    QString m_selectedTriggerID;
    QToolButton* m_trigger;
    QMenu* m_triggerMenu;
};

} // namespace quorix
