#pragma once

#include "QuorixMacCore/Actions/KeyEventTranslator.h"
#include "QuorixMacCore/Actions/MacKeyboardShortcutEditor.h"
#include "QuorixMacCore/Actions/ShortcutCapture.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QPushButton;
class QToolButton;

namespace quorix {

/// While it lives, records key combinations from the key events of one window: an
/// application-wide event filter takes the key events of the window that holds `view`,
/// while that window is the active one, and turns them into a capture. Events of other
/// windows, or of an inactive one, pass untouched.
class ShortcutCaptureFilter final : public QObject {
    Q_OBJECT

public:
    ShortcutCaptureFilter(QWidget* view, std::shared_ptr<NativeKeyCodes> keyCodes,
                          ShortcutCapture::ModifiersCallback onModifiersChanged,
                          ShortcutCapture::CaptureCallback onCapture);
    ~ShortcutCaptureFilter() override;

    /// Lets every event pass from now on.
    void stop();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isForView(QObject* watched) const;

    QPointer<QWidget> m_view;
    KeyEventTranslator m_translator;
    ShortcutCapture m_capture;
};

/// The keyboard action's editor: the shortcut field (press it, then the keys) and the
/// reset button, over the `MacKeyboardShortcutEditor` model.
class KeyboardShortcutEditorView final : public QWidget {
    Q_OBJECT

public:
    KeyboardShortcutEditorView(const KeyCombo& combo, std::shared_ptr<NativeKeyCodes> keyCodes,
                               MacKeyboardShortcutEditor::ChangeCallback onChange,
                               QWidget* parent = nullptr);

    /// The button's combo changed elsewhere (undo): shown unless recording.
    void showCombo(const KeyCombo& combo);

private:
    void refreshField();
    void setCapturing(bool capturing);

    std::shared_ptr<NativeKeyCodes> m_keyCodes;
    MacKeyboardShortcutEditor::ChangeCallback m_onChange;
    MacKeyboardShortcutEditor* m_model;
    QPushButton* m_field;
    QToolButton* m_resetButton;
    ShortcutCaptureFilter* m_capture = nullptr;
};

} // namespace quorix
