#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quorix {

/// Where each virtual key code (a position on an ANSI keyboard) sits on a PC keyboard: the
/// XKB name of the position, which every X keymap carries whatever its keycodes, and the
/// Linux input event code of the key, whose X keycode is 8 more on servers using evdev
/// keycodes. The function key is not on the table: it has no key the system sees.
namespace KeyPositions {

struct KeyPosition {
    std::uint16_t virtualKey;
    std::string_view xkbName;
    std::uint16_t evdevCode;
};

// Ordered by virtual key code so a lookup can search it.
inline constexpr std::array<KeyPosition, 76> table{{
    {0, "AC01", 30},    {1, "AC02", 31},    {2, "AC03", 32},    {3, "AC04", 33},
    {4, "AC06", 35},    {5, "AC05", 34},    {6, "AB01", 44},    {7, "AB02", 45},
    {8, "AB03", 46},    {9, "AB04", 47},    {11, "AB05", 48},   {12, "AD01", 16},
    {13, "AD02", 17},   {14, "AD03", 18},   {15, "AD04", 19},   {16, "AD06", 21},
    {17, "AD05", 20},   {18, "AE01", 2},    {19, "AE02", 3},    {20, "AE03", 4},
    {21, "AE04", 5},    {22, "AE06", 7},    {23, "AE05", 6},    {24, "AE12", 13},
    {25, "AE09", 10},   {26, "AE07", 8},    {27, "AE11", 12},   {28, "AE08", 9},
    {29, "AE10", 11},   {30, "AD12", 27},   {31, "AD09", 24},   {32, "AD07", 22},
    {33, "AD11", 26},   {34, "AD08", 23},   {35, "AD10", 25},   {36, "RTRN", 28},
    {37, "AC09", 38},   {38, "AC07", 36},   {39, "AC11", 40},   {40, "AC08", 37},
    {41, "AC10", 39},   {42, "BKSL", 43},   {43, "AB08", 51},   {44, "AB10", 53},
    {45, "AB06", 49},   {46, "AB07", 50},   {47, "AB09", 52},   {48, "TAB", 15},
    {49, "SPCE", 57},   {50, "TLDE", 41},   {51, "BKSP", 14},   {53, "ESC", 1},
    {54, "RWIN", 126},  {55, "LWIN", 125},  {56, "LFSH", 42},   {58, "LALT", 56},
    {59, "LCTL", 29},   {60, "RTSH", 54},   {61, "RALT", 100},  {62, "RCTL", 97},
    {96, "FK05", 63},   {97, "FK06", 64},   {98, "FK07", 65},   {99, "FK03", 61},
    {100, "FK08", 66},  {101, "FK09", 67},  {103, "FK11", 87},  {109, "FK10", 68},
    {111, "FK12", 88},  {118, "FK04", 62},  {120, "FK02", 60},  {122, "FK01", 59},
    {123, "LEFT", 105}, {124, "RGHT", 106}, {125, "DOWN", 108}, {126, "UP", 103},
}};

constexpr bool isOrderedByVirtualKey() {
    for (std::size_t i = 1; i < table.size(); ++i) {
        if (table[i - 1].virtualKey >= table[i].virtualKey) {
            return false;
        }
    }
    return true;
}
static_assert(isOrderedByVirtualKey());

/// The function key's code; it has no position.
constexpr std::uint16_t functionKey = 63;
/// X keycodes of servers using evdev keycodes are the input event codes plus this.
constexpr unsigned evdevKeycodeOffset = 8;

constexpr std::optional<KeyPosition> position(std::uint16_t virtualKey) {
    std::size_t low = 0;
    std::size_t high = table.size();
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        if (table[middle].virtualKey < virtualKey) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (low < table.size() && table[low].virtualKey == virtualKey) {
        return table[low];
    }
    return std::nullopt;
}

} // namespace KeyPositions
} // namespace quorix
