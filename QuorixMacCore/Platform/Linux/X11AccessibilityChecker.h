#pragma once

#include "QuorixMacCore/Platform/AccessibilityChecker.h"

#include <memory>

namespace quorix {

class XTestEventPoster;

/// On X every client may post input once it reaches a display with the XTEST extension, so
/// that is what being trusted means here. There is no permission to ask for and no settings
/// pane that grants one.
class X11AccessibilityChecker final : public AccessibilityChecker {
public:
    /// Trusted while this poster reaches its display.
    explicit X11AccessibilityChecker(std::shared_ptr<XTestEventPoster> poster);

    bool isTrusted() override;
    bool requestIfNeeded() override;
    /// Opens nothing: false.
    bool openAccessibilitySettings() override;

private:
    std::shared_ptr<XTestEventPoster> m_poster;
};

} // namespace quorix
