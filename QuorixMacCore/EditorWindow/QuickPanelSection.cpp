#include "QuorixMacCore/EditorWindow/QuickPanelSection.h"

#include "QuorixMacCore/Artwork/SymbolGlyphs.h"
#include "QuorixMacCore/EditorWindow/EditorStyle.h"
#include "QuorixMacCore/EditorWindow/InspectorRules.h"
#include "QuorixMacCore/EditorWindow/InspectorWidgets.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorix {

QuickPanelInfoTip::QuickPanelInfoTip(QString text, QWidget* parent)
    : QToolButton(parent)
    , m_text(std::move(text)) {
    setObjectName(QStringLiteral("quickPanelInfoTip"));
    setAccessibleName(m_text);
    setAutoRaise(true);
    setIcon(SymbolGlyphs::symbolIcon("info.circle", EditorStyle::secondaryText(palette())));
    setIconSize(QSize(EditorStyle::smallSymbolSize, EditorStyle::smallSymbolSize));
    connect(this, &QToolButton::clicked, this, [this] { setShowing(!isShowing()); });
}

bool QuickPanelInfoTip::isShowing() const {
    return m_popover && m_popover->isVisible();
}

void QuickPanelInfoTip::setShowing(bool showing) {
    if (showing == isShowing()) {
        return;
    }
    if (!showing) {
        m_popover->close();
        return;
    }
    auto* popover = new QFrame(this, Qt::Popup);
    popover->setObjectName(QStringLiteral("quickPanelInfoPopover"));
    popover->setAttribute(Qt::WA_DeleteOnClose);
    popover->setFrameShape(QFrame::StyledPanel);
    popover->setFixedWidth(popoverWidth);
    auto* layout = new QVBoxLayout(popover);
    layout->setContentsMargins(12, 9, 12, 9);
    auto* label = new QLabel(m_text, popover);
    label->setWordWrap(true);
    label->setFont(EditorStyle::captionFont(font()));
    layout->addWidget(label);
    popover->adjustSize();
    popover->move(mapToGlobal(QPoint(width() / 2 - popoverWidth / 2, height())));
    m_popover = popover;
    popover->show();
}

QuickPanelSection::QuickPanelSection(QuickPanelControls controls, QWidget* parent)
    : QWidget(parent)
    , m_controls(std::move(controls))
    , m_selectedTriggerID(m_controls.selectedTriggerID)
    , m_trigger(new QToolButton(this))
    , m_triggerMenu(new QMenu(m_trigger)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* section = new InspectorSection(QStringLiteral("クイックビュー"), this);
    section->addToHeader(new QuickPanelInfoTip(QString::fromUtf8(helpText)));
    layout->addWidget(section);

    auto* triggerRow = new QHBoxLayout();
    triggerRow->addWidget(new QLabel(QStringLiteral("出し方"), this));
    triggerRow->addStretch();
    m_trigger->setObjectName(QStringLiteral("quickPanelTrigger"));
    m_trigger->setPopupMode(QToolButton::InstantPopup);
    m_trigger->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_trigger->setIcon(SymbolGlyphs::symbolIcon("keyboard", palette().color(QPalette::ButtonText)));
    m_trigger->setMenu(m_triggerMenu);
    connect(m_triggerMenu, &QMenu::aboutToShow, this, &QuickPanelSection::fillTriggerMenu);
    triggerRow->addWidget(m_trigger);
    section->rows()->addLayout(triggerRow);

    auto* show = new QPushButton(
        SymbolGlyphs::symbolIcon("rectangle.on.rectangle", palette().color(QPalette::ButtonText)),
        QStringLiteral("表示する"), this);
    show->setObjectName(QStringLiteral("showQuickPanelButton"));
    show->setFont(EditorStyle::bodySemiboldFont(font()));
    show->setFlat(true);
    show->setAutoFillBackground(true);
    show->setContentsMargins(8, 8, 8, 8);
    connect(show, &QPushButton::clicked, this, [this] {
        if (m_controls.onShowQuickPanel) {
            m_controls.onShowQuickPanel();
        }
    });
    section->rows()->addWidget(show, 0, Qt::AlignLeft);
    refreshTrigger();
}

void QuickPanelSection::selectTrigger(const QString& id) {
    showTrigger(id);
    if (m_controls.onSelectTrigger) {
        m_controls.onSelectTrigger(id);
    }
}

void QuickPanelSection::showTrigger(const QString& id) {
    m_selectedTriggerID = id;
    refreshTrigger();
}

QMenu& QuickPanelSection::triggerMenu() {
    fillTriggerMenu();
    return *m_triggerMenu;
}

void QuickPanelSection::refreshTrigger() {
    const QString title =
        InspectorRules::quickPanelTriggerTitle(m_controls.triggerOptions, m_selectedTriggerID);
    m_trigger->setText(title);
    m_trigger->setAccessibleName(QStringLiteral("出し方: ") + title);
}

void QuickPanelSection::fillTriggerMenu() {
    m_triggerMenu->clear();
    const QIcon check =
        SymbolGlyphs::symbolIcon("checkmark", palette().color(QPalette::ButtonText));
    for (const QuickPanelTriggerOption& option : m_controls.triggerOptions) {
        QAction* item = m_triggerMenu->addAction(option.id == m_selectedTriggerID ? check : QIcon(),
                                                 option.title);
        item->setData(option.id);
        connect(item, &QAction::triggered, this, [this, id = option.id] { selectTrigger(id); });
    }
}

} // namespace quorix
