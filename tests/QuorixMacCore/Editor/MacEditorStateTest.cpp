#include "QuorixMacCore/Editor/MacEditorState.h"

#include "QuorixMacCore/Catalog/InstalledAppsScanner.h"
#include "QuorixMacCore/Editor/LayoutNormalization.h"
#include "QuorixMacCore/Editor/ShortcutsRunURL.h"
#include "QuorixMacCore/Platform/Linux/DesktopEntryApplications.h"
#include "QuorixMacCore/Support/InMemoryUserDefaults.h"
#include "QuorixMacCore/Support/TestImages.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <QDir>
#include <QFile>
#include <QPromise>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <array>
#include <gtest/gtest.h>
#include <limits>
#include <set>

namespace quorix {
namespace {

using namespace std::chrono_literals;

URL url(std::string_view text) {
    return *URL::parse(text);
}

ActionSpec key(std::string name) {
    return ActionSpec::keyboardShortcut({{}, std::move(name)});
}

ActionSpec opening(std::string_view site) {
    return ActionSpec::openURL(url(site));
}

QuorixButtonRecord button(std::int64_t position, IconRef icon = IconRef::sfSymbol("star"),
                          ActionSpec action = key("a")) {
    return {
        UUID::random(), position, std::move(icon), {"#111111", "#222222", 135}, std::move(action)};
}

PageRecord page(std::int64_t order, std::vector<QuorixButtonRecord> buttons = {}) {
    return {UUID::random(), "Page", order, GradientPreset::custom, std::move(buttons), 3, 5};
}

LayoutRecord layoutOf(std::vector<PageRecord> pages) {
    return {UUID::random(), std::move(pages), Theme::liquidGlass, Date(1'780'000'000s)};
}

/// The layout as the store and the wire give it back: `updatedAt` in whole seconds.
LayoutRecord wire(const LayoutRecord& layout) {
    return ProtocolJSON::decodeLayout(ProtocolJSON::encode(layout).value()).value();
}

/// One field of every button of the page, in stored order.
template <typename Field>
std::vector<Field> each(const PageRecord& page, Field QuorixButtonRecord::*field) {
    std::vector<Field> result;
    for (const QuorixButtonRecord& button : page.buttons) {
        result.push_back(button.*field);
    }
    return result;
}

std::vector<UUID> ids(const PageRecord& page) {
    return each(page, &QuorixButtonRecord::id);
}

std::vector<std::int64_t> positions(const PageRecord& page) {
    return each(page, &QuorixButtonRecord::position);
}

/// Futures that the test finishes when it likes.
class FakeWebIconResolver final : public WebIconResolving {
public:
    QFuture<WebIconData> iconData(const URL& url) override {
        requests.push_back(url.absoluteString());
        promises.push_back(std::make_shared<QPromise<WebIconData>>());
        promises.back()->start();
        return promises.back()->future();
    }
    void answer(std::size_t request, WebIconData data) {
        promises.at(request)->addResult(std::move(data));
        promises.at(request)->finish();
    }

    std::vector<std::string> requests;
    std::vector<std::shared_ptr<QPromise<WebIconData>>> promises;
};

class MacEditorStateTest : public ::testing::Test {
protected:
    std::unique_ptr<MacEditorState> makeState(LayoutRecord layout) {
        // Never whole seconds, so that the wire's truncation shows.
        auto clock = [tick = 0]() mutable { return Date(1'790'000'000s) + ++tick * 1500ms + 7ns; };
        auto made = std::make_unique<MacEditorState>(
            std::move(layout), QStringLiteral("スマホ未同期"), scanner, store(), resolver,
            MacEditorState::Options{clock, taskPool});
        made->setOnDirty([this] { ++dirtyCalls; });
        return made;
    }
    MacEditorLayoutStore store() const {
        return {defaults, QString(MacEditorLayoutStore::defaultKey),
                std::make_shared<RootedApplicationDirectories>(root.path())};
    }
    std::optional<LayoutRecord> stored() const { return store().load(); }
    void writeApp(const char* id, const QByteArray& extra) const {
        QDir(root.path()).mkpath(QStringLiteral("apps"));
        QFile entry(root.filePath(QStringLiteral("apps/%1.desktop").arg(QLatin1String(id))));
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=App\n" + extra);
    }

    QTemporaryDir root;
    std::shared_ptr<testsupport::InMemoryUserDefaults> defaults =
        std::make_shared<testsupport::InMemoryUserDefaults>();
    std::shared_ptr<InstalledAppsScanner> scanner =
        std::make_shared<InstalledAppsScanner>(std::make_shared<DesktopEntryApplications>(
            DesktopEntryApplications::Configuration{{root.filePath(QStringLiteral("apps"))}, {}}));
    std::shared_ptr<FakeWebIconResolver> resolver = std::make_shared<FakeWebIconResolver>();
    QThreadPool* taskPool = nullptr;
    int dirtyCalls = 0;
};

TEST_F(MacEditorStateTest, startsOnTheFirstStoredPageAndKeepsALayoutNeedingNoChanges) {
    const LayoutRecord plain = layoutOf({page(1, {button(1), button(0)}), page(0)});
    const auto state = makeState(plain);
    EXPECT_EQ(state->layout(), plain);
    EXPECT_EQ(state->selectedPageID(), plain.pages[0].id);
    EXPECT_EQ(state->selectedButtonID(), plain.pages[0].buttons[0].id);
    EXPECT_FALSE(state->pendingSyncLayout());
    EXPECT_EQ(stored(), plain);
    EXPECT_EQ(state->pageNumberTitle(plain.pages[0].id), QStringLiteral("2ページ目"));
}

TEST_F(MacEditorStateTest, anEditStampsSavesKeepsPendingAndNotifiesOnlyRealChanges) {
    const LayoutRecord layout = layoutOf({page(0, {button(0), button(1)})});
    const auto state = makeState(layout);
    QSignalSpy layoutSpy(state.get(), &MacEditorState::layoutChanged);
    QSignalSpy pendingSpy(state.get(), &MacEditorState::pendingSyncLayoutChanged);
    QSignalSpy selectionSpy(state.get(), &MacEditorState::selectedButtonIDChanged);
    QSignalSpy statusSpy(state.get(), &MacEditorState::syncStatusTextChanged);

    state->selectPage(layout.pages[0].id);
    state->setSyncStatusText(QStringLiteral("スマホ未同期"));
    state->markSynced();
    EXPECT_EQ(layoutSpy.count() + pendingSpy.count() + selectionSpy.count() + statusSpy.count(), 0);

    // Even an update that changes nothing counts as an edit.
    state->updateSelectedButton(std::nullopt, std::nullopt, std::nullopt);
    EXPECT_NE(state->layout().updatedAt, layout.updatedAt);
    EXPECT_EQ(state->undoDepth(), 1U);
    EXPECT_EQ(state->pendingSyncLayout(), state->layout());
    EXPECT_EQ(stored(), wire(state->layout()));
    EXPECT_EQ(dirtyCalls, 1);
    EXPECT_EQ(layoutSpy.count(), 1);
    EXPECT_EQ(pendingSpy.count(), 1);

    std::optional<UUID> selectedWhenNotified;
    QObject::connect(state.get(), &MacEditorState::layoutChanged,
                     [&] { selectedWhenNotified = state->selectedPageID(); });
    state->addPage();
    EXPECT_EQ(selectedWhenNotified, state->layout().pages[1].id) << "observers see the whole edit";
}

TEST_F(MacEditorStateTest, addsPagesAfterTheLargestOrderRenumberingWhereNoneIsLeftAbove) {
    constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
    const std::tuple<std::vector<std::int64_t>, std::vector<std::int64_t>, std::string> cases[] = {
        {{}, {0}, "ページ 1"},
        {{0, 5, 1}, {0, 5, 1, 6}, "ページ 7"},
        {{largest - 2, 7}, {largest - 2, 7, largest - 1}, "ページ 9223372036854775807"},
        // Orders from a phone may leave no number for the page or its name.
        {{largest - 1}, {0, 1}, "ページ 2"},
        {{largest, 0, largest - 1, largest}, {2, 0, 1, 3, 4}, "ページ 5"},
    };
    for (const auto& [orders, expectedOrders, name] : cases) {
        std::vector<PageRecord> pages;
        for (const std::int64_t order : orders) {
            pages.push_back(page(order, {button(0)}));
        }
        const auto state = makeState(layoutOf(pages));
        state->addPage();
        std::vector<std::int64_t> ordersAfter;
        for (const PageRecord& each : state->layout().pages) {
            ordersAfter.push_back(each.order);
        }
        EXPECT_EQ(ordersAfter, expectedOrders);
        const PageRecord& added = state->layout().pages.back();
        EXPECT_EQ(added.name, name);
        EXPECT_TRUE(added.buttons.empty());
        EXPECT_EQ(state->selectedPageID(), added.id);
        EXPECT_FALSE(state->selectedButtonID());
        state->undo();
        EXPECT_EQ(state->layout().pages, pages);
    }
}

TEST_F(MacEditorStateTest, addsButtonsAfterTheLargestPositionRenumberingWhereNoneIsLeftAbove) {
    constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
    const std::pair<std::vector<std::int64_t>, std::vector<std::int64_t>> cases[] = {
        {{}, {0}},
        {{2, 0}, {2, 0, 3}},
        {{largest - 1}, {largest - 1, largest}},
        {{largest, 3, largest}, {1, 0, 2, 3}},
    };
    for (const auto& [before, after] : cases) {
        PageRecord only = page(0);
        for (const std::int64_t position : before) {
            only.buttons.push_back(button(position));
        }
        const auto state = makeState(layoutOf({only}));
        state->addButtonToSelectedPage(IconRef::sfSymbol("bolt"), {}, key("b"));
        EXPECT_EQ(positions(state->layout().pages[0]), after);
        EXPECT_EQ(state->selectedButtonID(), state->layout().pages[0].buttons.back().id);
    }
    const std::pair<std::int64_t, const char16_t*> titles[] = {
        {0, u"ボタン 1"},
        {-1, u"ボタン 0"},
        {largest, u"ボタン 9223372036854775808"},
        {std::numeric_limits<std::int64_t>::min(), u"ボタン -9223372036854775807"},
    };
    for (const auto& [position, title] : titles) {
        EXPECT_EQ(MacEditorState::buttonNumberTitle(position), QString::fromUtf16(title));
    }
}

TEST_F(MacEditorStateTest, deletingAPageSelectsTheOneThatTookItsPlace) {
    const LayoutRecord layout =
        layoutOf({page(0, {button(1), button(0)}), page(1, {button(4), button(2)}), page(2)});
    // Deleted page, then the page selected afterwards (index in `layout`).
    for (auto [deleted, selected] : {std::pair(2, 1), std::pair(1, 2), std::pair(0, 1)}) {
        SCOPED_TRACE(deleted);
        const auto state = makeState(layout);
        state->deletePage(layout.pages[deleted].id);

        ASSERT_EQ(state->layout().pages.size(), 2U);
        EXPECT_EQ(state->layout().pages[0].order, 0);
        EXPECT_EQ(state->layout().pages[1].order, 1);
        const PageRecord& expected = layout.pages[selected];
        EXPECT_EQ(state->selectedPageID(), expected.id);
        EXPECT_EQ(state->selectedButtonID(),
                  expected.buttons.empty() ? std::nullopt : std::optional(expected.buttons[1].id));
    }

    const auto state = makeState(layoutOf({page(0, {button(0)})}));
    dirtyCalls = 0;
    state->deleteSelectedPage();
    EXPECT_TRUE(state->layout().pages.empty());
    EXPECT_FALSE(state->selectedPageID() || state->selectedButtonID());
    EXPECT_EQ(dirtyCalls, 1);
}

TEST_F(MacEditorStateTest, missingTargetsChangeNothing) {
    const LayoutRecord layout = layoutOf({page(0, {button(0), button(1)}), page(1)});
    const auto state = makeState(layout);
    const UUID stranger = UUID::random();
    const UUID first = layout.pages[0].buttons[0].id;

    state->deletePage(stranger);
    state->deleteButton(stranger);
    state->moveButton(first, stranger);
    state->moveButton(first, first);
    state->selectButton(stranger);
    state->updateSelectedButton(IconRef::sfSymbol("bolt"), std::nullopt, std::nullopt);
    EXPECT_FALSE(state->copySelectedButton());
    state->selectPage(stranger);
    state->addButtonToSelectedPage(IconRef::sfSymbol("bolt"), {}, key("b"));

    EXPECT_EQ(state->layout(), layout);
    EXPECT_EQ(state->undoDepth(), 0U);
    EXPECT_EQ(dirtyCalls, 0);
    EXPECT_EQ(state->pageNumberTitle(stranger), QStringLiteral("ページ"));
}

TEST_F(MacEditorStateTest, deletingAButtonMovesTheSelectionOnlyIfItWasOnIt) {
    const LayoutRecord layout = layoutOf({page(0, {button(3), button(1), button(2)})});
    const std::vector<UUID> id = ids(layout.pages[0]);
    // Selected before, deleted, selected after.
    for (auto [before, deleted, after] :
         {std::tuple(0, 0, 1), std::tuple(2, 1, 2), std::tuple(-1, 1, 2)}) {
        const auto state = makeState(layout);
        state->selectButton(before < 0 ? std::nullopt : std::optional(id[before]));
        state->deleteButton(id[deleted]);
        EXPECT_EQ(state->selectedButtonID(), id[after]) << before << deleted;
    }
    const auto state = makeState(layout);
    state->deleteButton(id[1]);
    EXPECT_EQ(positions(state->layout().pages[0]), (std::vector<std::int64_t>{1, 0}));
}

TEST_F(MacEditorStateTest, movesAButtonDirectlyInFrontOfTheTarget) {
    // Stored out of order: moving works in position order.
    const LayoutRecord layout = layoutOf({page(0, {button(2), button(0), button(3), button(1)})});
    const std::vector<UUID> stored = ids(layout.pages[0]);
    const std::vector<UUID> byPosition{stored[1], stored[3], stored[0], stored[2]};
    // Moved, target, then the resulting order.
    const std::tuple<std::size_t, std::size_t, std::array<std::size_t, 4>> cases[] = {
        {0, 2, {1, 0, 2, 3}}, {3, 0, {3, 0, 1, 2}}, {1, 3, {0, 2, 1, 3}}};
    for (const auto& [moved, target, order] : cases) {
        const auto state = makeState(layout);
        state->moveButton(byPosition[moved], byPosition[target]);
        std::vector<UUID> expected;
        for (std::size_t index : order) {
            expected.push_back(byPosition[index]);
        }
        EXPECT_EQ(ids(state->layout().pages[0]), expected);
        EXPECT_EQ(positions(state->layout().pages[0]), (std::vector<std::int64_t>{0, 1, 2, 3}));
        EXPECT_EQ(state->selectedButtonID(), byPosition[moved]);
    }
}

TEST_F(MacEditorStateTest, pastesTheCopiedButtonAsOftenAsAskedUnderNewIDs) {
    const LayoutRecord layout = layoutOf({page(4, {button(4, IconRef::sfSymbol("bolt"))})});
    const auto state = makeState(layout);
    EXPECT_FALSE(state->pasteCopiedButton());

    ASSERT_TRUE(state->copySelectedButton());
    ASSERT_TRUE(state->pasteCopiedButton());
    ASSERT_TRUE(state->pasteCopiedButton());

    const auto& buttons = state->layout().pages[0].buttons;
    const QuorixButtonRecord& original = layout.pages[0].buttons[0];
    ASSERT_EQ(buttons.size(), 3U);
    EXPECT_EQ(positions(state->layout().pages[0]), (std::vector<std::int64_t>{4, 5, 6}));
    const std::vector<UUID> pasted = ids(state->layout().pages[0]);
    EXPECT_EQ(std::set(pasted.begin(), pasted.end()).size(), 3U);
    EXPECT_EQ(std::tie(buttons[2].icon, buttons[2].colorGradient, buttons[2].action),
              std::tie(original.icon, original.colorGradient, original.action));
    EXPECT_EQ(state->selectedButtonID(), buttons[2].id);

    state->selectPage(UUID::random());
    EXPECT_TRUE(state->pasteCopiedButton()) << "true even with no page to paste into";
}

TEST_F(MacEditorStateTest, undoesTheLast50EditsWithSelectionAndIconData) {
    const Bytes first(300, 1);
    Bytes second = first;
    second.back() = 2; // same size, other bytes
    const LayoutRecord layout =
        layoutOf({page(0, {button(0, IconRef::custom(first)), button(1, IconRef::custom(second)),
                           button(2, IconRef::custom(first))})});
    const auto state = makeState(layout);
    std::vector<LayoutRecord> afterEdit{state->layout()};
    state->deleteButton(layout.pages[0].buttons[1].id);
    afterEdit.push_back(state->layout());
    for (int edit = 2; edit <= 51; ++edit) {
        state->updateSelectedButton(IconRef::custom(edit % 2 == 0 ? second : first), std::nullopt,
                                    std::nullopt);
        afterEdit.push_back(state->layout());
    }
    ASSERT_EQ(state->undoDepth(), 50U);

    for (std::size_t undo = 1; undo <= 50; ++undo) {
        state->undo();
        ASSERT_EQ(state->layout().pages, afterEdit[51 - undo].pages);
    }
    EXPECT_EQ(state->selectedButtonID(), layout.pages[0].buttons[0].id);
    EXPECT_EQ(state->pendingSyncLayout(), state->layout());
    EXPECT_EQ(dirtyCalls, 101);
    EXPECT_FALSE(state->canUndo());
    state->undo();
    EXPECT_EQ(dirtyCalls, 101);
}

TEST_F(MacEditorStateTest, takesThePhonesLayoutOnlyWithoutDifferentUnsentEdits) {
    const LayoutRecord phone = layoutOf({page(1, {button(3), button(2)}), page(0, {button(0)})});
    const auto state = makeState(layoutOf({page(0, {button(0)})}));
    EXPECT_TRUE(state->replaceLayoutIfNoPendingChanges(phone));
    EXPECT_EQ(state->layout(), phone);
    EXPECT_EQ(state->selectedPageID(), phone.pages[1].id) << "the first page by order";
    EXPECT_EQ(state->selectedButtonID(), phone.pages[1].buttons[0].id);
    EXPECT_FALSE(state->pendingSyncLayout());
    EXPECT_EQ(dirtyCalls, 0);

    state->addPage();
    const LayoutRecord pending = *state->pendingSyncLayout();
    // The phone's copy of the pending layout comes back with whole seconds only.
    EXPECT_FALSE(state->replaceLayoutIfNoPendingChanges(wire(pending)));
    EXPECT_FALSE(state->replaceLayoutIfNoPendingChanges(phone));
    EXPECT_EQ(state->layout(), pending);

    EXPECT_TRUE(state->replaceLayoutIfNoPendingChanges(pending));
    EXPECT_FALSE(state->pendingSyncLayout());
}

TEST_F(MacEditorStateTest, sendsANormalisedLayoutBackWhetherLoadedOrReplacedAndKeepsUndo) {
    const LayoutRecord normalisable = layoutOf(
        {page(0, {button(0, IconRef::custom({1, 2, 3}), opening("https://m.YouTube.com/watch")),
                  button(1, IconRef::appIcon(std::string(shortcutsBundleID)), key("space"))})});
    const auto loaded = makeState(normalisable);
    EXPECT_EQ(dirtyCalls, 0);
    const LayoutRecord mac = layoutOf({page(0, {button(0)})});
    const auto replaced = makeState(mac);
    replaced->addPage();
    replaced->markSynced();
    replaced->replaceLayout(normalisable);
    EXPECT_EQ(dirtyCalls, 2);
    EXPECT_EQ(stored(), wire(replaced->layout()));

    for (const MacEditorState* state : {loaded.get(), replaced.get()}) {
        const QuorixButtonRecord& brand = state->layout().pages[0].buttons[0];
        EXPECT_TRUE(std::holds_alternative<IconRef::Favicon>(brand.icon.value));
        EXPECT_EQ(brand.colorGradient, webIconGradient());
        EXPECT_EQ(state->layout().pages[0].buttons[1].action,
                  ActionSpec::openURL(shortcutsRunURL("")));
        EXPECT_NE(state->layout().updatedAt, normalisable.updatedAt);
        EXPECT_EQ(state->pendingSyncLayout(), state->layout());
    }
    replaced->undo();
    EXPECT_EQ(replaced->layout().pages, mac.pages) << "the state before the last Mac edit";
}

class MacEditorStateWebIcons : public MacEditorStateTest {
protected:
    void SetUp() override { state = makeState(layout); }
    void editToSite(const char* site) {
        state->updateSelectedButtonResolvingWebIcon(IconRef::favicon(url(site)), std::nullopt,
                                                    opening(site));
    }
    void answerLast(WebIconData data = Bytes{0x89, 'P', 'N', 'G'}) {
        resolver->answer(resolver->promises.size() - 1, std::move(data));
        QCoreApplication::sendPostedEvents();
    }

    LayoutRecord layout = layoutOf({page(0, {button(0), button(1)})});
    std::unique_ptr<MacEditorState> state;
};

TEST_F(MacEditorStateWebIcons, storesAFetchedIconOnlyWhileTheButtonStillWantsIt) {
    editToSite("https://Example.org/some/page");
    ASSERT_EQ(resolver->requests, std::vector<std::string>{"https://Example.org/some/page"});
    answerLast();
    const QuorixButtonRecord& edited = state->layout().pages[0].buttons[0];
    EXPECT_EQ(edited.icon, IconRef::custom({0x89, 'P', 'N', 'G'}));
    EXPECT_EQ(edited.colorGradient, webIconGradient());
    EXPECT_EQ(dirtyCalls, 2);
    EXPECT_EQ(state->pendingSyncLayout(), state->layout());
    state->undo(); // no snapshot of its own
    EXPECT_EQ(state->layout().pages, layout.pages);

    // Stale: the button moved on to a symbol, then to another site; or nothing came back.
    editToSite("https://example.org/");
    state->updateSelectedButton(IconRef::sfSymbol("bolt"), std::nullopt, std::nullopt);
    editToSite("https://example.net/");
    const LayoutRecord before = state->layout();
    resolver->answer(1, Bytes{'p', 'n', 'g'});
    answerLast(std::nullopt);
    EXPECT_EQ(state->layout(), before);

    editToSite("https://example.org/");
    state.reset();
    answerLast();
}

TEST_F(MacEditorStateWebIcons, fetchesForTheLoadedLayoutButNeverForBrandSites) {
    editToSite("https://www.youtube.com/watch?v=1");
    EXPECT_TRUE(resolver->requests.empty());

    makeState(layoutOf({page(0, {button(0, IconRef::favicon(url("https://b.example/")),
                                        opening("https://a.example/"))})}))
        ->resolveWebIconsForCurrentLayout();
    EXPECT_EQ(resolver->requests, std::vector<std::string>{"https://a.example/"});
}

TEST_F(MacEditorStateTest, loadsTheApplicationCatalogueOnceInTheBackground) {
    writeApp("org.example.Notes", "");
    const auto state = makeState(layoutOf({page(0, {button(0)})}));
    QSignalSpy appsSpy(state.get(), &MacEditorState::installedAppsChanged);
    state->loadInstalledAppsIfNeeded();
    state->loadInstalledAppsIfNeeded();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state->isLoadingInstalledApps(); }, 30'000));
    EXPECT_EQ(appsSpy.count(), 1);
    ASSERT_TRUE(state->appInfo("org.example.Notes"));
    EXPECT_FALSE(state->appInfo("org.example.notes"));
}

TEST_F(MacEditorStateTest, appliesAnApplicationIconRenderedLaterOnlyToAButtonStillShowingTheApp) {
    const QString iconPath = root.filePath(QStringLiteral("notes.png"));
    ASSERT_TRUE(test::twoToneImage(64, 32, Qt::red, Qt::blue).save(iconPath));
    writeApp("org.example.Notes", "Icon=" + iconPath.toUtf8() + "\n");
    const AppInfo notes{"Notes", "org.example.Notes", ""};
    // One worker, held until the edits are done, so every render arrives late.
    QThreadPool pool;
    pool.setMaxThreadCount(1);
    QSemaphore gate;
    pool.start([&gate] { gate.acquire(); });
    taskPool = &pool;
    const auto state = makeState(layoutOf({page(0, {button(0)})}));
    const UUID first = state->layout().pages[0].buttons[0].id;

    // Three renders: one for a button that keeps the reference, one for a button edited
    // to a symbol since, one for a button undone since.
    state->addInstalledAppToSelectedPage(notes);
    EXPECT_EQ(state->selectedButton()->icon, IconRef::appIcon(notes.bundleID)) << "at once";
    state->selectButton(first);
    state->selectInstalledApp(notes, "/opt/notes");
    EXPECT_EQ(state->selectedButton()->action, ActionSpec::launchApp(notes.bundleID, "/opt/notes"));
    state->updateSelectedButton(IconRef::sfSymbol("bolt"), std::nullopt, std::nullopt);
    state->addInstalledAppToSelectedPage(notes);
    state->undo();
    const std::size_t undoDepth = state->undoDepth();
    const int dirtyBefore = dirtyCalls;

    gate.release();
    pool.waitForDone();
    QCoreApplication::sendPostedEvents();

    const std::vector<IconRef> icons = each(state->layout().pages[0], &QuorixButtonRecord::icon);
    ASSERT_EQ(icons.size(), 2U);
    EXPECT_EQ(icons[0], IconRef::sfSymbol("bolt"));
    const auto* rendered = std::get_if<IconRef::Custom>(&icons[1].value);
    ASSERT_TRUE(rendered) << "the button that still shows the application";
    EXPECT_EQ(test::decodedImage(rendered->data, "png")->size(), QSize(64, 32));
    EXPECT_EQ(dirtyCalls, dirtyBefore + 1);
    EXPECT_EQ(state->undoDepth(), undoDepth) << "no step of its own";
    EXPECT_EQ(state->pendingSyncLayout(), state->layout());
    EXPECT_EQ(stored(), wire(state->layout()));

    // Rendered once, the icon comes at once.
    state->addInstalledAppToSelectedPage(notes);
    EXPECT_EQ(state->selectedButton()->icon, icons[1]);
}

} // namespace
} // namespace quorix
