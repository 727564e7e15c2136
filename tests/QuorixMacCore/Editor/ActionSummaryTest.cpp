#include "QuorixMacCore/Editor/ActionSummary.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

using enum Modifier;

ActionSpec opening(std::string_view text) {
    return ActionSpec::openURL(URL::parse(text).value());
}

ActionSpec shortcut(std::vector<Modifier> modifiers, std::string key) {
    return ActionSpec::keyboardShortcut({std::move(modifiers), std::move(key)});
}

ActionSpec macro(std::vector<ActionSpec> steps) {
    return ActionSpec::macro(std::move(steps), {});
}

struct SummaryCase {
    std::string name;
    ActionSpec action;
    std::string readableName;
    bool configured;
};

TEST(ActionSummary, namesAndChecksEachKindOfAction) {
    const ActionSpec blankShortcut = shortcut({}, " ");
    const ActionSpec placeholder = opening(placeholderWebAddress);
    const std::string run = "ショートカット実行";
    const SummaryCase cases[] = {
        {"shortcut", shortcut({command, shift}, "a"), "Shift + Cmd + A", true},
        {"blank key", blankShortcut, " ", false},
        {"modifier, empty key", shortcut({command}, ""), "Cmd + ", true},
        {"launch", ActionSpec::launchApp("org.mozilla.firefox"), "アプリ起動", true},
        {"launch, blank id", ActionSpec::launchApp("  "), "アプリ起動", false},
        {"launch, blank id, path", ActionSpec::launchApp("  ", "/usr/bin/a"), "アプリ起動", true},
        {"web address", opening("https://example.org/page"), "URLを開く", true},
        {"placeholder", placeholder, "URLを開く", false},
        {"run", opening("shortcuts://run-shortcut?name=Morning"), run, true},
        {"run, blank name", opening("shortcuts://run-shortcut?name=%20%0A"), run, false},
        {"run, no query", opening("shortcuts://run-shortcut"), run, false},
        {"shell", ActionSpec::shellCommand("ls"), "コマンド", true},
        {"blank shell", ActionSpec::shellCommand(" \t"), "コマンド", false},
        {"empty macro", macro({}), "順番に動かす", false},
        {"macro, one configured step",
         ActionSpec::macro({blankShortcut, placeholder, ActionSpec::shellCommand("ls")}, {0.5}),
         "順番に動かす", true},
        {"nested macro, configured deep down",
         macro({placeholder, macro({macro({ActionSpec::launchApp("a.b")})})}), "順番に動かす",
         true},
        {"nested macro, nothing configured", macro({macro({macro({}), placeholder})}),
         "順番に動かす", false},
    };
    for (const SummaryCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readableName(c.action), c.readableName);
        EXPECT_EQ(isConfiguredForQuickPanel(c.action), c.configured);
    }
}

} // namespace
} // namespace quorix
