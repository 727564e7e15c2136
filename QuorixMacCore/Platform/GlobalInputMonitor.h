#pragma once

#include "QuorixMacCore/Platform/InputEvents.h"

#include <functional>
#include <memory>

namespace quorix {

/// Watches input meant for any application of the desktop, not only this one, for the
/// quick panel: modifier changes (its trigger), Escape (its dismissal), mouse-downs and
/// scrolls. It sees nothing else: other keys are dropped before they are translated, so
/// what the user types is never read. It can only observe, never swallow an event.
class GlobalInputMonitor {
public:
    /// Where the events go, on the thread that started the monitor; empty handlers drop
    /// their kind.
    struct Handlers {
        std::function<void(const InputEvents::ModifierFlagsChanged&)> modifierFlagsChanged;
        std::function<void(const InputEvents::KeyDown&)> keyDown;
        std::function<void(const InputEvents::MouseDown&)> mouseDown;
        std::function<void(const InputEvents::Scroll&)> scroll;
    };

    virtual ~GlobalInputMonitor() = default;

    /// Starts watching, replacing any earlier handlers; whether events will arrive (false
    /// when the system offers no way to watch).
    virtual bool start(Handlers handlers) = 0;
    /// Stops watching; no handler runs after this returns.
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
};

/// Watches the desktop the program shows its windows on. Runs on the calling thread's event
/// loop, which it never blocks.
std::unique_ptr<GlobalInputMonitor> systemGlobalInputMonitor();

} // namespace quorix
