#pragma once

#include "QuorixMacCore/EditorWindow/QuickPanelControls.h"

#include <QWidget>

#include <functional>
#include <optional>

class QPushButton;
class QSplitter;

namespace quorix {

class MacEditorState;

/// The layout editor: pages on the left, the selected page's buttons in the middle and the
/// selected button's settings on the right, in three resizable columns, with the button
/// that shows the pairing code at the top-trailing corner. Handles the editor's undo, copy
/// and paste keys while it exists.
class EditorWindow final : public QWidget {
    Q_OBJECT

public:
    static constexpr int sidebarMinimumWidth = 220;
    static constexpr int canvasMinimumWidth = 460;
    static constexpr int inspectorMinimumWidth = 340;
    /// Where the pairing button sits: from the top, and from the trailing edge.
    static constexpr int connectButtonTopMargin = 12;
    static constexpr int connectButtonTrailingMargin = 24;

    /// `onSync` runs after an edit the inspector sends to the phone at once; `onShowQRCode`
    /// when the user asks to pair a phone.
    EditorWindow(MacEditorState& state, std::function<void()> onSync,
                 std::function<void()> onShowQRCode,
                 std::optional<QuickPanelControls> quickPanelControls = std::nullopt,
                 QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeConnectButton();

    QSplitter* m_columns;
    QPushButton* m_connectButton;
};

} // namespace quorix
