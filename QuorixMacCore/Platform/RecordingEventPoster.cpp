#include "QuorixMacCore/Platform/RecordingEventPoster.h"

namespace quorix {

std::optional<KeyboardEvent> RecordingEventPoster::createKeyboardEvent(std::uint16_t virtualKey,
                                                                       bool keyDown,
                                                                       std::uint64_t flags) {
    std::scoped_lock lock(m_mutex);
    const int index = m_created++;
    if (m_failFrom && index >= *m_failFrom) {
        return std::nullopt;
    }
    return KeyboardEvent{virtualKey, keyDown, flags};
}

void RecordingEventPoster::post(const KeyboardEvent& event, EventTapLocation location) {
    std::scoped_lock lock(m_mutex);
    m_posted.push_back({event, location, std::chrono::steady_clock::now()});
}

std::vector<RecordingEventPoster::PostedEvent> RecordingEventPoster::postedEvents() const {
    std::scoped_lock lock(m_mutex);
    return m_posted;
}

int RecordingEventPoster::createdEventCount() const {
    std::scoped_lock lock(m_mutex);
    return m_created;
}

void RecordingEventPoster::failCreationFrom(int index) {
    std::scoped_lock lock(m_mutex);
    m_failFrom = index;
}

} // namespace quorix
