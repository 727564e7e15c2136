#pragma once

#include <string>
#include <sys/types.h>

namespace quorix::test {

/// A private X server (Xvfb) on a display number of its own choosing, stopped when the
/// object goes. Tests assert `isRunning()` and fail with `failure()` when it could not start.
class XvfbServer {
public:
    /// `screen` as Xvfb takes it: width x height x depth.
    explicit XvfbServer(const std::string& screen = "640x480x24");
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool isRunning() const { return m_pid > 0 && !m_displayName.empty(); }
    /// ":N"
    const std::string& displayName() const { return m_displayName; }
    /// Why the server did not start.
    const std::string& failure() const { return m_failure; }
    /// Ends the server now, as a crash would.
    void kill();

private:
    pid_t m_pid = -1;
    std::string m_displayName;
    std::string m_failure;
};

} // namespace quorix::test
