#pragma once

#include "QuorixMacCore/Platform/NativeKeyCodes.h"

#include <cstdint>
#include <map>
#include <string>

namespace quorix {

/// X keycodes to virtual key codes through the XKB key names of the display's keyboard,
/// the inverse of what the keyboard executor posts. The keyboard is read on first use and
/// kept: positions do not move when the user switches layouts.
class XkbNativeKeyCodes final : public NativeKeyCodes {
public:
    /// Reads the named display (":1"); an empty name means the one in DISPLAY.
    explicit XkbNativeKeyCodes(std::string displayName = {});

    std::optional<std::uint16_t> virtualKeyCode(std::uint32_t nativeKeycode) override;

private:
    std::string m_displayName;
    bool m_hasRead = false;
    std::map<unsigned, std::uint16_t> m_virtualKeyByKeycode;
};

} // namespace quorix
