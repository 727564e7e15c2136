#include "QuorixMacCore/EditorWindow/InspectorView.h"

#include "QuorixMacCore/Artwork/SymbolGlyphs.h"
#include "QuorixMacCore/Editor/ActionSummary.h"
#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/EditorWindow/CustomIconRegistrationRow.h"
#include "QuorixMacCore/EditorWindow/EditorStyle.h"
#include "QuorixMacCore/EditorWindow/IconArtwork.h"
#include "QuorixMacCore/EditorWindow/InspectorRules.h"
#include "QuorixMacCore/EditorWindow/InspectorWidgets.h"
#include "QuorixMacCore/EditorWindow/KeyboardShortcutEditorView.h"
#include "QuorixMacCore/EditorWindow/MacAppActionEditor.h"
#include "QuorixMacCore/EditorWindow/MacShortcutActionEditor.h"
#include "QuorixMacCore/EditorWindow/MacURLActionEditor.h"
#include "QuorixMacCore/EditorWindow/QuickPanelSection.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include <variant>

namespace quorix {

namespace {

constexpr int formInset = 12;
constexpr int kindIconSide = 16;

std::optional<URL> openedURL(const ActionSpec& action) {
    if (const auto* open = std::get_if<ActionSpec::OpenURL>(&action.value)) {
        return open->url;
    }
    return std::nullopt;
}

KeyCombo keyCombo(const ActionSpec& action) {
    if (const auto* shortcut = std::get_if<ActionSpec::KeyboardShortcut>(&action.value)) {
        return shortcut->combo;
    }
    // Macros and commands show as keyboard actions and start with an empty field.
    return KeyCombo{{}, {}};
}

QLabel* secondaryCaption(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFont(EditorStyle::captionFont(parent->font()));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, EditorStyle::secondaryText(palette));
    label->setPalette(palette);
    label->setWordWrap(true);
    return label;
}

} // namespace

QIcon macActionKindIcon(MacActionKind kind, IconArtworkCache& artwork, const QPalette& palette) {
    if (const auto application = macActionKindApplication(kind)) {
        const IconArtworkCache::Picture picture =
            artwork.applicationIcon(std::string(*application));
        if (picture.status == IconArtworkCache::Status::ready) {
            return QIcon(QPixmap::fromImage(picture.image.scaled(
                kindIconSide, kindIconSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        }
    }
    return SymbolGlyphs::symbolIcon(macActionKindSymbol(kind), EditorStyle::secondaryText(palette));
}

InspectorView::InspectorView(MacEditorState& state, std::function<void()> onSync,
                             std::optional<QuickPanelControls> controls, QWidget* parent,
                             InspectorServices services)
    : QWidget(parent)
    , m_state(state)
    , m_onSync(std::move(onSync))
    , m_services(std::move(services))
    , m_artwork(IconArtworkCache::of(state)) {
    setObjectName(QStringLiteral("inspector"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);
    auto* form = new QWidget(scroll);
    auto* column = new QVBoxLayout(form);
    column->setContentsMargins(formInset, formInset, formInset, formInset);
    column->setSpacing(16);
    scroll->setWidget(form);

    m_buttonSection = new InspectorSection(QStringLiteral("ショートカット"), form);
    m_buttonSection->setObjectName(QStringLiteral("buttonSection"));
    auto* selectedRow = new QHBoxLayout();
    selectedRow->addWidget(new QLabel(QStringLiteral("選択中"), m_buttonSection));
    selectedRow->addStretch();
    m_buttonTitle = new QLabel(m_buttonSection);
    m_buttonTitle->setObjectName(QStringLiteral("selectedButtonTitle"));
    selectedRow->addWidget(m_buttonTitle);
    m_buttonSection->rows()->addLayout(selectedRow);
    column->addWidget(m_buttonSection);

    m_actionSection = new InspectorSection(QStringLiteral("操作を割り当てる"), form);
    m_actionSection->setObjectName(QStringLiteral("actionSection"));
    auto* kindRow = new QHBoxLayout();
    auto* kindLabel = new QLabel(QStringLiteral("種類"), m_actionSection);
    kindRow->addWidget(kindLabel);
    kindRow->addStretch();
    m_kindPicker = new QComboBox(m_actionSection);
    m_kindPicker->setObjectName(QStringLiteral("kindPicker"));
    m_kindPicker->setAccessibleName(QStringLiteral("種類"));
    m_kindPicker->setIconSize(QSize(kindIconSide, kindIconSide));
    kindLabel->setBuddy(m_kindPicker);
    for (const MacActionKind kind : allMacActionKinds) {
        m_kindPicker->addItem(macActionKindLabel(kind), static_cast<int>(kind));
    }
    kindRow->addWidget(m_kindPicker);
    m_actionSection->rows()->addLayout(kindRow);
    m_editorSlot = new QVBoxLayout();
    m_editorSlot->setContentsMargins(0, 0, 0, 0);
    m_actionSection->rows()->addLayout(m_editorSlot);
    column->addWidget(m_actionSection);

    m_iconSection = new InspectorSection(QStringLiteral("表示アイコン"), form);
    m_iconSection->setObjectName(QStringLiteral("iconSection"));
    column->addWidget(m_iconSection);

    if (controls) {
        m_quickPanelSection = new QuickPanelSection(std::move(*controls), form);
        m_quickPanelSection->setObjectName(QStringLiteral("quickPanelSection"));
        column->addWidget(m_quickPanelSection);
    }

    auto* syncSection = new InspectorSection(QStringLiteral("自動同期"), form);
    syncSection->setObjectName(QStringLiteral("syncSection"));
    m_status = secondaryCaption(syncSection);
    m_status->setObjectName(QStringLiteral("syncStatus"));
    syncSection->rows()->addWidget(m_status);
    column->addWidget(syncSection);
    column->addStretch();

    connect(m_kindPicker, &QComboBox::activated, this, [this](int index) {
        chooseKind(static_cast<MacActionKind>(m_kindPicker->itemData(index).toInt()));
    });
    connect(&m_state, &MacEditorState::layoutChanged, this, &InspectorView::refresh);
    connect(&m_state, &MacEditorState::selectedButtonIDChanged, this, &InspectorView::refresh);
    connect(&m_state, &MacEditorState::selectedPageIDChanged, this, &InspectorView::refresh);
    connect(&m_state, &MacEditorState::pendingSyncLayoutChanged, this,
            &InspectorView::refreshStatus);
    connect(&m_state, &MacEditorState::syncStatusTextChanged, this, &InspectorView::refreshStatus);
    connect(&m_artwork, &IconArtworkCache::pictureArrived, this, &InspectorView::refreshKindIcons);
    connect(&m_state, &MacEditorState::installedAppsChanged, this,
            &InspectorView::refreshKindIcons);
    refreshKindIcons();
    refresh();
    refreshStatus();
}

void InspectorView::refresh() {
    const QuorixButtonRecord* button = m_state.selectedButton();
    for (QWidget* section :
         {static_cast<QWidget*>(m_buttonSection), static_cast<QWidget*>(m_actionSection),
          static_cast<QWidget*>(m_iconSection)}) {
        section->setVisible(button != nullptr);
    }
    if (!button) {
        m_editorButtonID.reset();
        if (m_editor) {
            m_editor->deleteLater();
        }
        if (m_iconRow) {
            m_iconRow->deleteLater();
        }
        if (m_quickPanelSection) {
            m_quickPanelSection->hide();
        }
        return;
    }
    m_buttonTitle->setText(InspectorRules::selectedButtonTitle(button->position));
    const MacActionKind kind = macActionKind(button->action);
    m_kindPicker->setCurrentIndex(m_kindPicker->findData(static_cast<int>(kind)));
    if (m_editorButtonID != button->id || m_editorKind != kind || !m_editor) {
        rebuildEditors(*button, kind);
    } else {
        showAction(button->action);
        m_iconRow->showIcon(button->icon);
    }
    if (m_quickPanelSection) {
        m_quickPanelSection->setVisible(isConfiguredForQuickPanel(button->action));
    }
}

void InspectorView::refreshStatus() {
    m_status->setText(InspectorRules::syncStatusText(m_state.pendingSyncLayout().has_value(),
                                                     m_state.syncStatusText()));
}

void InspectorView::refreshKindIcons() {
    for (int index = 0; index < m_kindPicker->count(); ++index) {
        const auto kind = static_cast<MacActionKind>(m_kindPicker->itemData(index).toInt());
        m_kindPicker->setItemIcon(index, macActionKindIcon(kind, m_artwork, palette()));
    }
}

void InspectorView::rebuildEditors(const QuorixButtonRecord& button, MacActionKind kind) {
    // Either may be the widget whose change led here: they go once it has returned.
    if (m_editor) {
        m_editor->hide();
        m_editor->deleteLater();
    }
    const bool sameButton = m_editorButtonID == button.id;
    m_editorButtonID = button.id;
    m_editorKind = kind;
    m_editor = makeActionEditor(button, kind);
    m_editor->setObjectName(QStringLiteral("actionEditor"));
    m_editorSlot->addWidget(m_editor);
    if (sameButton && m_iconRow) {
        m_iconRow->showIcon(button.icon);
        return;
    }
    if (m_iconRow) {
        m_iconRow->hide();
        m_iconRow->deleteLater();
    }
    m_iconRow = new CustomIconRegistrationRow(ButtonEditing(m_state, m_onSync, button.id),
                                              m_services, m_iconSection);
    m_iconSection->rows()->addWidget(m_iconRow);
}

QWidget* InspectorView::makeActionEditor(const QuorixButtonRecord& button, MacActionKind kind) {
    ButtonEditing editing(m_state, m_onSync, button.id);
    switch (kind) {
    case MacActionKind::app:
        return new MacAppActionEditor(editing, m_services, m_actionSection);
    case MacActionKind::keyboard:
        return new KeyboardShortcutEditorView(
            keyCombo(button.action), m_services.nativeKeyCodes,
            [editing](const KeyCombo& combo) {
                editing.apply({std::nullopt, std::nullopt, ActionSpec::keyboardShortcut(combo)});
            },
            m_actionSection);
    case MacActionKind::web:
        return new MacURLActionEditor(
            openedURL(button.action),
            [editing](const URL& url) {
                editing.applyResolvingWebIcon(
                    {IconRef::favicon(url), std::nullopt, ActionSpec::openURL(url)});
            },
            m_actionSection);
    case MacActionKind::shortcut:
        return new MacShortcutActionEditor(
            m_state, *m_services.shortcutScanner, m_services.taskPool,
            [editing](const std::string& name) {
                editing.apply(InspectorRules::shortcutUpdate(name));
            },
            m_actionSection);
    }
    auto* unavailable = new QLabel(QStringLiteral("この種類はあとで使えるようにします"));
    unavailable->setWordWrap(true);
    return unavailable;
}

void InspectorView::showAction(const ActionSpec& action) {
    if (auto* app = qobject_cast<MacAppActionEditor*>(m_editor)) {
        app->showAction(action);
    } else if (auto* keyboard = qobject_cast<KeyboardShortcutEditorView*>(m_editor)) {
        keyboard->showCombo(keyCombo(action));
    } else if (auto* web = qobject_cast<MacURLActionEditor*>(m_editor)) {
        web->showURL(openedURL(action));
    } else if (auto* shortcut = qobject_cast<MacShortcutActionEditor*>(m_editor)) {
        shortcut->showAction(action);
    }
}

void InspectorView::chooseKind(MacActionKind kind) {
    const QuorixButtonRecord* button = m_state.selectedButton();
    if (!button || macActionKind(button->action) == kind) {
        return;
    }
    const MacActionKindSwitch change = macActionKindSwitch(kind);
    const ButtonEditing editing(m_state, m_onSync, button->id);
    const InspectorRules::ButtonUpdate update{change.icon, std::nullopt, change.action};
    if (change.resolvesWebIcon) {
        editing.applyResolvingWebIcon(update);
    } else {
        editing.apply(update);
    }
}

} // namespace quorix
