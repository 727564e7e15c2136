#pragma once

namespace quorix {

/// The spring that moves the page strip: a damped oscillator of the given response (the
/// period it would swing with undamped, in seconds) and damping fraction (1 is critical).
/// Stepping is exact for any step length, so frames that come late move the strip as far as
/// frames on time would have, and a new target mid-flight keeps the current speed.
struct QuickPanelSpring {
    double response = 0.3;
    double dampingFraction = 0.86;

    struct State {
        double position = 0;
        /// Units per second.
        double velocity = 0;

        bool operator==(const State&) const = default;
    };

    /// Closer than this, and slower than `restSpeed`, the strip is where it belongs.
    static constexpr double restDistance = 0.5;
    static constexpr double restSpeed = 5;

    /// Where `state` is after `seconds`, pulled towards `target`; exactly at the target with
    /// no speed once it has come to rest there.
    State advance(State state, double target, double seconds) const;

    static bool isAtRest(const State& state, double target);
};

} // namespace quorix
