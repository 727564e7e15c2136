#include "QuorixMacCore/EditorWindow/InspectorRules.h"

#include "QuorixMacCore/Editor/ActionSummary.h"
#include "QuorixMacCore/Editor/ShortcutsRunURL.h"
#include "QuorixMacCore/EditorWindow/MacActionKind.h"
#include "QuorixMacEditorWindow/Support/EditorFixture.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

using namespace InspectorRules;
using test::url;

TEST(MacActionKind, isReadFromTheAction) {
    const std::pair<ActionSpec, MacActionKind> cases[] = {
        {ActionSpec::launchApp("org.example.App"), MacActionKind::app},
        {ActionSpec::openURL(url("https://example.org")), MacActionKind::web},
        {ActionSpec::openURL(shortcutsRunURL("Mail")), MacActionKind::shortcut},
        {ActionSpec::openURL(url("SHORTCUTS://RUN-SHORTCUT?name=x")), MacActionKind::shortcut},
        {ActionSpec::keyboardShortcut({{Modifier::command}, "c"}), MacActionKind::keyboard},
        {ActionSpec::macro({ActionSpec::launchApp("a")}, {0}), MacActionKind::keyboard},
        {ActionSpec::shellCommand("ls"), MacActionKind::keyboard},
    };
    for (const auto& [action, kind] : cases) {
        EXPECT_EQ(macActionKind(action), kind) << readableName(action);
    }
}

TEST(MacActionKind, describesEachKindAndWhatChoosingItDoes) {
    const URL placeholder = url("https://example.com");
    const std::tuple<MacActionKind, const char*, std::optional<std::string_view>, const char*,
                     MacActionKindSwitch>
        cases[] = {
            {MacActionKind::app,
             "アプリ",
             "com.apple.AppStore",
             "app",
             {std::nullopt, ActionSpec::launchApp(""), false}},
            {MacActionKind::keyboard,
             "ショートカットキー",
             std::nullopt,
             "keyboard",
             {std::nullopt, ActionSpec::keyboardShortcut({{Modifier::command}, "space"}), false}},
            {MacActionKind::web,
             "URL",
             std::nullopt,
             "globe",
             {IconRef::favicon(placeholder), ActionSpec::openURL(placeholder), true}},
            {MacActionKind::shortcut,
             "ショートカット",
             "com.apple.shortcuts",
             "sparkles",
             {IconRef::appIcon("com.apple.shortcuts"),
              ActionSpec::openURL(url("shortcuts://run-shortcut?name=")), false}},
        };
    for (const auto& [kind, label, application, symbol, change] : cases) {
        EXPECT_EQ(macActionKindLabel(kind), QString::fromUtf8(label));
        EXPECT_EQ(macActionKindApplication(kind), application) << label;
        EXPECT_EQ(macActionKindSymbol(kind), symbol) << label;
        EXPECT_EQ(macActionKindSwitch(kind), change) << label;
        EXPECT_EQ(macActionKind(change.action), kind) << label;
    }
}

TEST(InspectorRules, statusAndTriggerTexts) {
    for (const auto& [pending, text, shown] :
         {std::tuple{true, "スマホへ自動同期しました", "変更を自動同期しています"},
          std::tuple{true, "", "変更を自動同期しています"},
          std::tuple{false, "スマホへ自動同期しました", "スマホへ自動同期しました"},
          std::tuple{false, "", "保存済み"}}) {
        EXPECT_EQ(syncStatusText(pending, QString::fromUtf8(text)), QString::fromUtf8(shown));
    }
    EXPECT_EQ(selectedButtonTitle(0), QStringLiteral("ボタン 1"));

    const std::vector<QuickPanelTriggerOption> options{
        {QStringLiteral("optionDoubleTap"), QStringLiteral("Option 2回")},
        {QStringLiteral("controlHold"), QStringLiteral("Control 長押し")}};
    for (const auto& [id, title] :
         {std::pair{"controlHold", "Control 長押し"}, std::pair{"optiondoubletap", "未設定"},
          std::pair{"", "未設定"}}) {
        EXPECT_EQ(quickPanelTriggerTitle(options, QString::fromUtf8(id)), QString::fromUtf8(title));
    }
    EXPECT_EQ(quickPanelTriggerTitle({}, QString()), QStringLiteral("未設定"));
}

TEST(InspectorRules, appSearchMatchesNameOrBundleIDAndNeedsAQuery) {
    const std::vector<AppInfo> apps{{"Notion", "notion.id", ""},
                                    {"Calendar", "so.NOTION.calendar", ""},
                                    {"Mail", "org.example.Mail", ""},
                                    {"Évolution", "org.gnome.Evolution", ""}};
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"  notion  ", {"Notion", "Calendar"}},
        {"\tNOTION\n", {"Notion", "Calendar"}},
        {"éVOL", {"Évolution"}},
        {"mail", {"Mail"}},
        {"xyz", {}},
        {"", {}},
        {"   ", {}},
    };
    for (const auto& [query, names] : cases) {
        std::vector<std::string> found;
        for (const AppInfo& app : matchingInstalledApps(apps, QString::fromUtf8(query))) {
            found.push_back(app.name);
        }
        EXPECT_EQ(found, names) << query;
    }
}

TEST(InspectorRules, shortcutSearchShowsAllForABlankQuery) {
    const std::vector<ShortcutChoice> shortcuts{
        {"Mail Summary", "Mail Summary"}, {"Timer", "Timer"}, {"mail later", "mail later"}};
    EXPECT_EQ(matchingShortcuts(shortcuts, QStringLiteral("  ")), shortcuts);
    EXPECT_EQ(matchingShortcuts(shortcuts, QString()), shortcuts);
    EXPECT_EQ(matchingShortcuts(shortcuts, QStringLiteral(" MAIL ")),
              (std::vector<ShortcutChoice>{shortcuts[0], shortcuts[2]}));
    EXPECT_TRUE(matchingShortcuts(shortcuts, QStringLiteral("none")).empty());
}

TEST(InspectorRules, typedAddressesAreTrimmedAndInvalidOnesIgnored) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"  https://example.org/a \n", "https://example.org/a"},
        {"example.org", "example.org"},
        {"https://exa mple.org", std::nullopt},
        {"https://example.org/%zz", std::nullopt},
        {" \n ", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        const auto typed = typedURL(QString::fromUtf8(text));
        EXPECT_EQ(typed ? std::optional(typed->absoluteString()) : std::nullopt, expected) << text;
    }
}

TEST(InspectorRules, applicationChoicesAndTheirUpdates) {
    const std::pair<ActionSpec, bool> named[] = {
        {ActionSpec::launchApp("org.example.App"), true},
        {ActionSpec::launchApp("  ", std::nullopt), false},
        {ActionSpec::launchApp(" ", std::string(" \n")), false},
        {ActionSpec::launchApp(" ", std::string(" /opt/app ")), true},
        {ActionSpec::keyboardShortcut({{}, "a"}), false},
    };
    for (const auto& [action, names] : named) {
        EXPECT_EQ(namesApplication(action), names) << readableName(action);
    }
    EXPECT_EQ(cleanedFallbackPath(std::string("  /opt/app\n")), "/opt/app");
    EXPECT_EQ(cleanedFallbackPath(std::string(" ")), std::nullopt);

    const Bytes png{1, 2, 3};
    const ColorGradient white{"#ffffff", "#e5e7eb", 135};
    EXPECT_EQ(chosenAppUpdate("org.example.App", "/p", png),
              (ButtonUpdate{IconRef::custom(png), white,
                            ActionSpec::launchApp("org.example.App", "/p")}));
    EXPECT_EQ(chosenAppUpdate("", "/p", std::nullopt),
              (ButtonUpdate{std::nullopt, std::nullopt, ActionSpec::launchApp("", "/p")}));
    EXPECT_EQ(shortcutUpdate("Mail"), (ButtonUpdate{IconRef::appIcon("com.apple.shortcuts"), white,
                                                    ActionSpec::openURL(shortcutsRunURL("Mail"))}));
    EXPECT_TRUE(isCurrentShortcut({"Mail", "Mail"}, ActionSpec::openURL(shortcutsRunURL("Mail"))));
    EXPECT_FALSE(isCurrentShortcut({"Mail", "Mail"}, ActionSpec::openURL(shortcutsRunURL("Mai"))));
}

} // namespace
} // namespace quorix
