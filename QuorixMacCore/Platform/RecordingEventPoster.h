#pragma once

#include "QuorixMacCore/Platform/EventPoster.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

namespace quorix {

/// An event poster that posts nothing and keeps every event it was given, with the time it
/// was posted. Creation can be made to fail from a given call on, as a system that refuses
/// to create an event would.
class RecordingEventPoster final : public EventPoster {
public:
    struct PostedEvent {
        KeyboardEvent event;
        EventTapLocation location = EventTapLocation::hid;
        std::chrono::steady_clock::time_point time;
    };

    std::optional<KeyboardEvent> createKeyboardEvent(std::uint16_t virtualKey, bool keyDown,
                                                     std::uint64_t flags) override;
    void post(const KeyboardEvent& event, EventTapLocation location) override;

    /// Every event posted so far, oldest first.
    std::vector<PostedEvent> postedEvents() const;
    /// The number of events created so far, posted or not.
    int createdEventCount() const;
    /// Creation fails from the `index`-th creation on (counting from 0); nothing undoes it.
    void failCreationFrom(int index);

private:
    mutable std::mutex m_mutex;
    std::vector<PostedEvent> m_posted;
    int m_created = 0;
    std::optional<int> m_failFrom;
};

} // namespace quorix
