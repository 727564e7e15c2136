#include "QuorixMacCore/Control/SystemActionExecutor.h"

#include "QuorixMacCore/Actions/AppLauncher.h"
#include "QuorixMacCore/Actions/KeyboardExecutor.h"
#include "QuorixMacCore/Actions/MacActionExecutor.h"
#include "QuorixMacCore/Actions/URLOpener.h"
#include "QuorixMacCore/Platform/Linux/GioWorkspace.h"
#include "QuorixMacCore/Platform/Linux/X11AccessibilityChecker.h"
#include "QuorixMacCore/Platform/Linux/XTestEventPoster.h"

#include <mutex>

namespace quorix {

namespace {

// Posting is serialised per poster, so every executor of the process (the server's and the
// quick panel's) shares one: a key sequence from one never has another's keys inside it.
std::shared_ptr<XTestEventPoster> sharedEventPoster() {
    static std::mutex mutex;
    static std::weak_ptr<XTestEventPoster> shared;
    std::scoped_lock lock(mutex);
    auto poster = shared.lock();
    if (!poster) {
        poster = std::make_shared<XTestEventPoster>();
        shared = poster;
    }
    return poster;
}

} // namespace

std::shared_ptr<MacActionExecutor> makeSystemActionExecutor() {
    auto poster = sharedEventPoster();
    auto workspace = std::make_shared<GioWorkspace>();
    return std::make_shared<MacActionExecutor>(
        std::make_shared<KeyboardExecutor>(poster,
                                           std::make_shared<X11AccessibilityChecker>(poster)),
        std::make_shared<AppLauncher>(workspace), std::make_shared<URLOpener>(workspace));
}

} // namespace quorix
