#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quorix::test {

/// A key event as an X client saw it.
struct ReceivedKey {
    bool press = false;
    unsigned keycode = 0;
    /// The modifier and button state just before the event, as X reports it.
    unsigned state = 0;
    /// The keysym of the key's first level ("a", "Super_L").
    std::string keysym;
    std::chrono::steady_clock::time_point arrival;
};

/// A small window on an X display that holds the keyboard focus and collects the key
/// events that reach it.
class XKeyReceiver {
public:
    explicit XKeyReceiver(const std::string& displayName);
    ~XKeyReceiver();
    XKeyReceiver(const XKeyReceiver&) = delete;
    XKeyReceiver& operator=(const XKeyReceiver&) = delete;

    /// Whether the window is mapped and has the focus.
    bool isReady() const { return m_ready; }

    /// Waits until `count` key events have arrived since the last call, or until the time
    /// is up; gives those that arrived.
    std::vector<ReceivedKey>
    waitForKeys(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    /// Waits for a press of the key with this keysym and gives its arrival time (the
    /// epoch when the time is up first); other key events are dropped.
    std::chrono::steady_clock::time_point waitForPress(const std::string& keysym,
                                                       std::chrono::milliseconds timeout);

    /// The state bit of the modifier that this keysym's key sets (Shift, Mod1 ...); 0 when
    /// the key is no modifier on this display.
    unsigned modifierMask(const std::string& keysym) const;
    /// The keysym of the key's first level, "" when the keycode has none.
    std::string keysymOfKeycode(unsigned keycode) const;
    /// Whether any key of the display is down.
    bool anyKeyDown() const;

private:
    struct State;
    State* m_state = nullptr;
    bool m_ready = false;
};

} // namespace quorix::test
