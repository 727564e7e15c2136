#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace quorix {

/// One way of opening the quick panel, as the editor offers it.
struct QuickPanelTriggerOption {
    /// The trigger mode's stored value.
    QString id;
    QString title;

    bool operator==(const QuickPanelTriggerOption&) const = default;
};

/// What the editor is given to show and change the quick-panel settings; its host fills
/// it in.
struct QuickPanelControls {
    std::vector<QuickPanelTriggerOption> triggerOptions;
    /// The id of the current trigger mode.
    QString selectedTriggerID;
    /// Shows the quick panel, or hides it when it is shown.
    std::function<void()> onShowQuickPanel;
    /// Called with the id of the trigger mode the user chose.
    std::function<void(const QString& triggerID)> onSelectTrigger;
};

} // namespace quorix
