#pragma once

#include "QuorixMacCore/EditorWindow/InspectorServices.h"
#include "QuorixMacCore/EditorWindow/MacActionKind.h"
#include "QuorixMacCore/EditorWindow/QuickPanelControls.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QScrollArea;
class QVBoxLayout;

namespace quorix {

class CustomIconRegistrationRow;
class IconArtworkCache;
class InspectorSection;
class MacEditorState;
class QuickPanelSection;

/// The picker's icon of a kind: the kind's application icon when it is known, else its
/// symbol, in the secondary text colour.
QIcon macActionKindIcon(MacActionKind kind, IconArtworkCache& artwork, const QPalette& palette);

/// The right-hand column of the editor window: the settings of the selected button.
///
/// Shows which button it is, the kind of its action with that kind's editor, its icon,
/// the quick-panel settings when the action is filled in, and the synchronisation status;
/// without a selected button only the status. Each editor starts afresh for another button
/// or kind. Every change goes through the editor state, then `onSync` is called.
class InspectorView final : public QWidget {
    Q_OBJECT

public:
    InspectorView(MacEditorState& state, std::function<void()> onSync,
                  std::optional<QuickPanelControls> controls, QWidget* parent = nullptr,
                  InspectorServices services = InspectorServices::system());

private:
    void refresh();
    void refreshStatus();
    void refreshKindIcons();
    void rebuildEditors(const QuorixButtonRecord& button, MacActionKind kind);
    QWidget* makeActionEditor(const QuorixButtonRecord& button, MacActionKind kind);
    void showAction(const ActionSpec& action);
    void chooseKind(MacActionKind kind);

    MacEditorState& m_state;
    std::function<void()> m_onSync;
    InspectorServices m_services;
    IconArtworkCache& m_artwork;

    InspectorSection* m_buttonSection;
    QLabel* m_buttonTitle;
    InspectorSection* m_actionSection;
    QComboBox* m_kindPicker;
    QVBoxLayout* m_editorSlot;
    InspectorSection* m_iconSection;
    QuickPanelSection* m_quickPanelSection = nullptr;
    QLabel* m_status;

    std::optional<UUID> m_editorButtonID;
    MacActionKind m_editorKind = MacActionKind::app;
    QPointer<QWidget> m_editor;
    QPointer<CustomIconRegistrationRow> m_iconRow;
};

} // namespace quorix
