#include "QuorixMacCore/Editor/MacEditorState.h"

#include "QuorixMacCore/Editor/InstalledAppsScanner.h"
#include "QuorixMacCore/Editor/LayoutNormalization.h"
#include "QuorixMacCore/Editor/ShortcutsRunURL.h"
#include "QuorixMacCore/Support/InMemoryUserDefaults.h"
#include "QuorixMacCore/Support/TestImages.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <QDir>
#include <QFile>
#include <QPromise>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace quorix {
namespace {

using namespace std::chrono_literals;

URL url(std::string_view text) {
    return *URL::parse(text);
}

ActionSpec key(std::string name, std::vector<Modifier> modifiers = {}) {
    return ActionSpec::keyboardShortcut({std::move(modifiers), std::move(name)});
}

QuorixButtonRecord button(std::int64_t position, IconRef icon = IconRef::sfSymbol("star"),
                          ActionSpec action = key("a")) {
    return {
        UUID::random(), position, std::move(icon), {"#111111", "#222222", 135}, std::move(action)};
}

PageRecord page(std::int64_t order, std::vector<QuorixButtonRecord> buttons = {}) {
    return {UUID::random(),
            "Page " + std::to_string(order),
            order,
            GradientPreset::custom,
            std::move(buttons),
            3,
            5};
}

LayoutRecord layoutOf(std::vector<PageRecord> pages) {
    return {UUID::random(), std::move(pages), Theme::liquidGlass,
            Date(std::chrono::seconds(1'780'000'000))};
}

std::vector<std::int64_t> positions(const PageRecord& page) {
    std::vector<std::int64_t> result;
    for (const QuorixButtonRecord& each : page.buttons) {
        result.push_back(each.position);
    }
    return result;
}

std::vector<UUID> buttonIDs(const PageRecord& page) {
    std::vector<UUID> result;
    for (const QuorixButtonRecord& each : page.buttons) {
        result.push_back(each.id);
    }
    return result;
}

/// Hands out futures that the test finishes when it likes.
class FakeWebIconResolver final : public WebIconResolving {
public:
    QFuture<WebIconData> iconData(const URL& url) override {
        requests.push_back(url.absoluteString());
        auto promise = std::make_shared<QPromise<WebIconData>>();
        promise->start();
        promises.push_back(promise);
        return promise->future();
    }

    void answer(std::size_t request, WebIconData data) {
        promises.at(request)->addResult(std::move(data));
        promises.at(request)->finish();
    }

    std::vector<std::string> requests;
    std::vector<std::shared_ptr<QPromise<WebIconData>>> promises;
};

// Every tick is one and a half seconds and a few nanoseconds on: never whole seconds.
class SteppingClock {
public:
    Date operator()() {
        ++m_ticks;
        return Date(std::chrono::seconds(1'790'000'000)) + m_ticks * 1500ms +
               std::chrono::nanoseconds(m_ticks * 7);
    }

private:
    std::int64_t m_ticks = 0;
};

class MacEditorStateTest : public ::testing::Test {
protected:
    std::unique_ptr<MacEditorState> makeState(LayoutRecord layout) {
        auto made = std::make_unique<MacEditorState>(
            std::move(layout), QStringLiteral("スマホ未同期"), scanner, store(), resolver,
            MacEditorState::Options{SteppingClock{}, nullptr});
        made->setOnDirty([this] { ++dirtyCalls; });
        return made;
    }

    MacEditorLayoutStore store() const {
        return {defaults, QString(MacEditorLayoutStore::defaultKey),
                std::make_shared<RootedApplicationDirectories>(root.path())};
    }

    std::optional<LayoutRecord> stored() const { return store().load(); }
    /// The layout as the store and the wire give it back: `updatedAt` in whole seconds.
    static LayoutRecord wire(const LayoutRecord& layout) {
        return ProtocolJSON::decodeLayout(ProtocolJSON::encode(layout).value()).value();
    }

    QTemporaryDir root;
    std::shared_ptr<testsupport::InMemoryUserDefaults> defaults =
        std::make_shared<testsupport::InMemoryUserDefaults>();
    std::shared_ptr<InstalledAppsScanner> scanner =
        std::make_shared<InstalledAppsScanner>(InstalledAppsScanner::Configuration{
            {root.filePath(QStringLiteral("applications"))}, QStringLiteral("C")});
    FakeWebIconResolver resolver;
    int dirtyCalls = 0;
};

// Construction and the edit cycle.

TEST_F(MacEditorStateTest, startsOnTheFirstStoredPageAndButtonAndSavesTheLayout) {
    const LayoutRecord layout = layoutOf({page(1, {button(1), button(0)}), page(0)});
    const auto state = makeState(layout);

    EXPECT_EQ(state->layout(), layout);
    EXPECT_EQ(state->selectedPageID(), layout.pages[0].id);
    EXPECT_EQ(state->selectedButtonID(), layout.pages[0].buttons[0].id);
    EXPECT_FALSE(state->pendingSyncLayout());
    EXPECT_EQ(stored(), layout);
    EXPECT_EQ(dirtyCalls, 0);
}

TEST_F(MacEditorStateTest, marksANormalisedStartingLayoutForTransferWithoutCallingOnDirty) {
    const LayoutRecord layout = layoutOf(
        {page(0, {button(0, IconRef::appIcon(std::string(shortcutsBundleID)), key("space"))})});
    const auto state = makeState(layout);

    EXPECT_NE(state->layout().updatedAt, layout.updatedAt);
    EXPECT_EQ(state->layout().pages[0].buttons[0].action, ActionSpec::openURL(shortcutsRunURL("")));
    EXPECT_EQ(state->pendingSyncLayout(), state->layout());
    EXPECT_EQ(stored(), wire(state->layout()));
    EXPECT_EQ(dirtyCalls, 0);
}

TEST_F(MacEditorStateTest, everyEditStampsSavesKeepsPendingAndCallsOnDirty) {
    const auto state = makeState(layoutOf({page(0, {button(0)})}));
    QSignalSpy layoutSpy(state.get(), &MacEditorState::layoutChanged);
    QSignalSpy pendingSpy(state.get(), &MacEditorState::pendingSyncLayoutChanged);
    const Date before = state->layout().updatedAt;

    // Even an update that changes nothing counts as an edit.
    state->updateSelectedButton(std::nullopt, std::nullopt, std::nullopt);

    EXPECT_NE(state->layout().updatedAt, before);
    EXPECT_EQ(state->undoDepth(), 1U);
    EXPECT_EQ(state->pendingSyncLayout(), state->layout());
    EXPECT_EQ(stored(), wire(state->layout()));
    EXPECT_EQ(dirtyCalls, 1);
    EXPECT_EQ(layoutSpy.count(), 1);
    EXPECT_EQ(pendingSpy.count(), 1);
}

TEST_F(MacEditorStateTest, equalAssignmentsDoNotNotify) {
    const LayoutRecord layout = layoutOf({page(0, {button(0), button(1)})});
    const auto state = makeState(layout);
    QSignalSpy pageSpy(state.get(), &MacEditorState::selectedPageIDChanged);
    QSignalSpy buttonSpy(state.get(), &MacEditorState::selectedButtonIDChanged);
    QSignalSpy statusSpy(state.get(), &MacEditorState::syncStatusTextChanged);
    QSignalSpy pendingSpy(state.get(), &MacEditorState::pendingSyncLayoutChanged);

    state->selectPage(layout.pages[0].id);
    state->selectButton(layout.pages[0].buttons[0].id);
    state->setSyncStatusText(QStringLiteral("スマホ未同期"));
    state->markSynced();
    EXPECT_EQ(pageSpy.count() + buttonSpy.count() + statusSpy.count() + pendingSpy.count(), 0);

    state->selectButton(layout.pages[0].buttons[1].id);
    state->setSyncStatusText(QStringLiteral("スマホへ自動同期しました"));
    EXPECT_EQ(buttonSpy.count(), 1);
    EXPECT_EQ(statusSpy.count(), 1);
    EXPECT_EQ(pageSpy.count(), 0);
}

TEST_F(MacEditorStateTest, observersSeeTheFinishedEdit) {
    const auto state = makeState(layoutOf({page(0, {button(0)})}));
    std::optional<UUID> selectedWhenLayoutChanged;
    std::size_t pagesWhenPageChanged = 0;
    QObject::connect(state.get(), &MacEditorState::layoutChanged,
                     [&] { selectedWhenLayoutChanged = state->selectedPageID(); });
    QObject::connect(state.get(), &MacEditorState::selectedPageIDChanged,
                     [&] { pagesWhenPageChanged = state->layout().pages.size(); });

    state->addPage();

    EXPECT_EQ(selectedWhenLayoutChanged, state->layout().pages[1].id);
    EXPECT_EQ(pagesWhenPageChanged, 2U);
}

// Pages.

TEST_F(MacEditorStateTest, addsPagesAfterTheLargestOrder) {
    struct Case {
        std::vector<std::int64_t> orders;
        std::int64_t newOrder;
        std::string newName;
    };
    for (const Case& each : std::vector<Case>{
             {{}, 0, "ページ 1"}, {{0, 1}, 2, "ページ 3"}, {{0, 5, 1}, 6, "ページ 7"}}) {
        std::vector<PageRecord> pages;
        for (std::int64_t order : each.orders) {
            pages.push_back(page(order, {button(0)}));
        }
        const auto state = makeState(layoutOf(pages));

        state->addPage();

        const PageRecord& added = state->layout().pages.back();
        EXPECT_EQ(added.order, each.newOrder);
        EXPECT_EQ(added.name, each.newName);
        EXPECT_EQ(added.gradient, GradientPreset::custom);
        EXPECT_EQ(added.gridColumns, 3);
        EXPECT_EQ(added.gridRows, 5);
        EXPECT_TRUE(added.buttons.empty());
        EXPECT_EQ(state->selectedPageID(), added.id);
        EXPECT_FALSE(state->selectedButtonID());
        EXPECT_EQ(dirtyCalls, 1);
        dirtyCalls = 0;
    }
}

TEST_F(MacEditorStateTest, deletingAPageSelectsTheOneThatTookItsPlace) {
    struct Case {
        const char* name;
        std::size_t deleted;
        std::optional<std::size_t> selected; // index in the original layout
    };
    const LayoutRecord layout =
        layoutOf({page(0, {button(1), button(0)}), page(1, {button(4), button(2)}), page(2)});
    for (const Case& each :
         {Case{"the last page", 2, 1}, Case{"a middle page", 1, 2}, Case{"the first page", 0, 1}}) {
        SCOPED_TRACE(each.name);
        const auto state = makeState(layout);

        state->deletePage(layout.pages[each.deleted].id);

        ASSERT_EQ(state->layout().pages.size(), 2U);
        for (std::size_t index = 0; index < 2; ++index) {
            EXPECT_EQ(state->layout().pages[index].order, static_cast<std::int64_t>(index));
        }
        const PageRecord& expected = layout.pages[*each.selected];
        EXPECT_EQ(state->selectedPageID(), expected.id);
        // The first button by position, not the first stored one.
        EXPECT_EQ(state->selectedButtonID(), expected.buttons.empty()
                                                 ? std::nullopt
                                                 : std::optional<UUID>(expected.buttons[1].id));
        EXPECT_EQ(state->undoDepth(), 1U);
    }
}

TEST_F(MacEditorStateTest, deletingTheOnlyPageLeavesAnEmptyDirtyLayout) {
    const auto state = makeState(layoutOf({page(0, {button(0)})}));

    state->deleteSelectedPage();

    EXPECT_TRUE(state->layout().pages.empty());
    EXPECT_FALSE(state->selectedPageID());
    EXPECT_FALSE(state->selectedButtonID());
    EXPECT_EQ(state->pendingSyncLayout(), state->layout());
    EXPECT_EQ(dirtyCalls, 1);
}

TEST_F(MacEditorStateTest, missingTargetsChangeNothing) {
    const LayoutRecord layout = layoutOf({page(0, {button(0), button(1)}), page(1)});
    const auto state = makeState(layout);
    const UUID stranger = UUID::random();

    state->deletePage(stranger);
    state->deleteButton(stranger);
    state->moveButton(layout.pages[0].buttons[0].id, stranger);
    state->moveButton(layout.pages[0].buttons[0].id, layout.pages[0].buttons[0].id);
    state->selectButton(stranger);
    state->updateSelectedButton(IconRef::sfSymbol("bolt"), std::nullopt, std::nullopt);
    EXPECT_FALSE(state->copySelectedButton());
    state->selectPage(stranger);
    EXPECT_FALSE(state->selectedButtonID());
    state->addButtonToSelectedPage(IconRef::sfSymbol("bolt"), {}, key("b"));

    EXPECT_EQ(state->layout(), layout);
    EXPECT_EQ(state->undoDepth(), 0U);
    EXPECT_EQ(dirtyCalls, 0);
}

TEST_F(MacEditorStateTest, titlesPagesByTheirPlaceInOrder) {
    const LayoutRecord layout = layoutOf({page(7), page(2)});
    const auto state = makeState(layout);

    EXPECT_EQ(state->pageNumberTitle(layout.pages[0].id), QStringLiteral("2ページ目"));
    EXPECT_EQ(state->pageNumberTitle(layout.pages[1].id), QStringLiteral("1ページ目"));
    EXPECT_EQ(state->pageNumberTitle(UUID::random()), QStringLiteral("ページ"));
}

// Buttons.

TEST_F(MacEditorStateTest, deletingAButtonMovesTheSelectionOnlyIfItWasSelected) {
    const LayoutRecord layout = layoutOf({page(0, {button(3), button(1), button(2)})});
    const std::vector<UUID> ids = buttonIDs(layout.pages[0]);
    {
        const auto state = makeState(layout);
        state->selectButton(ids[0]);
        state->deleteSelectedButton();
        EXPECT_EQ(state->selectedButtonID(), ids[1]) << "the first by position";
        EXPECT_EQ(positions(state->layout().pages[0]), (std::vector<std::int64_t>{0, 1}));
    }
    {
        const auto state = makeState(layout);
        state->selectButton(ids[2]);
        state->deleteButton(ids[1]);
        EXPECT_EQ(state->selectedButtonID(), ids[2]);
        EXPECT_EQ(positions(state->layout().pages[0]), (std::vector<std::int64_t>{1, 0}));
    }
    {
        const auto state = makeState(layout);
        state->selectButton(std::nullopt);
        state->deleteButton(ids[1]);
        EXPECT_EQ(state->selectedButtonID(), ids[2]);
    }
}

TEST_F(MacEditorStateTest, movesAButtonDirectlyInFrontOfTheTarget) {
    struct Case {
        const char* name;
        std::size_t moved;
        std::size_t before;
        std::vector<std::size_t> result;
    };
    // Stored out of order on purpose: moving works in position order.
    const LayoutRecord layout = layoutOf({page(0, {button(2), button(0), button(3), button(1)})});
    const std::vector<UUID> byPosition{layout.pages[0].buttons[1].id, layout.pages[0].buttons[3].id,
                                       layout.pages[0].buttons[0].id,
                                       layout.pages[0].buttons[2].id};
    for (const Case& each : {Case{"first before third", 0, 2, {1, 0, 2, 3}},
                             Case{"last before first", 3, 0, {3, 0, 1, 2}},
                             Case{"second before last", 1, 3, {0, 2, 1, 3}}}) {
        SCOPED_TRACE(each.name);
        const auto state = makeState(layout);

        state->moveButton(byPosition[each.moved], byPosition[each.before]);

        std::vector<UUID> expected;
        for (std::size_t index : each.result) {
            expected.push_back(byPosition[index]);
        }
        EXPECT_EQ(buttonIDs(state->layout().pages[0]), expected);
        EXPECT_EQ(positions(state->layout().pages[0]), (std::vector<std::int64_t>{0, 1, 2, 3}));
        EXPECT_EQ(state->selectedButtonID(), byPosition[each.moved]);
        EXPECT_EQ(state->undoDepth(), 1U);
    }
}

TEST_F(MacEditorStateTest, pastesTheCopiedButtonAsOftenAsAskedUnderNewIDs) {
    const LayoutRecord layout = layoutOf({page(0, {button(4, IconRef::sfSymbol("bolt"))})});
    const auto state = makeState(layout);
    EXPECT_FALSE(state->pasteCopiedButton());

    ASSERT_TRUE(state->copySelectedButton());
    ASSERT_TRUE(state->pasteCopiedButton());
    ASSERT_TRUE(state->pasteCopiedButton());

    const PageRecord& result = state->layout().pages[0];
    ASSERT_EQ(result.buttons.size(), 3U);
    const QuorixButtonRecord& original = layout.pages[0].buttons[0];
    for (std::size_t index : {1U, 2U}) {
        const QuorixButtonRecord& pasted = result.buttons[index];
        EXPECT_NE(pasted.id, original.id);
        EXPECT_EQ(pasted.position, static_cast<std::int64_t>(4 + index));
        EXPECT_EQ(std::tie(pasted.icon, pasted.colorGradient, pasted.action),
                  std::tie(original.icon, original.colorGradient, original.action));
    }
    EXPECT_NE(result.buttons[1].id, result.buttons[2].id);
    EXPECT_EQ(state->selectedButtonID(), result.buttons[2].id);

    // Without a page to paste into, the copy still counts as pasted.
    state->selectPage(UUID::random());
    EXPECT_TRUE(state->pasteCopiedButton());
    EXPECT_EQ(state->layout().pages[0].buttons.size(), 3U);
}

// Undo.

TEST_F(MacEditorStateTest, keepsTheLast50Snapshots) {
    const auto state = makeState(layoutOf({page(0, {button(0)})}));
    std::vector<LayoutRecord> afterEdit;
    for (int edit = 1; edit <= 51; ++edit) {
        state->updateSelectedButton(IconRef::sfSymbol("edit" + std::to_string(edit)), std::nullopt,
                                    std::nullopt);
        afterEdit.push_back(state->layout());
    }
    ASSERT_EQ(state->undoDepth(), 50U);

    for (int undo = 1; undo <= 50; ++undo) {
        ASSERT_TRUE(state->canUndo());
        state->undo();
        EXPECT_EQ(state->layout().pages, afterEdit[static_cast<std::size_t>(50 - undo)].pages);
    }
    EXPECT_FALSE(state->canUndo());
    const LayoutRecord oldest = state->layout();
    const int dirtyBefore = dirtyCalls;
    state->undo();
    EXPECT_EQ(state->layout(), oldest);
    EXPECT_EQ(dirtyCalls, dirtyBefore);
}

TEST_F(MacEditorStateTest, undoRestoresLayoutAndSelectionAndSendsThem) {
    const LayoutRecord layout = layoutOf({page(0, {button(0), button(1)}), page(1)});
    const auto state = makeState(layout);
    state->selectButton(layout.pages[0].buttons[1].id);
    state->deleteSelectedPage();
    state->markSynced();

    state->undo();

    EXPECT_EQ(state->layout().pages, layout.pages);
    EXPECT_EQ(state->selectedPageID(), layout.pages[0].id);
    EXPECT_EQ(state->selectedButtonID(), layout.pages[0].buttons[1].id);
    EXPECT_EQ(state->pendingSyncLayout(), state->layout());
    EXPECT_EQ(stored(), wire(state->layout()));
    EXPECT_EQ(dirtyCalls, 2);
}

TEST_F(MacEditorStateTest, undoBringsBackCustomIconDataExactly) {
    // Same-sized images with different bytes, and one image used twice.
    const Bytes first(300, 1);
    Bytes second(300, 1);
    second.back() = 2;
    const Bytes third(10, 3);
    const LayoutRecord layout =
        layoutOf({page(0, {button(0, IconRef::custom(first)), button(1, IconRef::custom(second)),
                           button(2, IconRef::custom(third)), button(3, IconRef::custom(first))})});
    const auto state = makeState(layout);

    state->updateSelectedButton(IconRef::custom(second), std::nullopt, std::nullopt);
    state->deleteButton(layout.pages[0].buttons[2].id);
    state->addButtonToSelectedPage(IconRef::custom(third), {}, key("z"));
    const LayoutRecord edited = state->layout();
    state->updateSelectedButton(IconRef::sfSymbol("bolt"), std::nullopt, std::nullopt);

    state->undo();
    EXPECT_EQ(state->layout().pages, edited.pages);
    state->undo();
    state->undo();
    state->undo();
    EXPECT_EQ(state->layout().pages, layout.pages);
}

// Synchronisation with the phone.

TEST_F(MacEditorStateTest, takesThePhonesLayoutOnlyWithoutDifferentUnsentEdits) {
    const LayoutRecord mac = layoutOf({page(0, {button(0)})});
    const LayoutRecord phone = layoutOf({page(1, {button(3), button(2)}), page(0, {button(0)})});

    const auto state = makeState(mac);
    EXPECT_TRUE(state->replaceLayoutIfNoPendingChanges(phone)) << "nothing pending";
    EXPECT_EQ(state->layout(), phone);
    EXPECT_EQ(state->selectedPageID(), phone.pages[1].id) << "the first page by order";
    EXPECT_EQ(state->selectedButtonID(), phone.pages[1].buttons[0].id);
    EXPECT_FALSE(state->pendingSyncLayout());
    EXPECT_EQ(stored(), phone);
    EXPECT_EQ(dirtyCalls, 0);

    state->addPage();
    const LayoutRecord pending = *state->pendingSyncLayout();
    ASSERT_NE(pending.updatedAt.time_since_epoch() % 1s, 0ns);

    // The phone's copy of the pending layout came over the wire with whole seconds.
    const LayoutRecord echoed = wire(pending);
    EXPECT_FALSE(state->replaceLayoutIfNoPendingChanges(echoed));
    EXPECT_FALSE(state->replaceLayoutIfNoPendingChanges(phone));
    EXPECT_EQ(state->layout(), pending);
    EXPECT_EQ(state->pendingSyncLayout(), pending);

    EXPECT_TRUE(state->replaceLayoutIfNoPendingChanges(pending));
    EXPECT_FALSE(state->pendingSyncLayout());
    EXPECT_EQ(state->layout(), pending);
}

TEST_F(MacEditorStateTest, sendsANormalisedPhoneLayoutBackAndKeepsUndo) {
    const LayoutRecord mac = layoutOf({page(0, {button(0)})});
    const auto state = makeState(mac);
    state->addPage();
    state->markSynced();
    dirtyCalls = 0;

    const LayoutRecord phone =
        layoutOf({page(0, {button(0, IconRef::custom({1, 2, 3}),
                                  ActionSpec::openURL(url("https://m.YouTube.com/watch?v=1")))})});
    state->replaceLayout(phone);

    const QuorixButtonRecord& brand = state->layout().pages[0].buttons[0];
    EXPECT_TRUE(std::holds_alternative<IconRef::Favicon>(brand.icon.value));
    EXPECT_EQ(brand.colorGradient, webIconGradient());
    EXPECT_NE(state->layout().updatedAt, phone.updatedAt);
    EXPECT_EQ(state->pendingSyncLayout(), state->layout());
    EXPECT_EQ(dirtyCalls, 1);
    EXPECT_EQ(stored(), wire(state->layout()));

    state->undo();
    EXPECT_EQ(state->layout().pages, mac.pages) << "the state before the last Mac edit";
    EXPECT_EQ(dirtyCalls, 2);
}

// Site icons.

class MacEditorStateWebIcons : public MacEditorStateTest {
protected:
    void SetUp() override {
        layout = layoutOf({page(0, {button(0), button(1)})});
        state = makeState(layout);
    }

    void editToSite(const char* site) {
        state->updateSelectedButtonResolvingWebIcon(IconRef::favicon(url(site)), std::nullopt,
                                                    ActionSpec::openURL(url(site)));
    }

    static void deliver() { QTest::qWait(20); }

    const QuorixButtonRecord& first() const { return state->layout().pages[0].buttons[0]; }

    Bytes png = test::encodedImage(test::twoToneImage(64, 64, Qt::red, Qt::blue), "png");
    LayoutRecord layout;
    std::unique_ptr<MacEditorState> state;
};

TEST_F(MacEditorStateWebIcons, storesAFetchedIconWhileTheButtonStillWantsIt) {
    editToSite("https://Example.org/some/page");
    ASSERT_EQ(resolver.requests, std::vector<std::string>{"https://Example.org/some/page"});
    const int dirtyBefore = dirtyCalls;

    resolver.answer(0, QByteArray(reinterpret_cast<const char*>(png.data()),
                                  static_cast<qsizetype>(png.size())));
    deliver();

    EXPECT_EQ(first().icon, IconRef::custom(png));
    EXPECT_EQ(first().colorGradient, webIconGradient());
    EXPECT_EQ(dirtyCalls, dirtyBefore + 1);
    EXPECT_EQ(state->pendingSyncLayout(), state->layout());
    // No snapshot of its own: one undo goes back to before the edit that asked for it.
    EXPECT_EQ(state->undoDepth(), 1U);
    state->undo();
    EXPECT_EQ(state->layout().pages, layout.pages);
}

TEST_F(MacEditorStateWebIcons, discardsResultsTheButtonNoLongerWants) {
    struct Case {
        const char* name;
        std::function<void(MacEditorState&)> change;
    };
    const std::vector<Case> cases{
        {"switched to a symbol",
         [](MacEditorState& editor) {
             editor.updateSelectedButton(IconRef::sfSymbol("bolt"), std::nullopt, std::nullopt);
         }},
        {"switched to another site",
         [](MacEditorState& editor) {
             editor.updateSelectedButton(IconRef::favicon(url("https://other.example/")),
                                         std::nullopt, std::nullopt);
         }},
        {"deleted", [](MacEditorState& editor) { editor.deleteSelectedButton(); }},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        SetUp();
        resolver.requests.clear();
        editToSite("https://example.org/");
        each.change(*state);
        const LayoutRecord before = state->layout();
        const int dirtyBefore = dirtyCalls;

        resolver.answer(resolver.promises.size() - 1,
                        QByteArray(reinterpret_cast<const char*>(png.data()),
                                   static_cast<qsizetype>(png.size())));
        deliver();

        EXPECT_EQ(state->layout(), before);
        EXPECT_EQ(dirtyCalls, dirtyBefore);
    }
}

TEST_F(MacEditorStateWebIcons, ignoresMissingIconsAndStatesThatAreGone) {
    editToSite("https://example.org/");
    editToSite("https://example.net/");
    const LayoutRecord before = state->layout();
    resolver.answer(1, std::nullopt);
    deliver();
    EXPECT_EQ(state->layout(), before);

    state.reset();
    resolver.answer(0, QByteArray("png"));
    deliver();
}

TEST_F(MacEditorStateWebIcons, neverFetchesBrandSitesAndOnlyTheFirst40AtStartUp) {
    editToSite("https://www.youtube.com/watch?v=1");
    EXPECT_TRUE(resolver.requests.empty());

    std::vector<QuorixButtonRecord> buttons;
    for (int index = 0; index < 50; ++index) {
        const std::string site = index == 3 ? "https://x.com/someone"
                                            : "https://site" + std::to_string(index) + ".example/";
        buttons.push_back(
            button(index, IconRef::favicon(url(site)), ActionSpec::openURL(url(site))));
    }
    buttons.insert(
        buttons.begin() + 10,
        button(99, IconRef::sfSymbol("star"), ActionSpec::openURL(url("https://symbol.example/"))));
    const auto loaded = makeState(layoutOf({page(0, buttons)}));
    loaded->resolveWebIconsForCurrentLayout();

    ASSERT_EQ(resolver.requests.size(), 39U);
    EXPECT_EQ(resolver.requests.front(), "https://site0.example/");
    EXPECT_EQ(resolver.requests.back(), "https://site39.example/");
}

// Applications.

TEST_F(MacEditorStateTest, loadsTheApplicationCatalogueOnceInTheBackground) {
    const QString applications = root.filePath(QStringLiteral("applications"));
    ASSERT_TRUE(QDir().mkpath(applications));
    QFile entry(applications + QStringLiteral("/org.example.Notes.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Notes\nExec=true\n");
    entry.close();

    const auto state = makeState(layoutOf({page(0, {button(0)})}));
    QSignalSpy appsSpy(state.get(), &MacEditorState::installedAppsChanged);
    state->loadInstalledAppsIfNeeded();
    state->loadInstalledAppsIfNeeded();
    EXPECT_TRUE(state->isLoadingInstalledApps());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !state->isLoadingInstalledApps(); }, 30'000));
    ASSERT_EQ(state->installedApps().size(), 1U);
    EXPECT_EQ(appsSpy.count(), 1);
    EXPECT_TRUE(state->appInfo("org.example.Notes"));
    EXPECT_FALSE(state->appInfo("org.example.notes"));

    // An application without an icon is shown by reference.
    state->addInstalledAppToSelectedPage(*state->appInfo("org.example.Notes"));
    const QuorixButtonRecord& added = *state->selectedButton();
    EXPECT_EQ(added.icon, IconRef::appIcon("org.example.Notes"));
    EXPECT_EQ(added.colorGradient, (ColorGradient{"#ffffff", "#e5e7eb", 135}));
    EXPECT_EQ(added.action, ActionSpec::launchApp("org.example.Notes"));

    state->selectInstalledApp(*state->appInfo("org.example.Notes"), "/opt/notes");
    EXPECT_EQ(state->selectedButton()->action,
              ActionSpec::launchApp("org.example.Notes", "/opt/notes"));
}

TEST_F(MacEditorStateTest, scansAgainAfterAnEmptyCatalogue) {
    const auto state = makeState(layoutOf({}));
    state->loadInstalledAppsIfNeeded();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state->isLoadingInstalledApps(); }, 30'000));
    EXPECT_TRUE(state->installedApps().empty());

    state->loadInstalledAppsIfNeeded();
    EXPECT_TRUE(state->isLoadingInstalledApps());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state->isLoadingInstalledApps(); }, 30'000));
}

TEST(MacEditorStateSample, isOneZoomPageWithAMuteButton) {
    const LayoutRecord sample = MacEditorState::sampleLayout();
    ASSERT_EQ(sample.pages.size(), 1U);
    const PageRecord& zoom = sample.pages[0];
    EXPECT_EQ(std::tie(zoom.name, zoom.order, zoom.gradient, zoom.gridColumns, zoom.gridRows),
              std::tuple("Zoom", 0, GradientPreset::zoom, 3, 5));
    ASSERT_EQ(zoom.buttons.size(), 1U);
    EXPECT_EQ(zoom.buttons[0].icon, IconRef::sfSymbol("mic.slash.fill"));
    EXPECT_EQ(zoom.buttons[0].colorGradient, (ColorGradient{"#4facfe", "#00a3ff", 135}));
    EXPECT_EQ(zoom.buttons[0].action, key("a", {Modifier::command, Modifier::shift}));
    EXPECT_NE(MacEditorState::sampleLayout().id, sample.id);
}

} // namespace
} // namespace quorix
