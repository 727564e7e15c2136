#include "QuorixMacCore/EditorWindow/EditorCommandMonitor.h"

#include "QuorixMacCore/Editor/MacEditorState.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

namespace quorix {

EditorCommandMonitor::EditorCommandMonitor(MacEditorState& state, QWidget& window)
    : QObject(&window)
    , m_state(state)
    , m_window(&window) {
    qApp->installEventFilter(this);
}

EditorCommandMonitor::~EditorCommandMonitor() {
    if (qApp != nullptr) {
        qApp->removeEventFilter(this);
    }
}

EditorCommandMonitor::Command EditorCommandMonitor::commandFor(const QKeyEvent& event) {
    if (event.matches(QKeySequence::Undo)) {
        return Command::undo;
    }
    if (event.matches(QKeySequence::Copy)) {
        return Command::copy;
    }
    if (event.matches(QKeySequence::Paste)) {
        return Command::paste;
    }
    return Command::none;
}

bool EditorCommandMonitor::isTextInput(const QWidget* widget) {
    if (widget == nullptr) {
        return false;
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        return combo->isEditable();
    }
    // Text widgets of other kinds are recognised by the word in their class name.
    return qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QTextEdit*>(widget) != nullptr ||
           qobject_cast<const QPlainTextEdit*>(widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(widget) != nullptr ||
           QLatin1StringView(widget->metaObject()->className()).contains(QLatin1StringView("Text"));
}

bool EditorCommandMonitor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType() || !m_window) {
        return false;
    }
    const auto* target = static_cast<QWidget*>(watched);
    if (target->window() != m_window->window() || !m_window->isVisible()) {
        return false;
    }
    return perform(commandFor(*static_cast<QKeyEvent*>(event)));
}

bool EditorCommandMonitor::perform(Command command) {
    switch (command) {
    case Command::undo:
        if (!m_state.canUndo()) {
            return false;
        }
        m_state.undo();
        return true;
    case Command::copy:
        return !isTextInput(QApplication::focusWidget()) && m_state.copySelectedButton();
    case Command::paste:
        return !isTextInput(QApplication::focusWidget()) && m_state.pasteCopiedButton();
    case Command::none:
        break;
    }
    return false;
}

} // namespace quorix
