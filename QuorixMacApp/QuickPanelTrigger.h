#pragma once

#include "QuorixMacApp/QuickPanelTriggerMode.h"
#include "QuorixMacCore/Platform/InputEvents.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <map>

namespace quorix {

/// Turns the modifier changes the monitors see into the quick panel's three effects, by
/// the current trigger mode. Only real changes of the mode's modifier count: a repeated
/// state, a release without a seen press, other modifiers and other keys change nothing.
/// Left and right keys of one modifier count as one. Main thread only.
class QuickPanelTrigger final : public QObject {
    Q_OBJECT

public:
    enum class Effect {
        toggle,
        show,
        hide,
    };

    /// How long a hold lasts before the panel shows.
    static constexpr std::chrono::milliseconds holdDelay{95};
    /// The longest gap between two releases that makes a double tap; a gap of exactly this
    /// still counts.
    static constexpr std::chrono::milliseconds doubleTapInterval{420};

    explicit QuickPanelTrigger(QuickPanelTriggerMode mode, std::function<void(Effect)> perform,
                               QObject* parent = nullptr);

    QuickPanelTriggerMode mode() const { return m_mode; }
    /// Changes the mode and forgets all tracking; an open panel stays open.
    void setMode(QuickPanelTriggerMode mode);

    void handle(const InputEvents::ModifierFlagsChanged& event);
    /// Forgets which modifiers are down and the last tap, and cancels a pending hold.
    void reset();

    bool isHoldPending() const { return m_holdTimer.isActive(); }

private:
    void hold(bool down);
    void doubleTap(QuickPanelTriggerModes::ModifierKind modifier, bool down, InputEvents::Time now);

    QuickPanelTriggerMode m_mode;
    std::function<void(Effect)> m_perform;
    std::map<QuickPanelTriggerModes::ModifierKind, bool> m_modifierIsDown;
    std::map<QuickPanelTriggerModes::ModifierKind, InputEvents::Time> m_lastTapAt;
    QTimer m_holdTimer;
};

} // namespace quorix
