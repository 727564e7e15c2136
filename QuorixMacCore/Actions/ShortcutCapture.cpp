#include "QuorixMacCore/Actions/ShortcutCapture.h"

#include <algorithm>
#include <string>
#include <utility>

namespace quorix {

ShortcutCapture::ShortcutCapture(ModifiersCallback onModifiersChanged, CaptureCallback onCapture)
    : m_onModifiersChanged(std::move(onModifiersChanged))
    , m_onCapture(std::move(onCapture)) {}

void ShortcutCapture::handle(const KeyEvent& event) {
    switch (event.type) {
    case KeyEvent::Type::keyDown:
        handleKeyDown(event);
        break;
    case KeyEvent::Type::modifiersChanged:
        handleModifiersChanged(event);
        break;
    }
}

void ShortcutCapture::reset() {
    m_lastModifierTap.reset();
    m_pressedModifierKeyCodes.clear();
}

void ShortcutCapture::handleKeyDown(const KeyEvent& event) {
    std::string name = quorixKeyName(event);
    if (name.empty()) {
        return;
    }
    capture(KeyCombo{quorixModifiers(event.modifierFlags), std::move(name)});
}

void ShortcutCapture::handleModifiersChanged(const KeyEvent& event) {
    const std::vector<Modifier> held = quorixModifiers(event.modifierFlags);
    if (m_onModifiersChanged) {
        const std::weak_ptr<int> alive = m_lifetime;
        const ModifiersCallback callback = m_onModifiersChanged;
        callback(held);
        if (alive.expired()) {
            return;
        }
    }

    const std::optional<Modifier> changed = quorixChangedModifier(event.keyCode);
    const bool changedIsHeld =
        changed && std::find(held.begin(), held.end(), *changed) != held.end();
    if (changed) {
        if (changedIsHeld) {
            m_pressedModifierKeyCodes.insert(event.keyCode);
        } else {
            m_pressedModifierKeyCodes.erase(event.keyCode);
        }
    }

    for (const ModifierKeyPair& pair : modifierKeyPairs) {
        if (m_pressedModifierKeyCodes.contains(pair.leftKeyCode) &&
            m_pressedModifierKeyCodes.contains(pair.rightKeyCode)) {
            m_pressedModifierKeyCodes.clear();
            capture(KeyCombo{{pair.modifier}, std::string(rawValue(pair.modifier)) + "Pair"});
            return;
        }
    }

    if (!changed || changedIsHeld) {
        return;
    }
    // A release: it completes a double tap when the same modifier was released within the
    // window before. Either way it becomes the tap the next release is measured against.
    const bool completesDoubleTap = m_lastModifierTap && m_lastModifierTap->modifier == *changed &&
                                    event.time >= m_lastModifierTap->releasedAt &&
                                    event.time - m_lastModifierTap->releasedAt <= doubleTapWindow;
    m_lastModifierTap = ModifierTap{*changed, event.time};
    if (completesDoubleTap) {
        capture(KeyCombo{{*changed}, std::string(rawValue(*changed))});
    }
}

void ShortcutCapture::capture(const KeyCombo& combo) {
    if (m_onCapture) {
        // A copy: the callback may end the capture and with it the stored function.
        const CaptureCallback callback = m_onCapture;
        callback(combo);
    }
}

} // namespace quorix
