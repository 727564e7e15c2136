#include "QuorixMacCore/EditorWindow/InspectorView.h"

namespace quorix {

InspectorView::InspectorView(MacEditorState&, std::function<void()>,
                             std::optional<QuickPanelControls>, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("inspector"));
}

} // namespace quorix
