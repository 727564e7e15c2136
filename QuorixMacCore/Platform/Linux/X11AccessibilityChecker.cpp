#include "QuorixMacCore/Platform/Linux/X11AccessibilityChecker.h"

#include "QuorixMacCore/Platform/Linux/XTestEventPoster.h"

namespace quorix {

X11AccessibilityChecker::X11AccessibilityChecker(std::shared_ptr<XTestEventPoster> poster)
    : m_poster(std::move(poster)) {}

bool X11AccessibilityChecker::isTrusted() {
    return m_poster && m_poster->isReachable();
}

bool X11AccessibilityChecker::requestIfNeeded() {
    const bool trusted = isTrusted();
    if (!trusted) {
        openAccessibilitySettings();
    }
    return trusted;
}

bool X11AccessibilityChecker::openAccessibilitySettings() {
    return false;
}

} // namespace quorix
