#pragma once

#include <cstdint>
#include <memory>
#include <optional>

namespace quorix {

/// Turns the keycodes of the platform's own key events into the virtual key codes (ANSI
/// positions) that the rest of the program speaks.
class NativeKeyCodes {
public:
    virtual ~NativeKeyCodes() = default;

    /// The virtual key code of the key with this native keycode (an X keycode here), by the
    /// key's position on the keyboard; nothing for a key without one (Caps Lock, the
    /// keypad, media keys) or when the keyboard cannot be read. Main thread only.
    virtual std::optional<std::uint16_t> virtualKeyCode(std::uint32_t nativeKeycode) = 0;
};

/// The keyboard of the display the program shows its windows on.
std::shared_ptr<NativeKeyCodes> systemNativeKeyCodes();

} // namespace quorix
