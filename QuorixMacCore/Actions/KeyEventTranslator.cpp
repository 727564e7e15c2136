#include "QuorixMacCore/Actions/KeyEventTranslator.h"

#include <QKeyEvent>

#include <array>
#include <utility>

namespace quorix {

namespace {

struct ToolkitModifier {
    Qt::KeyboardModifier toolkit;
    ModifierFlagBits flag;
};

// The toolkit calls Super "Meta"; it sits where Command sits on the original keyboard.
constexpr auto toolkitModifiers = std::to_array<ToolkitModifier>({
    {Qt::MetaModifier, ModifierFlags::command},
    {Qt::ShiftModifier, ModifierFlags::shift},
    {Qt::AltModifier, ModifierFlags::option},
    {Qt::ControlModifier, ModifierFlags::control},
});
static_assert(toolkitModifiers.size() == 4);

ModifierFlagBits flagsOf(Qt::KeyboardModifiers modifiers) {
    ModifierFlagBits flags = 0;
    for (const ToolkitModifier& modifier : toolkitModifiers) {
        if (modifiers.testFlag(modifier.toolkit)) {
            flags |= modifier.flag;
        }
    }
    return flags;
}

// The key's text with Shift but without the other modifiers, as the key names want it:
// the toolkit's key code is that character for every key that types one.
std::optional<std::string> charactersIgnoringModifiers(const QKeyEvent& event) {
    const int key = event.key();
    if (key <= 0 || key >= Qt::Key_Escape) {
        return std::nullopt;
    }
    const char32_t character = static_cast<char32_t>(key);
    return QString::fromUcs4(&character, 1).toStdString();
}

} // namespace

KeyEventTranslator::KeyEventTranslator(std::shared_ptr<NativeKeyCodes> keyCodes)
    : m_keyCodes(std::move(keyCodes)) {}

std::optional<KeyEvent> KeyEventTranslator::translate(const QKeyEvent& event) {
    const bool press = event.type() == QEvent::KeyPress;
    if ((!press && event.type() != QEvent::KeyRelease) || event.nativeScanCode() == 0) {
        return std::nullopt;
    }
    const std::uint16_t keyCode =
        m_keyCodes->virtualKeyCode(event.nativeScanCode()).value_or(unpositionedKeyCode);
    const auto time = std::chrono::steady_clock::time_point(
        std::chrono::milliseconds(static_cast<std::int64_t>(event.timestamp())));
    ModifierFlagBits flags = flagsOf(event.modifiers());

    if (const std::optional<Modifier> changed = quorixChangedModifier(keyCode)) {
        if (event.isAutoRepeat()) {
            return std::nullopt;
        }
        if (press) {
            m_heldModifierKeys.insert(keyCode);
        } else {
            m_heldModifierKeys.erase(keyCode);
        }
        // The toolkit reports the modifiers as they were before this key changed, and
        // cannot tell that the other key of the same modifier is still down.
        const ModifierFlagBits flag = ModifierFlags::flag(*changed);
        flags &= ~flag;
        for (const std::uint16_t held : m_heldModifierKeys) {
            if (quorixChangedModifier(held) == changed) {
                flags |= flag;
            }
        }
        return KeyEvent{KeyEvent::Type::modifiersChanged, keyCode, flags, {}, {}, time};
    }
    if (!press) {
        return std::nullopt;
    }
    return KeyEvent{KeyEvent::Type::keyDown,    keyCode, flags, charactersIgnoringModifiers(event),
                    event.text().toStdString(), time};
}

} // namespace quorix
