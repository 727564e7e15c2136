#pragma once

#include "QuorixMacCore/Actions/KeyEventTranslator.h"
#include "QuorixMacCore/Platform/InputEvents.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class QMouseEvent;
class QWheelEvent;

namespace quorix {

/// Watches input inside the program's own windows, before any widget sees it: modifier
/// changes, Escape, mouse-downs and scrolls, in the same terms as the global monitor. A
/// handler that answers true swallows its event. Other keys pass untouched and unread.
class LocalInputMonitor final : public QObject {
    Q_OBJECT

public:
    struct Handlers {
        std::function<void(const InputEvents::ModifierFlagsChanged&)> modifierFlagsChanged;
        std::function<bool(const InputEvents::KeyDown&)> keyDown;
        std::function<bool(const InputEvents::MouseDown&)> mouseDown;
        std::function<bool(const InputEvents::Scroll&)> scroll;
    };

    /// Watches the application's events until destroyed.
    LocalInputMonitor(std::shared_ptr<NativeKeyCodes> keyCodes, Handlers handlers,
                      QObject* parent = nullptr);
    ~LocalInputMonitor() override;

    static InputEvents::MouseDown mouseDown(const QMouseEvent& event);
    /// Pixels for precise devices, lines (a notch is one) for wheels; nothing for an event
    /// that scrolls nowhere.
    static std::optional<InputEvents::Scroll> scroll(const QWheelEvent& event);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool keyEvent(const QKeyEvent& event);

    KeyEventTranslator m_translator;
    Handlers m_handlers;
};

} // namespace quorix
