#include "QuorixMacCore/Control/SystemActionExecutor.h"

#include "QuorixMacCore/Actions/AppLauncher.h"
#include "QuorixMacCore/Actions/KeyboardExecutor.h"
#include "QuorixMacCore/Actions/MacActionExecutor.h"
#include "QuorixMacCore/Actions/URLOpener.h"
#include "QuorixMacCore/Platform/Linux/GioWorkspace.h"
#include "QuorixMacCore/Platform/Linux/X11AccessibilityChecker.h"
#include "QuorixMacCore/Platform/Linux/XTestEventPoster.h"

namespace quorix {

std::shared_ptr<MacActionExecutor> makeSystemActionExecutor() {
    auto poster = std::make_shared<XTestEventPoster>();
    auto workspace = std::make_shared<GioWorkspace>();
    return std::make_shared<MacActionExecutor>(
        std::make_shared<KeyboardExecutor>(poster,
                                           std::make_shared<X11AccessibilityChecker>(poster)),
        std::make_shared<AppLauncher>(workspace), std::make_shared<URLOpener>(workspace));
}

} // namespace quorix
