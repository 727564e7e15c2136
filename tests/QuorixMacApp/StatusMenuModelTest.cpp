#include "QuorixMacApp/StatusMenuModel.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace quorix {
namespace {

// One line per row: "---" for a separator, "(title)" for an item without action, "title"
// otherwise, "title >" before a submenu's indented rows, "title ✓" for a checked item.
using Lines = std::vector<std::string>;

void describe(const std::vector<StatusMenuItem>& items, const QString& indent, Lines& out) {
    for (const StatusMenuItem& item : items) {
        if (item.isSeparator) {
            out.push_back((indent + QStringLiteral("---")).toStdString());
        } else if (!item.submenu.empty()) {
            out.push_back((indent + item.title + QStringLiteral(" >")).toStdString());
            describe(item.submenu, indent + QStringLiteral("  "), out);
        } else {
            const QString title =
                item.action == StatusMenuAction::none ? u'(' + item.title + u')' : item.title;
            out.push_back((indent + title + (item.isChecked ? QStringLiteral(" ✓") : QString()))
                              .toStdString());
        }
    }
}

Lines describe(const StatusMenuState& state) {
    Lines out;
    describe(StatusMenuModel::items(state), QString(), out);
    return out;
}

Lines head(const StatusMenuState& state, std::size_t count) {
    Lines lines = describe(state);
    lines.resize(std::min(count, lines.size()));
    return lines;
}

TEST(StatusMenuModel, runningWithoutFingerprintOrErrorShowsTheWholeMenu) {
    const StatusMenuState state{.isRunning = true, .versionText = QStringLiteral("0.1.0 (7)")};
    EXPECT_EQ(describe(state), (Lines{
                                   "(Kestrane 起動中)",
                                   "---",
                                   "スマホと同期",
                                   "ショートカット編集",
                                   "クイックパネルを表示",
                                   "クイックパネルの出し方 >",
                                   "  Control 1回押し",
                                   "  Control 2回押し",
                                   "  Control長押し",
                                   "  Option 1回押し",
                                   "  Option長押し",
                                   "  Option 2回押し ✓",
                                   "困ったとき >",
                                   "  アクセシビリティ権限を確認",
                                   "  受け取りを再起動",
                                   "---",
                                   "このアプリについて >",
                                   "  プライバシーポリシー",
                                   "  サポート",
                                   "  ---",
                                   "  (バージョン 0.1.0 (7))",
                                   "---",
                                   "終了",
                               }));
}

TEST(StatusMenuModel, statusFingerprintAndErrorLinesDependOnTheState) {
    const QString fingerprint40 = QStringLiteral("0123456789abcdef0123456789abcdef01234567");
    struct Case {
        const char* name;
        StatusMenuState state;
        Lines head;
    };
    const std::vector<Case> cases{
        {"fingerprint of 40 characters",
         {.isRunning = true, .fingerprint = fingerprint40},
         {"(Kestrane 起動中)", "---", "(安全な目印: 0123456789ab...)", "---", "スマホと同期"}},
        {"fingerprint of 5 characters",
         {.isRunning = true, .fingerprint = QStringLiteral("abcde")},
         {"(Kestrane 起動中)", "---", "(安全な目印: abcde...)", "---", "スマホと同期"}},
        {"error without fingerprint",
         {.isRunning = false, .lastError = QStringLiteral("The WebSocket listener failed")},
         {"(Kestrane 停止中)", "---", "(エラー: The WebSocket listener failed)", "---",
          "スマホと同期"}},
        {"fingerprint and error",
         {.isRunning = true,
          .fingerprint = QStringLiteral("abc"),
          .lastError = QStringLiteral("x")},
         {"(Kestrane 起動中)", "---", "(安全な目印: abc...)", "---", "(エラー: x)", "---",
          "スマホと同期"}},
        {"an empty error is still an error",
         {.isRunning = false, .lastError = QString()},
         {"(Kestrane 停止中)", "---", "(エラー: )", "---", "スマホと同期"}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(head(test.state, test.head.size()), test.head);
    }
}

TEST(StatusMenuModel, restartTitleAndCheckMarkFollowTheState) {
    for (const QuickPanelTriggerModes::Entry& mode : QuickPanelTriggerModes::table) {
        for (const bool running : {true, false}) {
            const std::vector<StatusMenuItem> items =
                StatusMenuModel::items({.isRunning = running, .triggerMode = mode.mode});
            const auto submenu = [&](const QString& title) {
                return std::find_if(items.begin(), items.end(),
                                    [&](const StatusMenuItem& item) { return item.title == title; })
                    ->submenu;
            };
            const std::vector<StatusMenuItem> triggers =
                submenu(QStringLiteral("クイックパネルの出し方"));
            ASSERT_EQ(triggers.size(), QuickPanelTriggerModes::table.size());
            for (const StatusMenuItem& trigger : triggers) {
                EXPECT_EQ(trigger.isChecked, trigger.representedObject == mode.rawValue);
                EXPECT_EQ(trigger.action, StatusMenuAction::selectQuickPanelTriggerMode);
            }
            const StatusMenuItem restart = submenu(QStringLiteral("困ったとき")).at(1);
            EXPECT_EQ(restart.title, running ? QStringLiteral("受け取りを再起動")
                                             : QStringLiteral("受け取りを開始"));
            EXPECT_EQ(restart.action, StatusMenuAction::restartServer);
        }
    }
}

TEST(StatusMenuModel, versionTextComesFromVersionAndBuild) {
    struct Case {
        std::optional<QString> version;
        std::optional<QString> build;
        QString expected;
    };
    const std::vector<Case> cases{
        {QStringLiteral("2.3"), QStringLiteral("41"), QStringLiteral("2.3 (41)")},
        {QStringLiteral("2.3"), std::nullopt, QStringLiteral("2.3")},
        {QStringLiteral("2.3"), QString(), QStringLiteral("2.3")},
        {std::nullopt, QStringLiteral("41"), QStringLiteral("1.0")},
        {QString(), QStringLiteral("41"), QStringLiteral("1.0")},
        {std::nullopt, std::nullopt, QStringLiteral("1.0")},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(StatusMenuModel::versionText(test.version, test.build), test.expected)
            << test.version.value_or(QStringLiteral("-")).toStdString() << " "
            << test.build.value_or(QStringLiteral("-")).toStdString();
    }
    const StatusMenuState state{
        .versionText = StatusMenuModel::versionText(QStringLiteral("2.3"), QStringLiteral("41"))};
    const Lines lines = describe(state);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "  (バージョン 2.3 (41))"), lines.end());
}

} // namespace
} // namespace quorix
