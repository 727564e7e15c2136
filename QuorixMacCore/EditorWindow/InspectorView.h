#pragma once

#include "QuorixMacCore/EditorWindow/QuickPanelControls.h"

#include <QWidget>

#include <functional>
#include <optional>

namespace quorix {

class MacEditorState;

/// The right-hand column of the editor window: the settings of the selected button.
class InspectorView final : public QWidget {
    Q_OBJECT

public:
    InspectorView(MacEditorState& state, std::function<void()> onSync,
                  std::optional<QuickPanelControls> controls, QWidget* parent = nullptr);
};

} // namespace quorix
