#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

namespace quorix {

/// Where a synthetic event enters the system's event stream.
enum class EventTapLocation {
    /// Where events from the keyboard itself enter.
    hid = 0,
    /// After the session has annotated the event, on its way to the application.
    annotatedSession = 2,
};

/// One keyboard event, created by an `EventPoster` and ready to post. The key is a virtual
/// key code: the position of the key on an ANSI keyboard; the flags are `ModifierFlags`
/// bits, with the device bits that tell left and right keys apart.
struct KeyboardEvent {
    std::uint16_t virtualKey = 0;
    bool keyDown = false;
    std::uint64_t flags = 0;

    bool operator==(const KeyboardEvent&) const = default;
};

/// Creates and posts synthetic keyboard events.
class EventPoster {
public:
    virtual ~EventPoster() = default;

    /// A key-down or key-up event of the key with the given flags, or nothing when the
    /// system cannot create one for that key.
    virtual std::optional<KeyboardEvent> createKeyboardEvent(std::uint16_t virtualKey, bool keyDown,
                                                             std::uint64_t flags) = 0;
    virtual void post(const KeyboardEvent& event, EventTapLocation location) = 0;

    /// Held by a caller for the whole of one key sequence, so that sequences of callers on
    /// different threads never interleave: a modifier held down by one of them must not
    /// reach another one's keys.
    [[nodiscard]] std::unique_lock<std::mutex> beginSequence() {
        return std::unique_lock(m_sequenceMutex);
    }

private:
    std::mutex m_sequenceMutex;
};

} // namespace quorix
