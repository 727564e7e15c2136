#pragma once

#include "QuorixProtocol/Models.h"

#include <array>
#include <cstdint>

namespace quorix {

/// Device-independent modifier flag bits of a keyboard event, with the macOS values that
/// every part of the program speaks: capture, the quick-panel trigger and the keyboard
/// executor all read or write these bits, whatever the platform underneath.
using ModifierFlagBits = std::uint64_t;

namespace ModifierFlags {
inline constexpr ModifierFlagBits capsLock = 0x10000;
inline constexpr ModifierFlagBits shift = 0x20000;
inline constexpr ModifierFlagBits control = 0x40000;
inline constexpr ModifierFlagBits option = 0x80000;
inline constexpr ModifierFlagBits command = 0x100000;
/// The secondary Fn key.
inline constexpr ModifierFlagBits function = 0x800000;

struct Entry {
    Modifier modifier;
    ModifierFlagBits flag;
};

/// One flag per modifier, in the order in which an event's held modifiers are listed.
inline constexpr auto table = std::to_array<Entry>({
    {Modifier::command, command},
    {Modifier::shift, shift},
    {Modifier::option, option},
    {Modifier::control, control},
    {Modifier::function, function},
});
static_assert(table.size() == 5);

/// The flag bit of one modifier.
constexpr ModifierFlagBits flag(Modifier modifier) {
    for (const Entry& entry : table) {
        if (entry.modifier == modifier) {
            return entry.flag;
        }
    }
    return 0;
}
} // namespace ModifierFlags

/// The macOS virtual key codes of the modifier keys (ANSI positions).
namespace ModifierKeyCodes {
inline constexpr std::uint16_t rightCommand = 54;
inline constexpr std::uint16_t command = 55;
inline constexpr std::uint16_t shift = 56;
inline constexpr std::uint16_t capsLock = 57;
inline constexpr std::uint16_t option = 58;
inline constexpr std::uint16_t control = 59;
inline constexpr std::uint16_t rightShift = 60;
inline constexpr std::uint16_t rightOption = 61;
inline constexpr std::uint16_t rightControl = 62;
inline constexpr std::uint16_t function = 63;
} // namespace ModifierKeyCodes

} // namespace quorix
