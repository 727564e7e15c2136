#include "QuorixMacApp/InputEventMerger.h"

#include <algorithm>

namespace quorix {

namespace {

bool isClose(InputEvents::Time a, InputEvents::Time b) {
    return (a > b ? a - b : b - a) <= InputEventMerger::window;
}

int sign(double value) {
    return (value > 0) - (value < 0);
}

} // namespace

std::optional<bool> InputEventMerger::match(Source source, const Event& event) {
    // Sightings from the same source never match: two quick scroll steps are two steps.
    const auto found =
        std::find_if(m_unmatched.begin(), m_unmatched.end(), [&](const Sighting& sighting) {
            return sighting.source != source && sighting.event.kind == event.kind &&
                   sighting.event.detail == event.detail &&
                   isClose(sighting.event.time, event.time);
        });
    if (found == m_unmatched.end()) {
        return std::nullopt;
    }
    const bool used = found->used;
    m_unmatched.erase(found);
    return used;
}

void InputEventMerger::record(Source source, const Event& event, bool used) {
    // Sightings the other monitor never reports (events in other applications reach only
    // the global one) age out.
    while (!m_unmatched.empty() && (m_unmatched.size() >= capacity ||
                                    event.time - m_unmatched.front().event.time > window)) {
        m_unmatched.pop_front();
    }
    m_unmatched.push_back(Sighting{source, event, used});
}

int InputEventMerger::scrollDirection(const InputEvents::Scroll& scroll) {
    return (sign(scroll.deltaX) + 1) * 3 + sign(scroll.deltaY) + 1;
}

} // namespace quorix
