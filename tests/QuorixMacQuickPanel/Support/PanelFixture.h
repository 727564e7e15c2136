#pragma once

#include "QuorixMacApp/QuickPanel/QuickPanel.h"
#include "QuorixMacCore/Actions/ActionExecuting.h"
#include "QuorixMacCore/Platform/FloatingPanels.h"
#include "QuorixMacEditorWindow/Support/EditorFixture.h"

#include <QFuture>

#include <functional>
#include <memory>
#include <vector>

namespace quorix::test {

/// Records the actions it is given and answers each with `outcome`.
class RecordingExecutor final : public ActionExecuting {
public:
    QFuture<ExecuteOutcome> execute(const ActionSpec& action) override {
        actions.push_back(action);
        if (onExecute) {
            onExecute();
        }
        return QtFuture::makeReadyFuture(outcome);
    }

    std::vector<ActionSpec> actions;
    ExecuteOutcome outcome = ExecuteOutcome::succeeded();
    std::function<void()> onExecute;
};

/// A window system with or without a compositor that counts the panel's showings.
class CountingFloatingPanels final : public FloatingPanels {
public:
    bool hasCompositor() const override { return compositor; }
    void prepareToShow(QWindow&) override { ++showings; }

    bool compositor = false;
    int showings = 0;
};

/// A keyboard shortcut action, for buttons whose runs are told apart.
inline ActionSpec keys(std::string key) {
    return ActionSpec::keyboardShortcut({{Modifier::shift}, std::move(key)});
}

/// `count` pages of `buttons` symbol buttons each, every button typing its page's letter.
inline LayoutRecord pagesOfButtons(int count, int buttons) {
    std::vector<PageRecord> pages;
    for (int index = 0; index < count; ++index) {
        std::vector<QuorixButtonRecord> records;
        for (int b = 0; b < buttons; ++b) {
            records.push_back(
                button(b, IconRef::sfSymbol("star.fill"), keys(std::string(1, char('a' + index)))));
        }
        pages.push_back(page(index, std::move(records)));
    }
    return layoutOf(std::move(pages));
}

/// A quick panel over an editor state of its own, with a recording executor and beep.
struct PanelFixture {
    explicit PanelFixture(LayoutRecord layout)
        : editor(std::move(layout))
        , panel(editor.state, recording,
                QuickPanel::Options{[this] { ++beeps; }, floatingPanels, &editor.appIcons}) {}

    EditorFixture editor;
    std::shared_ptr<RecordingExecutor> recording = std::make_shared<RecordingExecutor>();
    std::shared_ptr<CountingFloatingPanels> floatingPanels =
        std::make_shared<CountingFloatingPanels>();
    int beeps = 0;
    QuickPanel panel;
};

} // namespace quorix::test
