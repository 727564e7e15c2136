#include "QuorixMacCore/Platform/Linux/XkbKeyPositions.h"

#include "QuorixMacCore/Platform/Linux/KeyPositions.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <cstring>
#include <string>

namespace quorix::XkbKeyPositions {

namespace {

std::string keyName(const char (&name)[XkbKeyNameLength]) {
    return std::string(name, strnlen(name, XkbKeyNameLength));
}

std::map<std::string, unsigned> keycodesByName(Display* display) {
    std::map<std::string, unsigned> keycodes;
    XkbDescPtr keyboard = XkbGetMap(display, 0, XkbUseCoreKbd);
    if (!keyboard) {
        return keycodes;
    }
    if (XkbGetNames(display, XkbKeyNamesMask | XkbKeyAliasesMask, keyboard) == Success &&
        keyboard->names && keyboard->names->keys) {
        for (int code = keyboard->min_key_code; code <= keyboard->max_key_code; ++code) {
            const std::string name = keyName(keyboard->names->keys[code].name);
            if (!name.empty()) {
                keycodes.emplace(name, static_cast<unsigned>(code));
            }
        }
        for (int i = 0; i < keyboard->names->num_key_aliases; ++i) {
            const XkbKeyAliasRec& alias = keyboard->names->key_aliases[i];
            const auto real = keycodes.find(keyName(alias.real));
            if (real != keycodes.end()) {
                keycodes.emplace(keyName(alias.alias), real->second);
            }
        }
    }
    XkbFreeKeyboard(keyboard, 0, True);
    return keycodes;
}

} // namespace

std::map<std::uint16_t, unsigned> keycodesByVirtualKey(_XDisplay* display) {
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    const std::map<std::string, unsigned> byName = keycodesByName(display);
    std::map<std::uint16_t, unsigned> keycodes;
    for (const auto& position : KeyPositions::table) {
        unsigned code = 0;
        if (!byName.empty()) {
            const auto found = byName.find(std::string(position.xkbName));
            code = found == byName.end() ? 0 : found->second;
        } else {
            code = position.evdevCode + KeyPositions::evdevKeycodeOffset;
        }
        if (code >= static_cast<unsigned>(minKeycode) &&
            code <= static_cast<unsigned>(maxKeycode)) {
            keycodes.emplace(position.virtualKey, code);
        }
    }
    return keycodes;
}

} // namespace quorix::XkbKeyPositions
