#include "QuorixMacApp/QuickPanel/QuickPanelSpring.h"

#include <cmath>
#include <numbers>

namespace quorix {

QuickPanelSpring::State QuickPanelSpring::advance(State state, double target,
                                                  double seconds) const {
    const double naturalFrequency = 2 * std::numbers::pi / response;
    const double decay = dampingFraction * naturalFrequency;
    const double displacement = state.position - target;
    const double speed = state.velocity;
    State next;
    if (dampingFraction < 1) {
        const double envelope = std::exp(-decay * seconds);
        const double frequency =
            naturalFrequency * std::sqrt(1 - dampingFraction * dampingFraction);
        const double cosine = std::cos(frequency * seconds);
        const double sine = std::sin(frequency * seconds);
        next.position = target + envelope * (displacement * cosine +
                                             (speed + decay * displacement) / frequency * sine);
        next.velocity =
            envelope *
            (speed * cosine - (decay * speed + naturalFrequency * naturalFrequency * displacement) /
                                  frequency * sine);
    } else {
        // Critically damped or stiffer springs are treated as critical: they never swing.
        const double envelope = std::exp(-naturalFrequency * seconds);
        const double slope = speed + naturalFrequency * displacement;
        next.position = target + envelope * (displacement + slope * seconds);
        next.velocity = envelope * (speed - naturalFrequency * slope * seconds);
    }
    if (isAtRest(next, target)) {
        return {target, 0};
    }
    return next;
}

bool QuickPanelSpring::isAtRest(const State& state, double target) {
    return std::abs(state.position - target) < restDistance && std::abs(state.velocity) < restSpeed;
}

} // namespace quorix
