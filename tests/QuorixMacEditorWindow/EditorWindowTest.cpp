#include "QuorixMacCore/EditorWindow/EditorWindow.h"

#include "QuorixMacCore/EditorWindow/EditorCanvasView.h"
#include "QuorixMacCore/EditorWindow/SidebarView.h"
#include "QuorixMacEditorWindow/Support/EditorFixture.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSplitter>
#include <QTest>

#include <gtest/gtest.h>

namespace quorix {
namespace {

using test::button;
using test::layoutOf;
using test::page;

/// How the user answers a delete confirmation.
enum class Answer {
    remove,
    cancel,
    escape,
    close,
};

/// The confirmation that is open now, if any.
QMessageBox* openConfirmation() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box != nullptr && box->isVisible() &&
            box->objectName() == QLatin1StringView("deleteConfirmation")) {
            return box;
        }
    }
    return nullptr;
}

void answer(QMessageBox& box, Answer answer) {
    switch (answer) {
    case Answer::remove:
        box.findChild<QPushButton*>(QStringLiteral("deleteButton"))->click();
        break;
    case Answer::cancel:
        box.findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        break;
    case Answer::escape:
        QTest::keyClick(&box, Qt::Key_Escape);
        break;
    case Answer::close:
        box.close();
        break;
    }
    QCoreApplication::processEvents();
}

std::vector<UUID> buttonOrder(const MacEditorState& state) {
    std::vector<const QuorixButtonRecord*> buttons;
    for (const QuorixButtonRecord& record : state.selectedPage()->buttons) {
        buttons.push_back(&record);
    }
    std::stable_sort(buttons.begin(), buttons.end(), [](const auto* left, const auto* right) {
        return left->position < right->position;
    });
    std::vector<UUID> ids;
    for (const QuorixButtonRecord* record : buttons) {
        ids.push_back(record->id);
    }
    return ids;
}

std::vector<QString> rowTitles(const QListView& list) {
    std::vector<QString> titles;
    for (int row = 0; row < list.model()->rowCount(); ++row) {
        titles.push_back(list.model()->index(row, 0).data().toString());
    }
    return titles;
}

std::vector<UUID> rowIDs(const QListView& list) {
    std::vector<UUID> ids;
    for (int row = 0; row < list.model()->rowCount(); ++row) {
        ids.push_back(*UUID::fromString(list.model()
                                            ->index(row, 0)
                                            .data(ButtonListModel::buttonIDRole)
                                            .toString()
                                            .toStdString()));
    }
    return ids;
}

class EditorWindowTest : public ::testing::Test {
protected:
    explicit EditorWindowTest(
        LayoutRecord layout = layoutOf({page(0, {button(2), button(0), button(1)}), page(1)}))
        : f(std::move(layout)) {
        window.resize(1100, 700);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        // The models' change notifications must match what changed, or views go wrong.
        for (const char* list : {"pageList", "buttonList"}) {
            testers.push_back(std::make_unique<QAbstractItemModelTester>(
                child<QListView>(list)->model(),
                QAbstractItemModelTester::FailureReportingMode::Fatal));
        }
    }
    template <typename Widget = QWidget>
    Widget* child(const char* name) {
        auto* found = window.findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QPoint deleteButtonOf(QListView& list, int row) {
        const QRect item = list.visualRect(list.model()->index(row, 0));
        return static_cast<DeletableRowDelegate*>(list.itemDelegate())
            ->deleteButtonRect(item)
            .center();
    }

    test::EditorFixture f;
    int syncs = 0;
    int qrRequests = 0;
    EditorWindow window{f.state, [this] { ++syncs; }, [this] { ++qrRequests; }};
    std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;
};

TEST_F(EditorWindowTest, laysOutThreeColumnsWithThePairingButtonInTheCorner) {
    auto* columns = child<QSplitter>("editorColumns");
    ASSERT_EQ(columns->count(), 3);
    EXPECT_EQ(columns->widget(0)->minimumWidth(), 220);
    EXPECT_EQ(columns->widget(1)->minimumWidth(), 460);
    EXPECT_EQ(columns->widget(2)->minimumWidth(), 340);
    EXPECT_EQ(columns->widget(2)->objectName(), QStringLiteral("inspector"));
    EXPECT_GE(window.minimumSizeHint().width(), 1020);

    auto* connect = child<QPushButton>("connectPhoneButton");
    EXPECT_EQ(connect->text(), QStringLiteral("スマホと接続"));
    EXPECT_EQ(connect->toolTip(), QStringLiteral("スマホで読み取るQRコードを表示"));
    EXPECT_EQ(connect->geometry().top(), 12);
    EXPECT_EQ(window.width() - connect->geometry().right() - 1, 24);
    connect->click();
    EXPECT_EQ(qrRequests, 1);
}

TEST_F(EditorWindowTest, addsPagesAndDeletesOneOnlyWhenTheUserConfirms) {
    auto* pages = child<QListView>("pageList");
    auto* add = child<QAbstractButton>("addPageButton");
    add->click();
    ASSERT_EQ(f.state.layout().pages.size(), 3U);
    EXPECT_EQ(f.state.selectedPageID(), f.state.layout().pages[2].id);
    EXPECT_EQ(rowTitles(*pages),
              (std::vector<QString>{QStringLiteral("1ページ目"), QStringLiteral("2ページ目"),
                                    QStringLiteral("3ページ目")}));
    const auto* sidebar = child<SidebarView>("sidebar");
    const UUID first = f.state.layout().pages[0].id;
    QTest::mouseClick(pages->viewport(), Qt::LeftButton, {},
                      pages->visualRect(pages->model()->index(0, 0)).center());
    EXPECT_EQ(f.state.selectedPageID(), first);

    for (Answer given : {Answer::cancel, Answer::escape, Answer::close, Answer::remove}) {
        SCOPED_TRACE(int(given));
        const UUID second = f.state.layout().pages[1].id;
        QTest::mouseClick(pages->viewport(), Qt::LeftButton, {}, deleteButtonOf(*pages, 1));
        QMessageBox* box = openConfirmation();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("このページを削除しますか？"));
        EXPECT_EQ(box->informativeText(), QStringLiteral("2ページ目 を削除します。"));
        EXPECT_EQ(sidebar->pagePendingDeletion(), second);
        EXPECT_EQ(f.state.selectedPageID(), first) << "the delete button does not select";
        EXPECT_EQ(f.state.layout().pages.size(), 3U) << "nothing is deleted before the answer";
        answer(*box, given);
        EXPECT_FALSE(sidebar->pagePendingDeletion());
        EXPECT_EQ(f.state.layout().pages.size(), given == Answer::remove ? 2U : 3U);
    }

    // The context menu asks the same question.
    const QPoint onFirst = pages->visualRect(pages->model()->index(0, 0)).center();
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, onFirst,
                                pages->viewport()->mapToGlobal(onFirst));
    QApplication::sendEvent(pages->viewport(), &menuEvent);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    auto* remove = menu->findChild<QAction*>(QStringLiteral("deletePageAction"));
    ASSERT_NE(remove, nullptr);
    EXPECT_EQ(remove->text(), QStringLiteral("このページを削除"));
    remove->trigger();
    menu->close();
    ASSERT_NE(openConfirmation(), nullptr);
    EXPECT_EQ(openConfirmation()->informativeText(), QStringLiteral("1ページ目 を削除します。"));
    answer(*openConfirmation(), Answer::remove);
    EXPECT_EQ(f.state.layout().pages.size(), 1U);
}

TEST_F(EditorWindowTest, showsButtonsByPositionAndAddsAndDeletesThem) {
    auto* list = child<QListView>("buttonList");
    EXPECT_EQ(rowTitles(*list),
              (std::vector<QString>{QStringLiteral("ボタン 1"), QStringLiteral("ボタン 2"),
                                    QStringLiteral("ボタン 3")}));
    EXPECT_EQ(list->model()->index(0, 0).data(ButtonListModel::captionRole).toString(),
              QStringLiteral("アプリ起動"));
    EXPECT_EQ(child<QLabel>("pageTitle")->text(), QStringLiteral("1ページ目"));

    const UUID third = buttonOrder(f.state)[2];
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(2, 0)).center());
    EXPECT_EQ(f.state.selectedButtonID(), third);

    child<QPushButton>("addShortcutButton")->click();
    ASSERT_EQ(buttonOrder(f.state).size(), 4U);
    const QuorixButtonRecord* added = f.state.selectedButton();
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->position, 3);
    EXPECT_EQ(added->icon, IconRef::sfSymbol("app.fill"));
    EXPECT_EQ(added->colorGradient, (ColorGradient{"#4f46e5", "#38bdf8", 135}));
    EXPECT_EQ(added->action, ActionSpec::launchApp(""));
    const UUID addedID = added->id;

    const auto* canvas = child<EditorCanvasView>("canvas");
    for (Answer given : {Answer::cancel, Answer::close, Answer::remove}) {
        SCOPED_TRACE(int(given));
        const UUID target = buttonOrder(f.state)[1];
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, deleteButtonOf(*list, 1));
        QMessageBox* box = openConfirmation();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("このショートカットを消しますか？"));
        EXPECT_EQ(box->informativeText(), QStringLiteral("ボタン 2 を削除します。"));
        EXPECT_EQ(canvas->buttonPendingDeletion(), target);
        EXPECT_EQ(f.state.selectedButtonID(), addedID) << "the delete button does not select";
        answer(*box, given);
        const std::vector<UUID> order = buttonOrder(f.state);
        EXPECT_EQ(std::find(order.begin(), order.end(), target) != order.end(),
                  given != Answer::remove);
    }
    EXPECT_EQ(rowTitles(*list).size(), 3U);
}

TEST_F(EditorWindowTest, showsEachEmptyState) {
    f.state.selectPage(f.state.layout().pages[1].id);
    QCoreApplication::processEvents();
    EXPECT_TRUE(child("noButtonsState")->isVisible());
    EXPECT_FALSE(child("buttonList")->isVisible());
    EXPECT_GE(child("noButtonsState")->height(), 240);
    const auto texts = [&](const char* name) {
        QStringList found;
        for (const QLabel* label : child(name)->findChildren<QLabel*>()) {
            found << label->text();
        }
        return found;
    };
    EXPECT_EQ(texts("noButtonsState"),
              (QStringList{QStringLiteral("ショートカットがありません"),
                           QStringLiteral("ショートカットを追加を押してください")}));

    while (!f.state.layout().pages.empty()) {
        f.state.deletePage(f.state.layout().pages.front().id);
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(child("noPagesState")->isVisible());
    EXPECT_FALSE(child("pageTitle")->isVisible());
    EXPECT_FALSE(child("pageList")->isVisible());
    EXPECT_TRUE(child("addPageButton")->isVisible());
    EXPECT_EQ(texts("noPagesState"),
              (QStringList{QStringLiteral("ページがありません"),
                           QStringLiteral("左の一覧からページを追加できます。")}));
}

TEST_F(EditorWindowTest, reordersWhileARowIsDraggedOverTheOthers) {
    auto* list = child<ButtonListView>("buttonList");
    const auto dragEvent = [&](QEvent::Type type, const UUID& dragged, int row) {
        QMimeData data;
        data.setText(QString::fromStdString(dragged.uuidString()));
        const QPoint over = list->visualRect(list->model()->index(row, 0)).center();
        if (type == QEvent::Drop) {
            QDropEvent drop(over, Qt::MoveAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(list->viewport(), &drop);
            return drop.isAccepted();
        }
        QDragMoveEvent move(over, Qt::MoveAction, &data, Qt::LeftButton, {}, type);
        QApplication::sendEvent(list->viewport(), &move);
        return move.isAccepted();
    };

    const std::vector<UUID> before = buttonOrder(f.state);
    const std::size_t undoDepth = f.state.undoDepth();
    list->beginDrag(before[0]);
    EXPECT_TRUE(dragEvent(QEvent::DragEnter, before[0], 0));
    EXPECT_TRUE(dragEvent(QEvent::DragMove, before[0], 1));
    EXPECT_EQ(buttonOrder(f.state), before) << "over itself, or just behind itself";
    EXPECT_EQ(f.state.undoDepth(), undoDepth);
    EXPECT_TRUE(dragEvent(QEvent::Drop, before[0], 1));

    // Whatever holds on to the dragged row (the view's pressed row, say) follows it.
    const QPersistentModelIndex draggedRow = list->model()->index(2, 0);
    list->beginDrag(before[2]);
    EXPECT_TRUE(dragEvent(QEvent::DragEnter, before[2], 2));
    EXPECT_TRUE(dragEvent(QEvent::DragMove, before[2], 0));
    const std::vector<UUID> moved{before[2], before[0], before[1]};
    EXPECT_EQ(buttonOrder(f.state), moved) << "the list reorders while the drag goes on";
    EXPECT_EQ(rowIDs(*list), moved);
    EXPECT_EQ(draggedRow.row(), 0);
    EXPECT_EQ(list->reorderDrag().draggingButtonID(), before[2]);
    EXPECT_TRUE(dragEvent(QEvent::DragMove, before[2], 0));
    EXPECT_EQ(f.state.undoDepth(), undoDepth + 1) << "staying on a row moves once";

    EXPECT_TRUE(dragEvent(QEvent::DragMove, before[2], 2));
    const std::vector<UUID> back{before[0], before[2], before[1]};
    EXPECT_EQ(buttonOrder(f.state), back) << "in front of the row entered, going down as well";
    EXPECT_EQ(rowIDs(*list), back);
    EXPECT_EQ(draggedRow.row(), 1);
    EXPECT_TRUE(dragEvent(QEvent::Drop, before[2], 1));
    EXPECT_FALSE(list->reorderDrag().draggingButtonID());
    EXPECT_EQ(buttonOrder(f.state), back);

    // A longer way down, past two rows.
    child<QPushButton>("addShortcutButton")->click();
    const std::vector<UUID> four = buttonOrder(f.state);
    const QPersistentModelIndex firstRow = list->model()->index(0, 0);
    list->beginDrag(four[0]);
    EXPECT_TRUE(dragEvent(QEvent::DragEnter, four[0], 3));
    EXPECT_EQ(buttonOrder(f.state), (std::vector<UUID>{four[1], four[2], four[0], four[3]}));
    EXPECT_EQ(rowIDs(*list), buttonOrder(f.state));
    EXPECT_EQ(firstRow.row(), 2);

    QMimeData foreign;
    foreign.setText(QStringLiteral("not a button"));
    QDragEnterEvent stranger(QPoint(5, 5), Qt::MoveAction, &foreign, Qt::LeftButton, {});
    QApplication::sendEvent(list->viewport(), &stranger);
    EXPECT_FALSE(stranger.isAccepted());
}

TEST_F(EditorWindowTest, undoesCopiesAndPastesWithThePlatformKeys) {
    auto* field = new QLineEdit(child("canvas"));
    field->show();
    auto* list = child<QListView>("buttonList");

    // Undo belongs to the editor even in a text field, once the editor has something to undo.
    field->setFocus();
    QTest::keyClicks(field, QStringLiteral("ab"));
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(field->text(), QStringLiteral("ab")) << "nothing to undo: the field undoes";
    QTest::keyClicks(field, QStringLiteral("cd"));
    const QString typed = field->text();
    f.state.addPage();
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(f.state.layout().pages.size(), 2U);
    EXPECT_EQ(field->text(), typed);

    // Copy and paste of buttons: not while a text input has the focus.
    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_FALSE(f.state.hasCopiedButton());
    EXPECT_EQ(buttonOrder(f.state).size(), 3U);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(f.state.hasCopiedButton());
    QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(buttonOrder(f.state).size(), 5U);
}

TEST_F(EditorWindowTest, passesKeysOfOtherWindowsAndOfAClosedEditorOn) {
    QLineEdit elsewhere;
    elsewhere.show();
    struct Arrivals : QObject {
        int keys = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            // Modifier keys arrive as presses of their own.
            keys += event->type() == QEvent::KeyPress &&
                            static_cast<QKeyEvent*>(event)->key() != Qt::Key_Control
                        ? 1
                        : 0;
            return false;
        }
    } arrivals;
    elsewhere.installEventFilter(&arrivals);
    const std::size_t undoDepth = (f.state.addPage(), f.state.undoDepth());

    QTest::keyClick(&elsewhere, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(&elsewhere, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(arrivals.keys, 2);
    window.close();
    QTest::keyClick(child("buttonList"), Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(&elsewhere, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(arrivals.keys, 3);
    EXPECT_FALSE(f.state.hasCopiedButton());
    EXPECT_EQ(f.state.undoDepth(), undoDepth);
}

} // namespace
} // namespace quorix
