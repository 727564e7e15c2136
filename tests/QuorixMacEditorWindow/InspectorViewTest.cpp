#include "QuorixMacCore/EditorWindow/InspectorView.h"

#include "QuorixMacCore/Editor/ShortcutsRunURL.h"
#include "QuorixMacCore/EditorWindow/CustomIconRegistrationRow.h"
#include "QuorixMacCore/EditorWindow/KeyboardShortcutEditorView.h"
#include "QuorixMacCore/EditorWindow/MacAppActionEditor.h"
#include "QuorixMacCore/EditorWindow/MacShortcutActionEditor.h"
#include "QuorixMacCore/EditorWindow/QuickPanelSection.h"
#include "QuorixMacCore/Support/TestFiles.h"
#include "QuorixMacEditorWindow/Support/EditorFixture.h"

#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace quorix {
namespace {

using test::url;

const ColorGradient pictureGradient{"#ffffff", "#e5e7eb", 135};

class ListedApplications final : public InstalledApplications {
public:
    std::vector<InstalledApplication> offeredApplications() const override {
        return {{QStringLiteral("so.notion.Notion"), QStringLiteral("Notion")},
                {QStringLiteral("org.example.Mail"), QStringLiteral("Mail")},
                {QStringLiteral("org.notionlike.Tool"), QStringLiteral("Tool")}};
    }
    std::optional<QString> iconName(const QString&) const override { return std::nullopt; }
    QString messagesLocale() const override { return {}; }
};

class FakeRunningApplications final : public RunningApplications {
public:
    std::vector<RunningApplication> runningApplications() const override { return running; }
    QString messagesLocale() const override { return {}; }
    std::vector<RunningApplication> running;
};

class FakeApplicationFiles final : public ApplicationFiles {
public:
    ApplicationFile describe(const QString& path) const override {
        return {QStringLiteral("Picked"),
                path.endsWith(QLatin1String(".desktop")) ? QStringLiteral("org.example.Picked")
                                                         : QString(),
                std::nullopt};
    }
};

class NoKeyCodes final : public NativeKeyCodes {
public:
    std::optional<std::uint16_t> virtualKeyCode(std::uint32_t) override { return std::nullopt; }
};

QuorixButtonRecord buttonWith(ActionSpec action, IconRef icon = IconRef::sfSymbol("star.fill")) {
    return test::button(0, std::move(icon), std::move(action));
}

class InspectorViewTest : public ::testing::Test {
protected:
    void show(std::vector<QuorixButtonRecord> buttons,
              std::optional<QuickPanelControls> controls = std::nullopt) {
        state = std::make_unique<MacEditorState>(
            test::layoutOf({test::page(0, std::move(buttons))}), QStringLiteral("スマホ未同期"),
            std::make_shared<InstalledAppsScanner>(std::make_shared<ListedApplications>()),
            std::nullopt, sharedResolver);
        InspectorServices services{running,
                                   std::make_shared<FakeApplicationFiles>(),
                                   std::make_shared<NoKeyCodes>(),
                                   std::make_shared<ShortcutScanner>(shortcutsTool()),
                                   [this](QWidget*, FileChoice choice, auto done) {
                                       chosen.push_back(choice);
                                       done(nextChoice);
                                   },
                                   nullptr};
        view = std::make_unique<InspectorView>(
            *state, [this] { ++syncs; }, std::move(controls), nullptr, std::move(services));
        view->resize(360, 900);
        view->show();
    }
    template <typename Widget>
    Widget* find(const char* name) const {
        return view->findChild<Widget*>(QString::fromLatin1(name));
    }
    bool shows(const char* name) const {
        const QWidget* widget = find<QWidget>(name);
        return widget != nullptr && widget->isVisibleTo(view.get());
    }
    const QuorixButtonRecord& button() const { return *state->selectedButton(); }
    QString shortcutsTool() const {
        return test::writeFile(directory.filePath(QStringLiteral("shortcuts")),
                               "#!/bin/sh\nprintf 'Mail Summary\\nTimer\\nmail later\\n'\n", true);
    }
    QString file(const char* name, const QByteArray& contents) const {
        return test::writeFile(directory.filePath(QString::fromLatin1(name)), contents);
    }
    void chooseKind(MacActionKind kind) {
        auto* picker = find<QComboBox>("kindPicker");
        Q_EMIT picker->activated(picker->findData(static_cast<int>(kind)));
        // Replaced editors go once control is back in the event loop.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static QStringList titles(const QListView* list) {
        QStringList titles;
        for (int row = 0; list->isVisible() && row < list->model()->rowCount(); ++row) {
            titles.append(list->model()->index(row, 0).data().toString());
        }
        return titles;
    }

    QTemporaryDir directory;
    std::shared_ptr<test::FakeWebIconResolver> sharedResolver =
        std::make_shared<test::FakeWebIconResolver>();
    test::FakeWebIconResolver& resolver = *sharedResolver;
    std::shared_ptr<FakeRunningApplications> running = std::make_shared<FakeRunningApplications>();
    std::optional<QString> nextChoice;
    std::vector<FileChoice> chosen;
    std::unique_ptr<MacEditorState> state;
    std::unique_ptr<InspectorView> view;
    int syncs = 0;
};

TEST_F(InspectorViewTest, showsTheSectionsOfTheSelectedButtonAndTheSyncStatus) {
    QuickPanelControls controls{{{QStringLiteral("optionDoubleTap"), QStringLiteral("Option 2回")}},
                                QStringLiteral("gone"),
                                nullptr,
                                nullptr};
    show({buttonWith(ActionSpec::keyboardShortcut({{Modifier::command}, "c"}))}, controls);
    for (const char* section :
         {"buttonSection", "actionSection", "iconSection", "quickPanelSection", "syncSection"}) {
        EXPECT_TRUE(shows(section)) << section;
    }
    EXPECT_EQ(find<QLabel>("selectedButtonTitle")->text(), QStringLiteral("ボタン 1"));
    EXPECT_EQ(find<QComboBox>("kindPicker")->currentText(), QStringLiteral("ショートカットキー"));
    EXPECT_EQ(find<QToolButton>("quickPanelTrigger")->text(), QStringLiteral("未設定"));
    EXPECT_EQ(find<QLabel>("syncStatus")->text(), QStringLiteral("スマホ未同期"));

    state->updateSelectedButton(std::nullopt, std::nullopt, ActionSpec::launchApp(" "));
    EXPECT_FALSE(shows("quickPanelSection")) << "an action not filled in";
    EXPECT_EQ(find<QLabel>("syncStatus")->text(), QStringLiteral("変更を自動同期しています"));
    state->markSynced();
    state->setSyncStatusText(QString());
    EXPECT_EQ(find<QLabel>("syncStatus")->text(), QStringLiteral("保存済み"));

    state->selectButton(std::nullopt);
    for (const char* section :
         {"buttonSection", "actionSection", "iconSection", "quickPanelSection"}) {
        EXPECT_FALSE(shows(section)) << section;
    }
    EXPECT_TRUE(shows("syncSection"));
}

TEST_F(InspectorViewTest, choosingAKindReplacesTheActionAsTheTableSays) {
    const IconRef site = IconRef::favicon(url("https://x.com"));
    show({buttonWith(ActionSpec::openURL(url("https://x.com/home")), site)});
    const ColorGradient gradient = button().colorGradient;

    chooseKind(MacActionKind::keyboard);
    EXPECT_EQ(button().action, ActionSpec::keyboardShortcut({{Modifier::command}, "space"}));
    EXPECT_EQ(button().icon, site);
    EXPECT_EQ(find<QPushButton>("shortcutField")->text(), QStringLiteral("⌘Space"));

    chooseKind(MacActionKind::web);
    EXPECT_EQ(button().action, ActionSpec::openURL(url("https://example.com")));
    EXPECT_EQ(button().icon, IconRef::favicon(url("https://example.com")));
    EXPECT_EQ(resolver.requests.back(), "https://example.com");
    EXPECT_EQ(find<QLineEdit>("urlField")->text(), QString()) << "the placeholder is the prompt";

    chooseKind(MacActionKind::shortcut);
    EXPECT_EQ(button().action, ActionSpec::openURL(shortcutsRunURL("")));
    EXPECT_EQ(button().icon, IconRef::appIcon("com.apple.shortcuts"));

    chooseKind(MacActionKind::app);
    EXPECT_EQ(button().action, ActionSpec::launchApp(""));
    EXPECT_EQ(button().icon, IconRef::appIcon("com.apple.shortcuts"));
    EXPECT_TRUE(find<AppPickerCallToActionLabel>("appPicker")->isPulsing());
    EXPECT_EQ(button().colorGradient, gradient);
    EXPECT_EQ(syncs, 4);
}

TEST_F(InspectorViewTest, typedAddressesAreTrimmedAndInvalidOnesIgnored) {
    show({buttonWith(ActionSpec::openURL(url("https://example.com")))});
    auto* field = find<QLineEdit>("urlField");
    QTest::keyClicks(field, QStringLiteral("  https://example.org/x "));
    EXPECT_EQ(button().action, ActionSpec::openURL(url("https://example.org/x")));
    EXPECT_EQ(button().icon, IconRef::favicon(url("https://example.org/x")));
    const std::size_t depth = state->undoDepth();
    QTest::keyClicks(field, QStringLiteral("%z"));
    EXPECT_EQ(button().action, ActionSpec::openURL(url("https://example.org/x")));
    EXPECT_EQ(state->undoDepth(), depth) << "no edit for text that is no address";

    ASSERT_TRUE(shows("clearURLButton"));
    QTest::mouseClick(find<QToolButton>("clearURLButton"), Qt::LeftButton);
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_FALSE(shows("clearURLButton"));
    EXPECT_EQ(button().action, ActionSpec::openURL(url("https://example.org/x")));
}

TEST_F(InspectorViewTest, aChosenPictureBecomesThePngIconOrShowsTheError) {
    QImage wide(1024, 512, QImage::Format_ARGB32);
    wide.fill(Qt::blue);
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    wide.save(&buffer, "JPEG");
    const IconRef original = IconRef::sfSymbol("star.fill");
    const ActionSpec action = ActionSpec::keyboardShortcut({{}, "a"});
    show({buttonWith(action, original)});
    auto* row = find<CustomIconRegistrationRow>(nullptr);
    ASSERT_NE(row, nullptr);

    // Which files are refused is the decoder's business; here, that a refusal shows.
    nextChoice = file("picked", "not a picture");
    QTest::mouseClick(find<QPushButton>("chooseImageButton"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !row->isImporting(); }));
    EXPECT_TRUE(shows("imageImportError"));
    EXPECT_EQ(find<QLabel>("imageImportError")->text(),
              QStringLiteral("画像を読み込めませんでした。別の画像を選んでください。"));
    EXPECT_EQ(button().icon, original);

    nextChoice = file("picked.jpg", encoded);
    QTest::mouseClick(find<QPushButton>("chooseImageButton"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !row->isImporting(); }));
    EXPECT_FALSE(shows("imageImportError"));
    const auto* custom = std::get_if<IconRef::Custom>(&button().icon.value);
    ASSERT_NE(custom, nullptr);
    const QImage stored = QImage::fromData(custom->data.data(), int(custom->data.size()), "PNG");
    EXPECT_EQ(stored.size(), QSize(512, 256));
    EXPECT_EQ(button().colorGradient, pictureGradient);
    EXPECT_EQ(button().action, action);
    EXPECT_EQ(chosen, std::vector<FileChoice>(2, FileChoice::image));

    nextChoice.reset();
    QTest::mouseClick(find<QPushButton>("chooseImageButton"), Qt::LeftButton);
    EXPECT_FALSE(row->isImporting()) << "a cancelled chooser changes nothing";
}

TEST_F(InspectorViewTest, appEditorSearchesInstalledAppsAndTakesRunningOnesAndFiles) {
    const QString icon = directory.filePath(QStringLiteral("running.png"));
    QImage square(64, 64, QImage::Format_ARGB32);
    square.fill(Qt::red);
    ASSERT_TRUE(square.save(icon));
    running->running = {
        {QStringLiteral("Viewer"), QStringLiteral("org.example.Viewer"),
         QStringLiteral("/apps/viewer.desktop"), icon, true},
        {QStringLiteral("Agent"), QStringLiteral("org.example.Agent"), std::nullopt, {}, false}};
    show({buttonWith(ActionSpec::launchApp("", std::string(" /opt/fallback "))), test::button(1)});
    auto* search = find<QLineEdit>("appSearchField");
    auto* list = find<QListView>("installedAppList");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state->installedApps().empty(); }));
    EXPECT_FALSE(list->isVisible()) << "no list without a query";
    QTest::keyClicks(search, QStringLiteral("  notion  "));
    EXPECT_EQ(titles(list), (QStringList{QStringLiteral("Notion"), QStringLiteral("Tool")}));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, 0)).center());
    EXPECT_EQ(button().action, ActionSpec::launchApp("so.notion.Notion", "/opt/fallback"));
    EXPECT_EQ(button().colorGradient, pictureGradient);
    EXPECT_EQ(list->model()->index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);

    auto* menu = find<QMenu>("appPickerMenu");
    Q_EMIT menu->aboutToShow();
    auto* runningMenu = find<QMenu>("runningAppsMenu");
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const auto actions = runningMenu->actions();
        return actions.size() == 1 && actions[0]->text() == QLatin1String("Viewer");
    }));
    auto* editor = find<MacAppActionEditor>("actionEditor");
    runningMenu->actions()[0]->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->isRendering(); }));
    EXPECT_EQ(button().action, ActionSpec::launchApp("org.example.Viewer", "/apps/viewer.desktop"));
    ASSERT_TRUE(std::holds_alternative<IconRef::Custom>(button().icon.value));

    const IconRef viewerIcon = button().icon;
    nextChoice = QStringLiteral("/home/me/bin/tool");
    find<QAction>("chooseAppFileAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->isRendering(); }));
    EXPECT_EQ(button().action, ActionSpec::launchApp("", "/home/me/bin/tool"));
    EXPECT_EQ(button().icon, viewerIcon) << "a file without an icon keeps the button's";
    EXPECT_EQ(chosen, std::vector<FileChoice>{FileChoice::application});

    // Another button gets a fresh editor, with an empty search.
    state->selectButton(state->selectedPage()->buttons[1].id);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_NE(find<MacAppActionEditor>("actionEditor"), editor);
    EXPECT_TRUE(find<QLineEdit>("appSearchField")->text().isEmpty());
}

TEST_F(InspectorViewTest, shortcutEditorListsFiltersAndChoosesShortcuts) {
    show({buttonWith(ActionSpec::openURL(shortcutsRunURL("Timer")))});
    auto* editor = find<MacShortcutActionEditor>("actionEditor");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->isLoading(); }));
    auto* list = find<QListView>("shortcutList");
    EXPECT_EQ(titles(list), (QStringList{QStringLiteral("From Shortcuts: Mail Summary"),
                                         QStringLiteral("From Shortcuts: Timer"),
                                         QStringLiteral("From Shortcuts: mail later")}));
    EXPECT_EQ(list->model()->index(1, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    QTest::keyClicks(find<QLineEdit>("shortcutSearchField"), QStringLiteral(" MAIL"));
    EXPECT_EQ(titles(list), (QStringList{QStringLiteral("From Shortcuts: Mail Summary"),
                                         QStringLiteral("From Shortcuts: mail later")}));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(1, 0)).center());
    EXPECT_EQ(button().action, ActionSpec::openURL(shortcutsRunURL("mail later")));
    EXPECT_EQ(button().icon, IconRef::appIcon("com.apple.shortcuts"));
    EXPECT_EQ(list->model()->index(1, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
}

TEST_F(InspectorViewTest, quickPanelSectionSelectsTriggersAndShowsThePanel) {
    std::vector<QString> selected;
    int shown = 0;
    show({buttonWith(ActionSpec::keyboardShortcut({{}, "a"}))},
         QuickPanelControls{{{QStringLiteral("optionDoubleTap"), QStringLiteral("Option 2回")},
                             {QStringLiteral("controlHold"), QStringLiteral("Control 長押し")}},
                            QStringLiteral("controlHold"),
                            [&] { ++shown; },
                            [&](const QString& id) { selected.push_back(id); }});
    auto* section = find<QuickPanelSection>("quickPanelSection");
    EXPECT_EQ(find<QToolButton>("quickPanelTrigger")->text(), QStringLiteral("Control 長押し"));
    const QList<QAction*> items = section->triggerMenu().actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_TRUE(items[0]->icon().isNull());
    EXPECT_FALSE(items[1]->icon().isNull()) << "the current option is checked";
    items[0]->trigger();
    EXPECT_EQ(selected, std::vector<QString>{QStringLiteral("optionDoubleTap")});
    EXPECT_EQ(find<QToolButton>("quickPanelTrigger")->text(), QStringLiteral("Option 2回"));
    QTest::mouseClick(find<QPushButton>("showQuickPanelButton"), Qt::LeftButton);
    EXPECT_EQ(shown, 1);
    // A choice made elsewhere shows without being reported back as the user's.
    section->showTrigger(QStringLiteral("controlHold"));
    EXPECT_EQ(find<QToolButton>("quickPanelTrigger")->text(), QStringLiteral("Control 長押し"));
    EXPECT_EQ(selected.size(), 1U);

    auto* tip = find<QuickPanelInfoTip>("quickPanelInfoTip");
    tip->click();
    ASSERT_TRUE(tip->isShowing());
    auto* popover = view->window()->findChild<QFrame*>(QStringLiteral("quickPanelInfoPopover"));
    ASSERT_NE(popover, nullptr);
    EXPECT_EQ(popover->width(), 240);
    tip->setShowing(false);
    EXPECT_FALSE(tip->isShowing());
}

TEST_F(InspectorViewTest, keyboardEditorResetsToSpaceAndFollowsUndo) {
    show({buttonWith(ActionSpec::keyboardShortcut({{Modifier::shift, Modifier::command}, "a"}))});
    auto* field = find<QPushButton>("shortcutField");
    EXPECT_EQ(field->text(), QStringLiteral("⇧⌘A"));
    QTest::mouseClick(field, Qt::LeftButton);
    EXPECT_EQ(field->text(), QStringLiteral("ショートカットを押してください"));
    QTest::mouseClick(find<QToolButton>("resetShortcutButton"), Qt::LeftButton);
    EXPECT_EQ(button().action, ActionSpec::keyboardShortcut({{}, "space"}));
    EXPECT_EQ(field->text(), QStringLiteral("Space"));
    state->undo();
    EXPECT_EQ(find<QPushButton>("shortcutField")->text(), QStringLiteral("⇧⌘A"));
}

} // namespace
} // namespace quorix
