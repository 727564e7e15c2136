#pragma once

#include "QuorixMacCore/Catalog/ShortcutScanner.h"
#include "QuorixProtocol/Models.h"

#include <QWidget>

#include <functional>
#include <vector>

class QThreadPool;

namespace quorix {

class ChoiceListView;
class MacEditorState;
class MacSearchField;
class SpinnerView;

/// The shortcut action's editor: the user's shortcuts from the Shortcuts tool, filtered by
/// a search field, the current one checked. Lists them off the main thread when shown.
class MacShortcutActionEditor final : public QWidget {
    Q_OBJECT

public:
    static constexpr int maxListHeight = 220;
    static constexpr int rowSpacing = 4;

    /// `onChoose` hears the name of each chosen shortcut.
    MacShortcutActionEditor(MacEditorState& state, const ShortcutScanner& scanner,
                            QThreadPool* taskPool, std::function<void(const std::string&)> onChoose,
                            QWidget* parent = nullptr);

    /// The button's action, for the check mark.
    void showAction(const ActionSpec& action);
    bool isLoading() const { return m_isLoading; }

private:
    void load(const ShortcutScanner& scanner, QThreadPool* taskPool);
    void refreshRows();

    MacSearchField* m_search;
    SpinnerView* m_spinner;
    ChoiceListView* m_list;
    std::function<void(const std::string&)> m_onChoose;
    std::vector<ShortcutChoice> m_shortcuts;
    std::vector<ShortcutChoice> m_shown;
    ActionSpec m_action;
    bool m_isLoading = false;
};

} // namespace quorix
