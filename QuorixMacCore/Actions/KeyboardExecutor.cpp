#include "QuorixMacCore/Actions/KeyboardExecutor.h"

#include "QuorixMacCore/Actions/ActionsLogging.h"
#include "QuorixMacCore/Actions/VirtualKeyMap.h"
#include "QuorixMacCore/Platform/AccessibilityChecker.h"
#include "QuorixMacCore/Platform/EventPoster.h"
#include "QuorixMacCore/Platform/ModifierFlags.h"

#include <algorithm>
#include <array>
#include <set>
#include <thread>

namespace quorix {

namespace {

// The device bits say which of the two keys is down, as the keyboard itself reports it.
struct PairedModifier {
    Modifier modifier;
    std::uint16_t leftKey;
    std::uint16_t rightKey;
    std::uint64_t flag;
    std::uint64_t leftDeviceBit;
    std::uint64_t rightDeviceBit;
};

constexpr std::array<PairedModifier, 4> pairedModifiers{{
    {Modifier::command, ModifierKeyCodes::command, ModifierKeyCodes::rightCommand,
     ModifierFlags::command, 0x08, 0x10},
    {Modifier::shift, ModifierKeyCodes::shift, ModifierKeyCodes::rightShift, ModifierFlags::shift,
     0x02, 0x04},
    {Modifier::option, ModifierKeyCodes::option, ModifierKeyCodes::rightOption,
     ModifierFlags::option, 0x20, 0x40},
    {Modifier::control, ModifierKeyCodes::control, ModifierKeyCodes::rightControl,
     ModifierFlags::control, 0x01, 0x2000},
}};

std::set<Modifier> modifierSet(const std::vector<Modifier>& modifiers) {
    return {modifiers.begin(), modifiers.end()};
}

std::string name(Modifier modifier) {
    return std::string(rawValue(modifier));
}

} // namespace

KeyboardExecutor::KeyboardExecutor(std::shared_ptr<EventPoster> poster,
                                   std::shared_ptr<AccessibilityChecker> accessibility)
    : m_poster(std::move(poster))
    , m_accessibility(std::move(accessibility)) {}

std::uint64_t KeyboardExecutor::flags(const std::vector<Modifier>& modifiers) {
    std::uint64_t result = 0;
    for (const Modifier modifier : modifiers) {
        result |= ModifierFlags::flag(modifier);
    }
    return result;
}

std::string KeyboardExecutor::shortcutDescription(const KeyCombo& combo) {
    std::vector<std::string> names;
    for (const Modifier modifier : modifierSet(combo.modifiers)) {
        names.push_back(name(modifier));
    }
    std::sort(names.begin(), names.end());
    std::string description;
    for (const std::string& modifierName : names) {
        description += description.empty() ? modifierName : "+" + modifierName;
    }
    const std::string key = VirtualKeyMap::normalizedKeyName(combo.key);
    return description.empty() ? key : description + "+" + key;
}

std::optional<ExecError> KeyboardExecutor::execute(const KeyCombo& combo) const {
    const std::set<Modifier> modifiers = modifierSet(combo.modifiers);
    const std::string key = VirtualKeyMap::normalizedKeyName(combo.key);
    // Hiding or minimising the frontmost application from a phone leaves the user without
    // the window they were working in; these are refused even before permission matters.
    if (modifiers.contains(Modifier::command) && (key == "h" || key == "m")) {
        return ExecError::unsafeSystemShortcut(shortcutDescription(combo));
    }
    if (!m_accessibility->isTrusted()) {
        m_accessibility->openAccessibilitySettings();
        return ExecError::accessibilityNotGranted();
    }
    if (modifiers.size() == 1) {
        const Modifier modifier = *modifiers.begin();
        const std::string modifierName = name(modifier);
        const bool paired =
            key == modifierName + "pair" || (modifier == Modifier::shift && key == "shift");
        if (paired) {
            return executePairedModifier(modifier, combo.key);
        }
        if (key == modifierName) {
            return executeDoubleTappedModifier(modifier, combo.key);
        }
    }
    return executeShortcut(combo);
}

std::optional<ExecError> KeyboardExecutor::executePairedModifier(Modifier modifier,
                                                                 const std::string& key) const {
    const auto entry =
        std::find_if(pairedModifiers.begin(), pairedModifiers.end(),
                     [&](const auto& paired) { return paired.modifier == modifier; });
    if (entry == pairedModifiers.end()) {
        return ExecError::unknownKey(key);
    }
    const std::uint64_t base = entry->flag | entry->leftDeviceBit;
    const auto leftDown = m_poster->createKeyboardEvent(entry->leftKey, true, base);
    const auto rightDown =
        m_poster->createKeyboardEvent(entry->rightKey, true, base | entry->rightDeviceBit);
    const auto rightUp = m_poster->createKeyboardEvent(entry->rightKey, false, base);
    const auto leftUp = m_poster->createKeyboardEvent(entry->leftKey, false, 0);
    if (!leftDown || !rightDown || !rightUp || !leftUp) {
        return ExecError::unknownKey(key);
    }
    const auto sequence = m_poster->beginSequence();
    m_poster->post(*leftDown, EventTapLocation::hid);
    std::this_thread::sleep_for(pairedPressGap);
    m_poster->post(*rightDown, EventTapLocation::hid);
    std::this_thread::sleep_for(pairedHold);
    m_poster->post(*rightUp, EventTapLocation::hid);
    std::this_thread::sleep_for(pairedReleaseGap);
    m_poster->post(*leftUp, EventTapLocation::hid);
    return std::nullopt;
}

std::optional<ExecError>
KeyboardExecutor::executeDoubleTappedModifier(Modifier modifier, const std::string& key) const {
    const auto code = VirtualKeyMap::code(name(modifier));
    if (!code) {
        return ExecError::unknownKey(key);
    }
    const std::uint64_t modifierFlag = ModifierFlags::flag(modifier);
    const auto sequence = m_poster->beginSequence();
    for (int tap = 0; tap < 2; ++tap) {
        if (tap > 0) {
            std::this_thread::sleep_for(tapGap);
        }
        const auto down = m_poster->createKeyboardEvent(*code, true, modifierFlag);
        const auto up = m_poster->createKeyboardEvent(*code, false, 0);
        if (!down || !up) {
            qCWarning(lcActions) << "Could not create the events of tap" << tap + 1;
            return ExecError::unknownKey(key);
        }
        m_poster->post(*down, EventTapLocation::hid);
        std::this_thread::sleep_for(tapHold);
        m_poster->post(*up, EventTapLocation::hid);
    }
    return std::nullopt;
}

std::optional<ExecError> KeyboardExecutor::executeShortcut(const KeyCombo& combo) const {
    const auto code = VirtualKeyMap::code(combo.key);
    if (!code) {
        return code.error();
    }
    const std::uint64_t comboFlags = flags(combo.modifiers);
    const auto down = m_poster->createKeyboardEvent(*code, true, comboFlags);
    const auto up = m_poster->createKeyboardEvent(*code, false, comboFlags);
    if (!down || !up) {
        return ExecError::unknownKey(combo.key);
    }
    const auto sequence = m_poster->beginSequence();
    m_poster->post(*down, EventTapLocation::annotatedSession);
    m_poster->post(*up, EventTapLocation::annotatedSession);
    return std::nullopt;
}

} // namespace quorix
