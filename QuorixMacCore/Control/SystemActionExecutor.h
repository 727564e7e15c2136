#pragma once

#include <memory>

namespace quorix {

class MacActionExecutor;

/// An executor acting on this desktop: keys through XTest on the display in DISPLAY (opened
/// on first use, so it may be made before any display is reachable), applications and
/// addresses through GIO.
std::shared_ptr<MacActionExecutor> makeSystemActionExecutor();

} // namespace quorix
