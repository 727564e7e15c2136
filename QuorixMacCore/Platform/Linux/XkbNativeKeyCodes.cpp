#include "QuorixMacCore/Platform/Linux/XkbNativeKeyCodes.h"

#include "QuorixMacCore/Platform/Linux/XkbKeyPositions.h"
#include "QuorixMacCore/Platform/PlatformLogging.h"

#include <X11/Xlib.h>

namespace quorix {

XkbNativeKeyCodes::XkbNativeKeyCodes(std::string displayName)
    : m_displayName(std::move(displayName)) {}

std::optional<std::uint16_t> XkbNativeKeyCodes::virtualKeyCode(std::uint32_t nativeKeycode) {
    if (!m_hasRead) {
        // A display that cannot be opened now is tried again with the next key.
        Display* display = XOpenDisplay(m_displayName.empty() ? nullptr : m_displayName.c_str());
        if (!display) {
            qCWarning(lcPlatform) << "Cannot open the X display to read its keyboard";
            return std::nullopt;
        }
        for (const auto& [virtualKey, keycode] : XkbKeyPositions::keycodesByVirtualKey(display)) {
            m_virtualKeyByKeycode.emplace(keycode, virtualKey);
        }
        XCloseDisplay(display);
        m_hasRead = true;
    }
    const auto found = m_virtualKeyByKeycode.find(nativeKeycode);
    if (found == m_virtualKeyByKeycode.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::shared_ptr<NativeKeyCodes> systemNativeKeyCodes() {
    return std::make_shared<XkbNativeKeyCodes>();
}

} // namespace quorix
