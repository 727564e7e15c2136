#pragma once

#include "QuorixMacApp/QuickPanelPresenting.h"

namespace quorix {

/// Takes the quick panel's place until there is one: it shows nothing, beeps when asked to
/// show, and notes each request in the program's diagnostic output ("kestrane.shell: quick
/// panel: show"), where the trigger can be watched at work.
class QuickPanelStandIn final : public QuickPanelPresenting {
public:
    void showQuickPanel() override;
    void toggleQuickPanel() override;
    void hideQuickPanel() override;
    bool isQuickPanelVisible() const override { return false; }

    bool handleScroll(const InputEvents::Scroll&) override { return false; }
    bool handleMouseDown(const InputEvents::MouseDown&) override { return false; }
    bool handleKeyDown(const InputEvents::KeyDown&) override { return false; }
};

} // namespace quorix
