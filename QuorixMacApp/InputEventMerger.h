#pragma once

#include "QuorixMacCore/Platform/InputEvents.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

namespace quorix {

/// Events inside the program's own windows reach both monitors: the global one reads the
/// server's raw events, the local one the toolkit's. Both carry the server's timestamp, so
/// one physical event is recognised by its kind, key or button, direction and time, and
/// acted on once, by whichever monitor sees it first. The later one learns what became of
/// it (whether it was used), so the local monitor still swallows what the panel used.
class InputEventMerger {
public:
    enum class Source {
        global,
        local,
    };

    enum class Kind {
        modifierDown,
        modifierUp,
        keyDown,
        mouseDown,
        scroll,
    };

    struct Event {
        Kind kind = Kind::keyDown;
        /// The key code, the mouse button, or the scroll's direction.
        int detail = 0;
        InputEvents::Time time{};

        bool operator==(const Event&) const = default;
    };

    /// How far apart the two sightings of one event may be stamped.
    static constexpr std::chrono::milliseconds window{30};
    /// How many unmatched sightings are remembered.
    static constexpr std::size_t capacity = 64;

    /// Nothing when `event` is new from this source: act on it, then `record` the outcome.
    /// Otherwise the other source's sighting is used up and its outcome returned.
    std::optional<bool> match(Source source, const Event& event);
    void record(Source source, const Event& event, bool used);

    /// The scroll's direction as `Event::detail`: which way it leans on each axis.
    static int scrollDirection(const InputEvents::Scroll& scroll);

private:
    struct Sighting {
        Source source;
        Event event;
        bool used;
    };
    std::deque<Sighting> m_unmatched;
};

} // namespace quorix
