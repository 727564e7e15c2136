#pragma once

#include "QuorixMacCore/Platform/EventPoster.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace quorix {

/// Posts keyboard events to an X display through its XTEST extension. Keys go by position:
/// a virtual key code becomes the X keycode of the key at that place on the display's
/// keyboard, whatever the layout. An event's flags are delivered as modifier keys held
/// around it (the left-hand Super, Alt, Control or Shift key, pressed before the event and
/// released after it), unless a key this poster holds down already gives that modifier.
/// The function flag and the function key have no X equivalent and are left out.
///
/// The display is opened on first use and again after it was lost, so the poster can be
/// made before any display is reachable.
class XTestEventPoster final : public EventPoster {
public:
    /// Posts to the named display (":1"); an empty name means the one in DISPLAY.
    explicit XTestEventPoster(std::string displayName = {});
    ~XTestEventPoster() override;
    XTestEventPoster(const XTestEventPoster&) = delete;
    XTestEventPoster& operator=(const XTestEventPoster&) = delete;

    /// Nothing when no display with XTEST is reachable or the key has no position there.
    std::optional<KeyboardEvent> createKeyboardEvent(std::uint16_t virtualKey, bool keyDown,
                                                     std::uint64_t flags) override;
    void post(const KeyboardEvent& event, EventTapLocation location) override;

    /// Whether a display with XTEST is reachable now.
    bool isReachable();
    /// The X keycode of the key at the virtual key code's position, if the display has one.
    std::optional<unsigned> xKeycode(std::uint16_t virtualKey);

private:
    struct Connection;

    Connection* connection();

    std::string m_displayName;
    std::mutex m_mutex;
    std::unique_ptr<Connection> m_connection;
};

} // namespace quorix
