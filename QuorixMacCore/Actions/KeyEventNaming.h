#pragma once

#include "QuorixMacCore/Platform/ModifierFlags.h"
#include "QuorixProtocol/Models.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorix {

/// A keyboard event as the capture logic sees it, in macOS terms whatever produced it:
/// virtual key codes of ANSI key positions and the modifier flag bits of ModifierFlags.
struct KeyEvent {
    enum class Type {
        keyDown,
        /// A modifier key was pressed or released; `keyCode` is that key.
        modifiersChanged,
    };

    Type type = Type::keyDown;
    std::uint16_t keyCode = 0;
    /// The modifiers held after the event.
    ModifierFlagBits modifierFlags = 0;
    /// The text the key produces without modifiers other than Shift, when known.
    std::optional<std::string> charactersIgnoringModifiers;
    /// The text the key produces with all modifiers, when known.
    std::optional<std::string> characters;
    std::chrono::steady_clock::time_point time;
};

/// The held modifiers named by the flags, in the order command, shift, option, control,
/// function. Other bits (Caps Lock, device bits) are ignored.
std::vector<Modifier> quorixModifiers(ModifierFlagBits flags);

/// The modifier whose key has this code (54 to 63); Caps Lock (57) and every other code
/// give none.
std::optional<Modifier> quorixChangedModifier(std::uint16_t keyCode);

/// The stored key name of a key-down: the table of named keys by code first, otherwise
/// the key's text lower-cased and trimmed (a lone space reads "space"). Empty when the
/// key gives no usable text.
std::string quorixKeyName(const KeyEvent& event);

/// The left and right key of one modifier, for the "both keys together" gesture.
struct ModifierKeyPair {
    Modifier modifier;
    std::uint16_t leftKeyCode;
    std::uint16_t rightKeyCode;
};

/// The pairs in the order in which a capture checks them.
inline constexpr auto modifierKeyPairs = std::to_array<ModifierKeyPair>({
    {Modifier::command, ModifierKeyCodes::command, ModifierKeyCodes::rightCommand},
    {Modifier::shift, ModifierKeyCodes::shift, ModifierKeyCodes::rightShift},
    {Modifier::option, ModifierKeyCodes::option, ModifierKeyCodes::rightOption},
    {Modifier::control, ModifierKeyCodes::control, ModifierKeyCodes::rightControl},
});
static_assert(modifierKeyPairs.size() == 4);

} // namespace quorix
