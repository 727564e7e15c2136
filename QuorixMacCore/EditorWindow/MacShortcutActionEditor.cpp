#include "QuorixMacCore/EditorWindow/MacShortcutActionEditor.h"

#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/EditorWindow/EditorStyle.h"
#include "QuorixMacCore/EditorWindow/IconArtwork.h"
#include "QuorixMacCore/EditorWindow/InspectorRules.h"
#include "QuorixMacCore/EditorWindow/InspectorWidgets.h"

#include <QLabel>
#include <QVBoxLayout>

namespace quorix {

MacShortcutActionEditor::MacShortcutActionEditor(MacEditorState& state,
                                                 const ShortcutScanner& scanner,
                                                 QThreadPool* taskPool,
                                                 std::function<void(const std::string&)> onChoose,
                                                 QWidget* parent)
    : QWidget(parent)
    , m_search(new MacSearchField(QStringLiteral("ショートカットを検索"), this))
    , m_spinner(new SpinnerView(this))
    , m_list(new ChoiceListView(IconArtworkCache::of(state), maxListHeight, rowSpacing, this))
    , m_onChoose(std::move(onChoose))
    , m_action(state.selectedButton() ? state.selectedButton()->action
                                      : ActionSpec::launchApp("")) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_search->setObjectName(QStringLiteral("shortcutSearchField"));
    layout->addWidget(m_search);
    auto* caption = new QLabel(QStringLiteral("ショートカットAppから"), this);
    QFont captionFont = EditorStyle::captionFont(font());
    captionFont.setWeight(QFont::DemiBold);
    caption->setFont(captionFont);
    QPalette captionPalette = caption->palette();
    captionPalette.setColor(QPalette::WindowText, EditorStyle::secondaryText(palette()));
    caption->setPalette(captionPalette);
    layout->addWidget(caption);
    m_spinner->setObjectName(QStringLiteral("shortcutsLoading"));
    m_spinner->hide();
    layout->addWidget(m_spinner, 0, Qt::AlignHCenter);
    m_list->setObjectName(QStringLiteral("shortcutList"));
    layout->addWidget(m_list);

    connect(m_search, &QLineEdit::textChanged, this, &MacShortcutActionEditor::refreshRows);
    connect(m_list, &ChoiceListView::chosen, this, [this](int row) {
        if (row >= 0 && static_cast<std::size_t>(row) < m_shown.size()) {
            // A copy: choosing changes the button, which may rebuild this editor.
            const std::string name = m_shown[static_cast<std::size_t>(row)].name;
            m_onChoose(name);
        }
    });
    load(scanner, taskPool);
}

void MacShortcutActionEditor::showAction(const ActionSpec& action) {
    m_action = action;
    refreshRows();
}

void MacShortcutActionEditor::load(const ShortcutScanner& scanner, QThreadPool* taskPool) {
    m_isLoading = true;
    m_spinner->show();
    whenFinished<std::vector<ShortcutChoice>>(this, scanner.scan(taskPool),
                                              [this](const std::vector<ShortcutChoice>& found) {
                                                  m_shortcuts = found;
                                                  m_isLoading = false;
                                                  m_spinner->hide();
                                                  refreshRows();
                                              });
}

void MacShortcutActionEditor::refreshRows() {
    m_shown = InspectorRules::matchingShortcuts(m_shortcuts, m_search->text());
    std::vector<ChoiceRow> rows;
    for (const ShortcutChoice& shortcut : m_shown) {
        rows.push_back({QStringLiteral("From Shortcuts: ") + QString::fromStdString(shortcut.name),
                        std::nullopt, "sparkles",
                        InspectorRules::isCurrentShortcut(shortcut, m_action)});
    }
    m_list->choices().setRows(std::move(rows));
}

} // namespace quorix
