#include "QuorixMacApp/QuickPanelTrigger.h"

#include <optional>

namespace quorix {

namespace {

using QuickPanelTriggerModes::ModifierKind;

struct TriggerKey {
    std::uint16_t keyCode;
    ModifierKind modifier;
};

constexpr auto triggerKeys = std::to_array<TriggerKey>({
    {ModifierKeyCodes::control, ModifierKind::control},
    {ModifierKeyCodes::rightControl, ModifierKind::control},
    {ModifierKeyCodes::option, ModifierKind::option},
    {ModifierKeyCodes::rightOption, ModifierKind::option},
});
static_assert(triggerKeys.size() == 4);

// Command, Shift and Function are modifiers too, but no mode uses them.
std::optional<ModifierKind> triggerModifier(std::uint16_t keyCode) {
    for (const TriggerKey& key : triggerKeys) {
        if (key.keyCode == keyCode) {
            return key.modifier;
        }
    }
    return std::nullopt;
}

ModifierFlagBits flagOf(ModifierKind modifier) {
    return modifier == ModifierKind::control ? ModifierFlags::control : ModifierFlags::option;
}

} // namespace

QuickPanelTrigger::QuickPanelTrigger(QuickPanelTriggerMode mode,
                                     std::function<void(Effect)> perform, QObject* parent)
    : QObject(parent)
    , m_mode(mode)
    , m_perform(std::move(perform)) {
    m_holdTimer.setSingleShot(true);
    m_holdTimer.setInterval(holdDelay);
    connect(&m_holdTimer, &QTimer::timeout, this, [this] { m_perform(Effect::show); });
}

void QuickPanelTrigger::setMode(QuickPanelTriggerMode mode) {
    m_mode = mode;
    reset();
}

void QuickPanelTrigger::reset() {
    m_holdTimer.stop();
    m_modifierIsDown.clear();
    m_lastTapAt.clear();
}

void QuickPanelTrigger::handle(const InputEvents::ModifierFlagsChanged& event) {
    const std::optional<ModifierKind> modifier = triggerModifier(event.keyCode);
    const QuickPanelTriggerModes::Entry& mode = QuickPanelTriggerModes::entry(m_mode);
    if (!modifier || *modifier != mode.modifier) {
        return;
    }
    const bool down = (event.flags & flagOf(*modifier)) != 0;
    const auto known = m_modifierIsDown.find(*modifier);
    if (known != m_modifierIsDown.end() ? known->second == down : !down) {
        return;
    }
    m_modifierIsDown[*modifier] = down;

    switch (mode.gesture) {
    case QuickPanelTriggerModes::Gesture::tap:
        if (!down) {
            m_perform(Effect::toggle);
        }
        break;
    case QuickPanelTriggerModes::Gesture::hold:
        hold(down);
        break;
    case QuickPanelTriggerModes::Gesture::doubleTap:
        doubleTap(*modifier, down, event.time);
        break;
    }
}

void QuickPanelTrigger::hold(bool down) {
    if (down) {
        m_holdTimer.start();
        return;
    }
    m_holdTimer.stop();
    m_perform(Effect::hide);
}

void QuickPanelTrigger::doubleTap(ModifierKind modifier, bool down, InputEvents::Time now) {
    if (down) {
        return;
    }
    const auto last = m_lastTapAt.find(modifier);
    // A time before the stored one (the server's millisecond clock wrapped) is no gap.
    if (last != m_lastTapAt.end() && now >= last->second &&
        now - last->second <= doubleTapInterval) {
        m_lastTapAt.erase(last);
        m_perform(Effect::toggle);
        return;
    }
    m_lastTapAt[modifier] = now;
}

} // namespace quorix
