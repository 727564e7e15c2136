#include "QuorixMacCore/EditorWindow/EditorWindow.h"

#include "QuorixMacCore/Artwork/SymbolGlyphs.h"
#include "QuorixMacCore/EditorWindow/EditorCanvasView.h"
#include "QuorixMacCore/EditorWindow/EditorCommandMonitor.h"
#include "QuorixMacCore/EditorWindow/EditorStyle.h"
#include "QuorixMacCore/EditorWindow/InspectorView.h"
#include "QuorixMacCore/EditorWindow/SidebarView.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSplitter>

namespace quorix {

namespace {

// Space for the pairing button's label around its symbol and text.
constexpr int connectButtonHorizontalPadding = 14;
constexpr int connectButtonVerticalPadding = 6;

} // namespace

EditorWindow::EditorWindow(MacEditorState& state, std::function<void()> onSync,
                           std::function<void()> onShowQRCode,
                           std::optional<QuickPanelControls> quickPanelControls, QWidget* parent)
    : QWidget(parent)
    , m_columns(new QSplitter(Qt::Horizontal, this)) {
    setObjectName(QStringLiteral("editorWindow"));
    setFont(EditorStyle::editorFont());

    auto* sidebar = new SidebarView(state, m_columns);
    auto* canvas = new EditorCanvasView(state, m_columns);
    auto* inspector =
        new InspectorView(state, std::move(onSync), std::move(quickPanelControls), m_columns);
    sidebar->setMinimumWidth(sidebarMinimumWidth);
    canvas->setMinimumWidth(canvasMinimumWidth);
    inspector->setMinimumWidth(inspectorMinimumWidth);
    m_columns->setObjectName(QStringLiteral("editorColumns"));
    m_columns->setChildrenCollapsible(false);
    m_columns->setHandleWidth(1);
    m_columns->setStretchFactor(0, 0);
    m_columns->setStretchFactor(1, 1);
    m_columns->setStretchFactor(2, 0);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_columns);

    // Over the columns, not in them: it stays in the corner however they are resized.
    m_connectButton = new QPushButton(SymbolGlyphs::symbolIcon("qrcode.viewfinder", Qt::white),
                                      QStringLiteral("スマホと接続"), this);
    m_connectButton->setObjectName(QStringLiteral("connectPhoneButton"));
    m_connectButton->setToolTip(QStringLiteral("スマホで読み取るQRコードを表示"));
    m_connectButton->setFont(EditorStyle::bodySemiboldFont(font()));
    m_connectButton->setCursor(Qt::PointingHandCursor);
    // A prominent button: white on the accent colour.
    const QColor accent = EditorStyle::accent(palette());
    m_connectButton->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: white; border: none;"
                       " border-radius: 6px; padding: %2px %3px; }"
                       "QPushButton:pressed { background: %4; }")
            .arg(accent.name())
            .arg(connectButtonVerticalPadding)
            .arg(connectButtonHorizontalPadding)
            .arg(accent.darker(120).name()));
    connect(m_connectButton, &QPushButton::clicked, this, [onShowQRCode = std::move(onShowQRCode)] {
        if (onShowQRCode) {
            onShowQRCode();
        }
    });
    m_connectButton->raise();
    // The inspector's column starts below the button rather than under it.
    inspector->setContentsMargins(0, connectButtonTopMargin + m_connectButton->sizeHint().height(),
                                  0, 0);

    new EditorCommandMonitor(state, *this);
}

void EditorWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeConnectButton();
}

void EditorWindow::placeConnectButton() {
    m_connectButton->adjustSize();
    const int x = layoutDirection() == Qt::RightToLeft
                      ? connectButtonTrailingMargin
                      : width() - connectButtonTrailingMargin - m_connectButton->width();
    m_connectButton->move(x, connectButtonTopMargin);
}

} // namespace quorix
