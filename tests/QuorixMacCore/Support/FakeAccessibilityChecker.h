#pragma once

#include "QuorixMacCore/Platform/AccessibilityChecker.h"

#include <atomic>

namespace quorix::test {

/// Trusted or not as the test says; counts the times the settings were to be opened.
class FakeAccessibilityChecker final : public AccessibilityChecker {
public:
    explicit FakeAccessibilityChecker(bool trusted = true)
        : trusted(trusted) {}

    bool isTrusted() override { return trusted; }
    bool requestIfNeeded() override {
        if (!trusted) {
            openAccessibilitySettings();
        }
        return trusted;
    }
    bool openAccessibilitySettings() override {
        ++settingsOpened;
        return false;
    }

    std::atomic<bool> trusted;
    std::atomic<int> settingsOpened = 0;
};

} // namespace quorix::test
