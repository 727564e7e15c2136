#pragma once

#include <QObject>
#include <QPointer>

class QKeyEvent;
class QWidget;

namespace quorix {

class MacEditorState;

/// The editor's own undo, copy and paste keys (the platform's standard ones), handled for
/// key presses anywhere in the editor's window before any widget sees them: undo works even
/// in a text field, copy and paste of the selected button only while no text input has the
/// focus. Other windows' keys, and every key once the window is gone, pass untouched.
///
/// Watches the application's events from construction to destruction.
class EditorCommandMonitor final : public QObject {
    Q_OBJECT

public:
    enum class Command {
        none,
        undo,
        copy,
        paste,
    };

    /// Watches the keys of `window`'s top-level window; a child of `window`.
    EditorCommandMonitor(MacEditorState& state, QWidget& window);
    ~EditorCommandMonitor() override;

    /// Which editor command the key press asks for.
    static Command commandFor(const QKeyEvent& event);
    /// Whether the widget takes typed text, so copy and paste belong to it.
    static bool isTextInput(const QWidget* widget);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Carries the command out; whether the key press is used up.
    bool perform(Command command);

    MacEditorState& m_state;
    QPointer<QWidget> m_window;
};

} // namespace quorix
