#pragma once

namespace quorix {

/// Whether this process may post input events to other applications, and the way to the
/// settings where the user grants it.
class AccessibilityChecker {
public:
    virtual ~AccessibilityChecker() = default;

    virtual bool isTrusted() = 0;
    /// Asks the system to prompt the user when the process is not trusted, opening the
    /// settings pane then; whether the process is trusted.
    virtual bool requestIfNeeded() = 0;
    /// Opens the accessibility settings pane; whether something was opened.
    virtual bool openAccessibilitySettings() = 0;
};

} // namespace quorix
