#pragma once

#include <cstdint>
#include <map>

// Xlib's display; its header defines macros that must not reach the toolkit's headers, so
// its own (reserved) name is declared here.
struct _XDisplay; // NOLINT(bugprone-reserved-identifier)

namespace quorix::XkbKeyPositions {

/// The X keycode of every position of the virtual key table on the display's keyboard, by
/// virtual key code. Positions are found by the keyboard's own XKB key names (aliases
/// included), so they hold whatever the keycodes; only a server without XKB is assumed to
/// use evdev keycodes. Keycodes outside the display's range are left out.
std::map<std::uint16_t, unsigned> keycodesByVirtualKey(_XDisplay* display);

} // namespace quorix::XkbKeyPositions
