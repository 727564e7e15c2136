#include "QuorixMacCore/Editor/ActionSummary.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

using enum Modifier;

URL url(std::string_view text) {
    return URL::parse(text).value();
}

ActionSpec shortcut(std::vector<Modifier> modifiers, std::string key) {
    return ActionSpec::keyboardShortcut({std::move(modifiers), std::move(key)});
}

struct SummaryCase {
    std::string name;
    ActionSpec action;
    std::string readableName;
    bool configured;
};

TEST(ActionSummary, namesAndChecksEachKindOfAction) {
    const ActionSpec blankShortcut = shortcut({}, " ");
    const ActionSpec placeholder = ActionSpec::openURL(url(placeholderWebAddress));
    const SummaryCase cases[] = {
        {"shortcut", shortcut({command, shift}, "a"), "Shift + Cmd + A", true},
        {"blank key", blankShortcut, " ", false},
        {"modifier with empty key", shortcut({command}, ""), "Cmd + ", true},
        {"launch", ActionSpec::launchApp("org.mozilla.firefox"), "アプリ起動", true},
        {"launch, blank id", ActionSpec::launchApp("  "), "アプリ起動", false},
        {"launch, blank id and a path", ActionSpec::launchApp("  ", "/usr/bin/firefox"),
         "アプリ起動", true},
        {"web address", ActionSpec::openURL(url("https://example.org/page")), "URLを開く", true},
        {"placeholder address", placeholder, "URLを開く", false},
        {"shortcut run", ActionSpec::openURL(url("shortcuts://run-shortcut?name=Morning")),
         "ショートカット実行", true},
        {"shortcut run, blank name",
         ActionSpec::openURL(url("shortcuts://run-shortcut?name=%20%0A")), "ショートカット実行",
         false},
        {"shortcut run, no query", ActionSpec::openURL(url("shortcuts://run-shortcut")),
         "ショートカット実行", false},
        {"shell", ActionSpec::shellCommand("ls"), "コマンド", true},
        {"blank shell", ActionSpec::shellCommand(" \t"), "コマンド", false},
        {"empty macro", ActionSpec::macro({}, {}), "順番に動かす", false},
        {"macro with one configured step",
         ActionSpec::macro({blankShortcut, placeholder, ActionSpec::shellCommand("ls")}, {0.5}),
         "順番に動かす", true},
        {"nested macro, configured deep down",
         ActionSpec::macro(
             {placeholder,
              ActionSpec::macro({ActionSpec::macro({ActionSpec::launchApp("a.b")}, {})}, {})},
             {}),
         "順番に動かす", true},
        {"nested macro, nothing configured",
         ActionSpec::macro({ActionSpec::macro({ActionSpec::macro({}, {}), placeholder}, {})}, {}),
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
