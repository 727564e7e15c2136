#pragma once

#include "QuorixMacCore/Actions/ExecError.h"
#include "QuorixProtocol/Foundation.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorix {

/// Key names and the virtual key codes of the keys they name: positions on an ANSI
/// keyboard. There are no keypad, forward-delete, home, end or page keys.
namespace VirtualKeyMap {

struct Entry {
    std::string_view name;
    std::uint16_t code;
};

inline constexpr std::array<Entry, 75> entries{{
    {"a", 0},       {"s", 1},       {"d", 2},        {"f", 3},         {"h", 4},
    {"g", 5},       {"z", 6},       {"x", 7},        {"c", 8},         {"v", 9},
    {"b", 11},      {"q", 12},      {"w", 13},       {"e", 14},        {"r", 15},
    {"y", 16},      {"t", 17},      {"1", 18},       {"2", 19},        {"3", 20},
    {"4", 21},      {"6", 22},      {"5", 23},       {"=", 24},        {"9", 25},
    {"7", 26},      {"-", 27},      {"8", 28},       {"0", 29},        {"]", 30},
    {"o", 31},      {"u", 32},      {"[", 33},       {"i", 34},        {"p", 35},
    {"l", 37},      {"j", 38},      {"'", 39},       {"k", 40},        {";", 41},
    {"\\", 42},     {",", 43},      {"/", 44},       {"n", 45},        {"m", 46},
    {".", 47},      {"`", 50},      {"return", 36},  {"enter", 36},    {"tab", 48},
    {"space", 49},  {"delete", 51}, {"escape", 53},  {"esc", 53},      {"command", 55},
    {"shift", 56},  {"option", 58}, {"control", 59}, {"function", 63}, {"left", 123},
    {"right", 124}, {"down", 125},  {"up", 126},     {"f1", 122},      {"f2", 120},
    {"f3", 99},     {"f4", 118},    {"f5", 96},      {"f6", 97},       {"f7", 98},
    {"f8", 100},    {"f9", 101},    {"f10", 109},    {"f11", 103},     {"f12", 111},
}};

constexpr bool namesAreFilledAndDistinct() {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].name.empty()) {
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (entries[i].name == entries[j].name) {
                return false;
            }
        }
    }
    return true;
}
static_assert(namesAreFilledAndDistinct());

/// The name as it is looked up: without leading and trailing white space and line
/// breaks, in lower case.
std::string normalizedKeyName(std::string_view keyName);

/// The code of the named key; `unknownKey` carrying the name exactly as passed otherwise.
Expected<std::uint16_t, ExecError> code(std::string_view keyName);

} // namespace VirtualKeyMap
} // namespace quorix
