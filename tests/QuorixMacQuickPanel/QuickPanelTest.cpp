#include "QuorixMacApp/QuickPanel/QuickPanelPageCache.h"
#include "QuorixMacApp/QuickPanel/QuickPanelPictures.h"
#include "QuorixMacApp/QuickPanel/QuickPanelWindow.h"
#include "QuorixMacCore/Support/TestImages.h"
#include "QuorixMacCore/Support/Waiting.h"
#include "QuorixMacQuickPanel/Support/PanelFixture.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

namespace quorix {
namespace {

using test::PanelFixture;

void sendMouse(QWidget& widget, QEvent::Type type, QPointF position, quint64 milliseconds) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, position, widget.mapToGlobal(position), Qt::LeftButton, held,
                      Qt::NoModifier);
    event.setTimestamp(milliseconds);
    QCoreApplication::sendEvent(&widget, &event);
}

void settle(QuickPanelWindow& window) {
    for (int frame = 0; frame < 240 && window.isAnimating(); ++frame) {
        window.advanceAnimation(1.0 / 60);
    }
}

TEST(QuickPanel, beepsInsteadOfOpeningWhenNoPageHasAButton) {
    PanelFixture fixture(test::layoutOf({test::page(0), test::page(1)}));
    fixture.panel.showQuickPanel();
    EXPECT_EQ(fixture.beeps, 1);
    EXPECT_FALSE(fixture.panel.isQuickPanelVisible());
    EXPECT_EQ(fixture.panel.window(), nullptr);
}

TEST(QuickPanel, opensCentredOnTheSelectedPageAndNeverTakesTheFocus) {
    PanelFixture fixture(test::pagesOfButtons(5, 3));
    fixture.editor.state.selectPage(fixture.editor.state.layout().pages[2].id);
    fixture.panel.toggleQuickPanel();
    QuickPanelWindow* window = fixture.panel.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(fixture.panel.isQuickPanelVisible());
    EXPECT_EQ(window->pageState().currentPage(), 2);
    EXPECT_EQ(window->stripPosition(), -2 * 844);
    EXPECT_EQ(fixture.floatingPanels->showings, 1);
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(window->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(window->geometry(),
              QuickPanel::placement(QGuiApplication::primaryScreen()->availableGeometry(),
                                    QuickPanelWindow::panelSize));

    fixture.panel.toggleQuickPanel();
    EXPECT_FALSE(fixture.panel.isQuickPanelVisible());
    EXPECT_EQ(window->pageCount(), 0) << "an opening's pages are forgotten";

    EXPECT_EQ(QuickPanel::placement(std::nullopt, {844, 390}), QRect(218, 205, 844, 390));
    EXPECT_EQ(QuickPanel::placement(QRect(100, 30, 1920, 1050), {844, 390}),
              QRect(638, 360, 844, 390));
}

TEST(QuickPanel, roundsItsCornersWithOrWithoutACompositor) {
    for (const bool compositor : {true, false}) {
        SCOPED_TRACE(compositor ? "translucent" : "shaped");
        PanelFixture fixture(test::pagesOfButtons(2, 1));
        fixture.floatingPanels->compositor = compositor;
        fixture.panel.showQuickPanel();
        QuickPanelWindow& window = *fixture.panel.window();
        const QImage shot = window.grab().toImage();
        const QRegion shape = window.mask().isEmpty() ? QRegion(window.rect()) : window.mask();
        const auto shows = [&](QPoint point) {
            return shape.contains(point) && shot.pixelColor(point).alpha() > 0;
        };
        EXPECT_FALSE(shows({2, 2}));
        EXPECT_FALSE(shows({841, 387}));
        EXPECT_TRUE(shows({422, 1})) << "the outline along the top edge";
        EXPECT_TRUE(shows({14, 14}));
        EXPECT_EQ(shot.pixelColor(422, 195).alpha(), 255);
    }
}

TEST(QuickPanel, closesOnEscapeAndOnClicksBeyondItsMarginOnly) {
    PanelFixture fixture(test::pagesOfButtons(1, 1));
    fixture.panel.showQuickPanel();
    const QRect frame = fixture.panel.window()->frameGeometry();
    struct Case {
        QPointF position;
        bool closes;
    };
    for (const Case& c :
         {Case{frame.center(), false}, Case{QPointF(frame.left() - 5, frame.center().y()), false},
          Case{QPointF(frame.right() + 6, frame.bottom() + 6), false},
          Case{QPointF(frame.left() - 20, frame.center().y()), true},
          Case{QPointF(frame.center().x(), frame.bottom() + 21), true}}) {
        SCOPED_TRACE(::testing::Message() << c.position.x() << "," << c.position.y());
        fixture.panel.showQuickPanel();
        EXPECT_FALSE(
            fixture.panel.handleMouseDown({InputEvents::MouseDown::Button::right, c.position}))
            << "the click goes on to where it was aimed";
        EXPECT_EQ(fixture.panel.isQuickPanelVisible(), !c.closes);
    }

    fixture.panel.showQuickPanel();
    EXPECT_FALSE(fixture.panel.handleKeyDown({36}));
    EXPECT_TRUE(fixture.panel.isQuickPanelVisible());
    EXPECT_TRUE(fixture.panel.handleKeyDown({QuickPanel::escapeKeyCode}));
    EXPECT_FALSE(fixture.panel.isQuickPanelVisible());
    EXPECT_FALSE(fixture.panel.handleKeyDown({QuickPanel::escapeKeyCode}))
        << "a hidden panel leaves Escape alone";
}

TEST(QuickPanel, runsAClickedTileOnlyOnceItHasClosedAndBeepsWhenTheActionFails) {
    PanelFixture fixture(test::pagesOfButtons(2, 8));
    fixture.recording->onExecute = [&] { EXPECT_FALSE(fixture.panel.isQuickPanelVisible()); };
    for (const bool succeeds : {true, false}) {
        fixture.recording->outcome = succeeds ? ExecuteOutcome::succeeded()
                                              : ExecuteOutcome::failed(ExecError::appNotFound());
        fixture.panel.showQuickPanel();
        QuickPanelWindow& window = *fixture.panel.window();
        QTest::mouseClick(&window, Qt::LeftButton, {}, window.tileRect(7).center().toPoint());
        EXPECT_FALSE(fixture.panel.isQuickPanelVisible());
        ASSERT_TRUE(testing::waitUntil(
            [&] { return fixture.recording->actions.size() == (succeeds ? 1u : 2u); }));
        testing::drainEvents();
        EXPECT_EQ(fixture.recording->actions.back(), test::keys("a"));
        EXPECT_EQ(fixture.beeps, succeeds ? 0 : 1);
    }

    // A press that ends elsewhere, or outside the rounded tile, runs nothing.
    fixture.panel.showQuickPanel();
    QuickPanelWindow& window = *fixture.panel.window();
    const QRectF tile = window.tileRect(0);
    QTest::mousePress(&window, Qt::LeftButton, {}, tile.center().toPoint());
    QTest::mouseRelease(&window, Qt::LeftButton, {}, window.tileRect(1).center().toPoint());
    QTest::mouseClick(&window, Qt::LeftButton, {}, (tile.topLeft() + QPointF(2, 2)).toPoint());
    testing::drainEvents();
    EXPECT_EQ(fixture.recording->actions.size(), 2u);
    EXPECT_TRUE(fixture.panel.isQuickPanelVisible());
}

TEST(QuickPanel, pagesByScrollingNearItAndByDragging) {
    PanelFixture fixture(test::pagesOfButtons(3, 1));
    fixture.panel.showQuickPanel();
    QuickPanelWindow& window = *fixture.panel.window();
    const QRect frame = window.frameGeometry();
    InputEvents::Scroll scroll{3, 0, false};
    scroll.globalPosition = QPointF(frame.right() + 30, frame.center().y());
    EXPECT_FALSE(fixture.panel.handleScroll(scroll)) << "too far from the panel";
    scroll.globalPosition = QPointF(frame.right() + 15, frame.center().y());
    EXPECT_TRUE(fixture.panel.handleScroll(scroll));
    EXPECT_EQ(window.pageState().currentPage(), 1);
    EXPECT_TRUE(window.isAnimating());
    settle(window);
    EXPECT_EQ(window.stripPosition(), -844);

    // A slow drag of 200 points back to the first page, then one more past its edge.
    const QPointF start(400, 200);
    sendMouse(window, QEvent::MouseButtonPress, start, 1000);
    for (int step = 1; step <= 10; ++step) {
        sendMouse(window, QEvent::MouseMove, start + QPointF(20 * step, 0), 1000 + 60 * step);
    }
    EXPECT_EQ(window.stripPosition(), -844 + 200);
    sendMouse(window, QEvent::MouseButtonRelease, start + QPointF(200, 0), 1700);
    settle(window);
    EXPECT_EQ(window.pageState().currentPage(), 0);
    EXPECT_EQ(window.stripPosition(), 0);

    sendMouse(window, QEvent::MouseButtonPress, start, 2000);
    for (int step = 1; step <= 10; ++step) {
        sendMouse(window, QEvent::MouseMove, start + QPointF(20 * step, 0), 2000 + 60 * step);
    }
    EXPECT_DOUBLE_EQ(window.stripPosition(), 64) << "rubber band on the first page";
    sendMouse(window, QEvent::MouseButtonRelease, start + QPointF(200, 0), 2700);
    EXPECT_TRUE(window.isAnimating());
    settle(window);
    EXPECT_EQ(window.pageState().currentPage(), 0);
    EXPECT_EQ(window.stripPosition(), 0);
    EXPECT_TRUE(fixture.recording->actions.empty()) << "a drag is no click";
}

TEST(QuickPanel, followsTheLayoutOnlyWhenItsPageCountChanges) {
    PanelFixture fixture(test::pagesOfButtons(3, 2));
    MacEditorState& state = fixture.editor.state;
    state.selectPage(state.layout().pages[2].id);
    fixture.panel.showQuickPanel();
    QuickPanelWindow& window = *fixture.panel.window();

    state.selectButton(state.layout().pages[2].buttons[0].id);
    state.deleteSelectedButton();
    EXPECT_EQ(window.pageCount(), 3);

    state.deletePage(state.layout().pages[2].id);
    EXPECT_EQ(window.pageCount(), 2);
    EXPECT_EQ(window.pageState().currentPage(), 1);
    settle(window);
    EXPECT_EQ(window.stripPosition(), -844);
}

TEST(QuickPanel, decodesThePicturesOfThePageItWouldOpenOnAhead) {
    const auto picture = [](QColor colour) {
        return test::encodedImage(test::twoToneImage(256, 256, colour, colour), "PNG");
    };
    const Bytes first = picture(Qt::red), selected = picture(Qt::blue);
    PanelFixture fixture(
        test::layoutOf({test::page(0, {test::button(0, IconRef::custom(first))}),
                        test::page(1, {test::button(0, IconRef::custom(selected))})}));
    MacEditorState& state = fixture.editor.state;
    state.selectPage(state.layout().pages[1].id);
    // Full-size tiles on a screen of ratio 1.
    const int side = QuickPanelPictures::pixelSide(78, 1);
    ASSERT_TRUE(testing::waitUntil(
        [&] { return fixture.panel.pictures().find(selected, side).has_value(); }));
    EXPECT_EQ(fixture.panel.pictures().find(selected, side)->size(), QSize(side, side));
    EXPECT_FALSE(fixture.panel.pictures().find(first, side));
}

TEST(QuickPanel, opensBeforeItsPicturesAreDecodedAndDrawsThemOnceTheyAre) {
    const QColor blue(20, 40, 220);
    const Bytes picture = test::encodedImage(test::twoToneImage(512, 512, blue, blue), "PNG");
    PanelFixture fixture(
        test::layoutOf({test::page(0, {test::button(0, IconRef::custom(picture))})}));
    // Sooner than the page's pictures are decoded ahead.
    fixture.panel.showQuickPanel();
    QuickPanelWindow& window = *fixture.panel.window();
    const QPoint mark = window.tileRect(0).center().toPoint();
    EXPECT_NE(window.grab().toImage().pixelColor(mark), blue)
        << "the first frame waited for the picture";
    EXPECT_TRUE(
        testing::waitUntil([&] { return window.grab().toImage().pixelColor(mark) == blue; }));
}

TEST(QuickPanelPageCache, drawsIconsFromLocalSourcesOnly) {
    test::EditorFixture fixture;
    QuickPanelPictures pictures;
    QuickPanelPageCache pages(fixture.appIcons, pictures);
    const QColor red(220, 20, 30);
    const Bytes png = test::encodedImage(test::twoToneImage(64, 64, red, red), "PNG");
    struct Case {
        const char* name;
        IconRef icon;
        QColor atMark;
        bool cornerClear;
    };
    for (const Case& c : {
             Case{"symbol", IconRef::sfSymbol("star.fill"), Qt::transparent, true},
             Case{"image tile", IconRef::custom(png), red, true},
             Case{"brand tile", IconRef::favicon(test::url("https://m.youtube.com/x")),
                  QColor(0xff, 0x00, 0x33), false},
             Case{"undecodable image", IconRef::custom(Bytes{1, 2, 3}), Qt::transparent, true},
             Case{"lookalike host", IconRef::favicon(test::url("https://notyoutube.com")),
                  Qt::transparent, true},
             Case{"uninstalled application", IconRef::appIcon("org.example.Missing"),
                  Qt::transparent, true},
         }) {
        SCOPED_TRACE(c.name);
        QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        bool waiting = false;
        pages.paintIcon(painter, QRectF(0, 0, 100, 100), c.icon, waiting);
        if (waiting) {
            painter.end();
            // Pictures start decoding once the frame is out.
            testing::drainEvents();
            ASSERT_TRUE(testing::waitUntil(
                [&] { return !fixture.appIcons.isRendering() && !pictures.isDecoding(); }));
            image.fill(Qt::transparent);
            painter.begin(&image);
            pages.paintIcon(painter, QRectF(0, 0, 100, 100), c.icon, waiting);
        }
        painter.end();
        // Pictures fill 82 of the 100 points; brand tiles the whole square.
        EXPECT_EQ(image.pixelColor(5, 50).alpha() == 0, c.cornerClear);
        if (c.atMark != Qt::transparent) {
            EXPECT_EQ(image.pixelColor(25, 50), c.atMark);
        } else {
            // The stand-in symbols are white.
            int white = 0;
            for (int y = 0; y < 100; ++y) {
                for (int x = 0; x < 100; ++x) {
                    white += image.pixelColor(x, y) == Qt::white ? 1 : 0;
                }
            }
            EXPECT_GT(white, 100);
        }
    }
    EXPECT_TRUE(fixture.resolver.requests.empty());
}

} // namespace
} // namespace quorix
