#pragma once

#include "QuorixProtocol/Foundation.h"

#include <string>
#include <string_view>

namespace quorix {

/// The bundle id whose application icon marks a button of the Shortcuts app.
inline constexpr std::string_view shortcutsBundleID = "com.apple.shortcuts";

/// "shortcuts://run-shortcut" with the query item "name" (percent-encoded); the bare
/// run URL if that cannot be built.
URL shortcutsRunURL(std::string_view name);

/// Whether the URL runs a shortcut (scheme and host in any letter case).
bool isShortcutsRunURL(const URL& url);

/// The decoded value of the first query item named exactly "name"; empty when there is
/// none or it has no value.
std::string shortcutRunName(const URL& url);

} // namespace quorix
