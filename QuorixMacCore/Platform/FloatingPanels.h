#pragma once

#include <memory>

class QWindow;

namespace quorix {

/// What the window system does for a panel that floats over every other window, on every
/// workspace, without ever taking the keyboard focus from the application in use.
class FloatingPanels {
public:
    virtual ~FloatingPanels() = default;

    /// Whether a compositor blends translucent windows with what lies below them; without
    /// one, a window that is not rectangular has to cut its shape out instead.
    virtual bool hasCompositor() const = 0;

    /// Asks the window manager, before every showing of `window`, to keep it above other
    /// windows and on every workspace, out of task lists and window cycling, and never to
    /// hand it the focus.
    virtual void prepareToShow(QWindow& window) = 0;
};

/// The window system the program runs on; does nothing where there is no X display.
std::shared_ptr<FloatingPanels> systemFloatingPanels();

} // namespace quorix
