#pragma once

#include "QuorixMacCore/Platform/ModifierFlags.h"

#include <QPointF>
#include <Qt>

#include <chrono>
#include <cstdint>

namespace quorix {

/// Input seen by the program's event monitors, in the designed vocabulary whatever the
/// platform underneath: key codes are the virtual key codes (ANSI positions), modifier
/// flags the bits of `ModifierFlags`, positions global screen coordinates in logical
/// pixels, times on a steady clock.
namespace InputEvents {

using Time = std::chrono::steady_clock::time_point;

/// A modifier key went down or up; `flags` are the modifiers held after the change.
struct ModifierFlagsChanged {
    std::uint16_t keyCode = 0;
    ModifierFlagBits flags = 0;
    Time time{};
};

/// Escape, the one key other than modifiers that monitors report.
inline constexpr std::uint16_t escapeKeyCode = 53;

/// A key other than a modifier went down. Monitors report only the keys the program acts
/// on (Escape), never what the user types.
struct KeyDown {
    std::uint16_t keyCode = 0;
    ModifierFlagBits flags = 0;
    Time time{};
};

/// A mouse button went down, wherever the pointer was.
struct MouseDown {
    enum class Button {
        left,
        right,
        other
    };
    Button button = Button::left;
    QPointF globalPosition;
    Time time{};
};

/// The begin/end marks of a trackpad gesture and of its momentum.
enum class ScrollPhase {
    none,
    began,
    changed,
    ended,
    cancelled
};

/// The phase of a toolkit scroll event; momentum has no phase of its own here.
constexpr ScrollPhase scrollPhase(Qt::ScrollPhase phase) {
    switch (phase) {
    case Qt::ScrollBegin:
        return ScrollPhase::began;
    case Qt::ScrollUpdate:
        return ScrollPhase::changed;
    case Qt::ScrollEnd:
        return ScrollPhase::ended;
    case Qt::NoScrollPhase:
    case Qt::ScrollMomentum:
        break;
    }
    return ScrollPhase::none;
}

/// One scroll step. Precise deltas (trackpads, smooth scrolling) are in pixels; line-based
/// wheels report lines.
struct Scroll {
    double deltaX = 0;
    double deltaY = 0;
    bool hasPreciseDeltas = false;
    ScrollPhase phase = ScrollPhase::none;
    ScrollPhase momentumPhase = ScrollPhase::none;
    QPointF globalPosition;
    Time time{};
};

} // namespace InputEvents
} // namespace quorix
