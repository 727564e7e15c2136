#pragma once

#include "QuorixMacCore/Actions/KeyEventNaming.h"
#include "QuorixMacCore/Platform/NativeKeyCodes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>

class QKeyEvent;

namespace quorix {

/// Turns the toolkit's key events into the events the shortcut capture reads: virtual key
/// codes by key position, and the modifiers held after each event as flag bits (Super is
/// Command, Alt is Option).
///
/// Keeps which modifier keys it saw go down, so that releasing one of two keys of the same
/// modifier still reports that modifier held.
class KeyEventTranslator {
public:
    /// Given to keys that have no position: no table names it, so such a key is named by
    /// its text alone.
    static constexpr std::uint16_t unpositionedKeyCode = 0xffff;

    explicit KeyEventTranslator(std::shared_ptr<NativeKeyCodes> keyCodes);

    /// A key press, or a press or release of a modifier key, in the capture's terms;
    /// nothing for releases of other keys and for events without a native keycode.
    std::optional<KeyEvent> translate(const QKeyEvent& event);

    /// Forgets the held modifier keys, as when listening stops.
    void reset() { m_heldModifierKeys.clear(); }

private:
    std::shared_ptr<NativeKeyCodes> m_keyCodes;
    std::set<std::uint16_t> m_heldModifierKeys;
};

} // namespace quorix
