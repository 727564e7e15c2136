#pragma once

#include <QLatin1StringView>
#include <QString>

#include <array>
#include <optional>

namespace quorix {

class UserDefaults;

/// The gestures that open the quick panel, in the order every list of them shows.
enum class QuickPanelTriggerMode {
    controlTap,
    controlDoubleTap,
    controlHold,
    optionTap,
    optionHold,
    optionDoubleTap,
};

namespace QuickPanelTriggerModes {

enum class ModifierKind {
    control,
    option,
};

enum class Gesture {
    tap,
    doubleTap,
    hold,
};

struct Entry {
    QuickPanelTriggerMode mode;
    /// The stored value.
    QLatin1StringView rawValue;
    QStringView title;
    ModifierKind modifier;
    Gesture gesture;
};

inline constexpr auto table = std::to_array<Entry>({
    {QuickPanelTriggerMode::controlTap, QLatin1StringView("controlTap"), u"Control 1回押し",
     ModifierKind::control, Gesture::tap},
    {QuickPanelTriggerMode::controlDoubleTap, QLatin1StringView("controlDoubleTap"),
     u"Control 2回押し", ModifierKind::control, Gesture::doubleTap},
    {QuickPanelTriggerMode::controlHold, QLatin1StringView("controlHold"), u"Control長押し",
     ModifierKind::control, Gesture::hold},
    {QuickPanelTriggerMode::optionTap, QLatin1StringView("optionTap"), u"Option 1回押し",
     ModifierKind::option, Gesture::tap},
    {QuickPanelTriggerMode::optionHold, QLatin1StringView("optionHold"), u"Option長押し",
     ModifierKind::option, Gesture::hold},
    {QuickPanelTriggerMode::optionDoubleTap, QLatin1StringView("optionDoubleTap"),
     u"Option 2回押し", ModifierKind::option, Gesture::doubleTap},
});
static_assert(table.size() == 6);

constexpr bool isInEnumOrder() {
    for (std::size_t index = 0; index < table.size(); ++index) {
        if (static_cast<std::size_t>(table[index].mode) != index) {
            return false;
        }
    }
    return true;
}
static_assert(isInEnumOrder());

inline constexpr QuickPanelTriggerMode defaultMode = QuickPanelTriggerMode::optionDoubleTap;
/// Where the chosen mode is kept in the standard defaults domain.
inline constexpr QLatin1StringView defaultsKey{"quorix.mac.quickPanel.triggerMode"};

const Entry& entry(QuickPanelTriggerMode mode);
/// The mode stored as `rawValue`; nothing for a value that names none.
std::optional<QuickPanelTriggerMode> fromRawValue(QStringView rawValue);

/// The saved mode; `defaultMode` when none is saved or the saved value names no mode.
QuickPanelTriggerMode load(const UserDefaults& defaults);
void save(UserDefaults& defaults, QuickPanelTriggerMode mode);

} // namespace QuickPanelTriggerModes
} // namespace quorix
