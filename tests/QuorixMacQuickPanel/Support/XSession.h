#pragma once

#include <QPointF>

#include <cstdint>
#include <string>

namespace quorix::test {

/// A test's own connection to an X display: it reads the focus and windows' map state, and
/// clicks and types through XTest.
class XSession {
public:
    explicit XSession(const std::string& displayName);
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    /// Whether the display and XTest are there.
    bool isReady() const { return m_ready; }

    /// The window holding the keyboard focus.
    std::uint64_t focusedWindow() const;
    void setFocusedWindow(std::uint64_t window);
    bool isViewable(std::uint64_t window) const;
    /// A window's top-left corner on the screen.
    QPointF screenPosition(std::uint64_t window) const;

    void click(QPointF screenPosition);
    void pressAndReleaseKey(const std::string& keysym);

    /// That part of the screen as a PNG file; whether it was written.
    bool saveScreenshot(const std::string& path, int left, int top, int width, int height) const;

private:
    struct State;
    State* m_state = nullptr;
    bool m_ready = false;
};

} // namespace quorix::test
