#pragma once

#include "QuorixMacCore/Platform/InputEvents.h"

namespace quorix {

/// What the shell asks of the quick panel: the trigger's three effects, the menu item, the
/// editor's button, and the events of the shell's monitors. Main thread only.
class QuickPanelPresenting {
public:
    virtual ~QuickPanelPresenting() = default;

    /// Opens the panel on the current layout, or refreshes an open one; beeps and opens
    /// nothing when no page has a button.
    virtual void showQuickPanel() = 0;
    /// Hides an open panel, else shows it.
    virtual void toggleQuickPanel() = 0;
    /// Orders the panel out (it is kept for the next opening) and forgets its page state.
    virtual void hideQuickPanel() = 0;
    virtual bool isQuickPanelVisible() const = 0;

    /// A scroll seen by a monitor; true when the panel used it (a local monitor then
    /// swallows it, a global one cannot).
    virtual bool handleScroll(const InputEvents::Scroll& event) = 0;
    /// A mouse-down or key-down seen by a monitor, for dismissal; true when the event is
    /// to be swallowed (only Escape, and only by the local monitor).
    virtual bool handleMouseDown(const InputEvents::MouseDown& event) = 0;
    virtual bool handleKeyDown(const InputEvents::KeyDown& event) = 0;
};

} // namespace quorix
