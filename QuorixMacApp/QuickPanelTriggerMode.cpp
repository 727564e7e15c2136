#include "QuorixMacApp/QuickPanelTriggerMode.h"

#include "QuorixMacCore/Platform/UserDefaults.h"

namespace quorix::QuickPanelTriggerModes {

const Entry& entry(QuickPanelTriggerMode mode) {
    return table[static_cast<std::size_t>(mode)];
}

std::optional<QuickPanelTriggerMode> fromRawValue(QStringView rawValue) {
    for (const Entry& candidate : table) {
        if (rawValue == candidate.rawValue) {
            return candidate.mode;
        }
    }
    return std::nullopt;
}

QuickPanelTriggerMode load(const UserDefaults& defaults) {
    const std::optional<QString> saved = defaults.string(QString(defaultsKey));
    return saved ? fromRawValue(*saved).value_or(defaultMode) : defaultMode;
}

void save(UserDefaults& defaults, QuickPanelTriggerMode mode) {
    defaults.setString(QString(defaultsKey), QString(entry(mode).rawValue));
}

} // namespace quorix::QuickPanelTriggerModes
