#include "QuorixMacApp/QuickPanel/QuickPanelGridMetrics.h"
#include "QuorixMacApp/QuickPanel/QuickPanelPages.h"
#include "QuorixMacApp/QuickPanel/QuickPanelPaging.h"
#include "QuorixMacApp/QuickPanel/QuickPanelSpring.h"
#include "QuorixMacEditorWindow/Support/EditorFixture.h"

#include <cmath>
#include <gtest/gtest.h>

namespace quorix {
namespace {

using namespace std::chrono_literals;
using InputEvents::ScrollPhase;
using test::button;
using test::page;

constexpr qreal panelWidth = 844;

TEST(QuickPanelGridMetrics, sizesTilesAndGridByWidthAndButtonCount) {
    struct Case {
        qreal width;
        int count;
        qreal tileSize, gridWidth, gridHeight;
    };
    for (const Case& c : {
             Case{panelWidth, 18, 78, 538, 262},
             Case{panelWidth, 20, 78, 538, 262},
             Case{panelWidth, 7, 78, 538, 170},
             Case{panelWidth, 0, 78, 538, 78},
             Case{626, 1, 78, 538, 78},
             Case{400, 6, (312.0 - 70) / 6, 312, (312.0 - 70) / 6},
             Case{300, 1, (240.0 - 70) / 6, 240, (240.0 - 70) / 6},
         }) {
        SCOPED_TRACE(::testing::Message() << c.width << " wide, " << c.count << " buttons");
        const auto metrics = QuickPanelGridMetrics::metrics(c.width, c.count);
        EXPECT_DOUBLE_EQ(metrics.tileSize, c.tileSize);
        EXPECT_DOUBLE_EQ(metrics.gridWidth, c.gridWidth);
        EXPECT_DOUBLE_EQ(metrics.gridHeight, c.gridHeight);
    }
    // The seventh tile starts the second row; the grid is centred 44 points below the top.
    const auto metrics = QuickPanelGridMetrics::metrics(panelWidth, 7);
    EXPECT_EQ(metrics.tileRect(panelWidth, 0), QRectF(153, 44, 78, 78));
    EXPECT_EQ(metrics.tileRect(panelWidth, 5), QRectF(153 + 5 * 92, 44, 78, 78));
    EXPECT_EQ(metrics.tileRect(panelWidth, 6), QRectF(153, 44 + 92, 78, 78));
}

TEST(QuickPanelPages, ordersPagesAndButtonsStablyAndCutsPagesToEighteen) {
    std::vector<PageRecord> stored{page(2), page(0), page(1), page(0)};
    const LayoutRecord layout = test::layoutOf(stored);
    const auto sorted = QuickPanelPages::sortedPages(layout);
    ASSERT_EQ(sorted.size(), 4u);
    EXPECT_EQ(sorted[0]->id, stored[1].id);
    EXPECT_EQ(sorted[1]->id, stored[3].id);
    EXPECT_EQ(sorted[2]->id, stored[2].id);
    EXPECT_EQ(sorted[3]->id, stored[0].id);
    EXPECT_FALSE(QuickPanelPages::hasAnyButton(sorted));

    // Twenty buttons stored out of order, two of them sharing a position.
    PageRecord full = page(0);
    for (const std::int64_t position :
         {19, 3, 18, 0, 17, 1, 16, 2, 15, 4, 14, 5, 13, 6, 12, 7, 11, 8, 10, 9}) {
        full.buttons.push_back(button(position));
    }
    full.buttons.push_back(button(3));
    const auto shown = QuickPanelPages::shownButtons(full.buttons);
    ASSERT_EQ(shown.size(), QuickPanelPages::maxButtonsPerPage);
    EXPECT_EQ(shown[3].id, full.buttons[1].id);
    EXPECT_EQ(shown[4].id, full.buttons[20].id) << "equal positions keep their stored order";
    EXPECT_EQ(shown.back().position, 16);
    const PageRecord empty = page(1);
    EXPECT_TRUE(QuickPanelPages::hasAnyButton({&empty, &full}));
}

TEST(QuickPanelPages, opensOnTheEditorsSelectedPageElseTheFirst) {
    const LayoutRecord layout = test::layoutOf({page(0), page(1), page(2), page(3), page(4)});
    const auto pages = QuickPanelPages::sortedPages(layout);
    EXPECT_EQ(QuickPanelPages::initialPageIndex(pages, pages[2]->id), 2);
    EXPECT_EQ(QuickPanelPages::initialPageIndex(pages, std::nullopt), 0);
    EXPECT_EQ(QuickPanelPages::initialPageIndex(pages, UUID::random()), 0);
    EXPECT_EQ(QuickPanelPages::initialPageIndex({}, std::nullopt), 0);
}

TEST(QuickPanelPageState, turnsPagesByGatheredHorizontalScrolling) {
    struct Step {
        double dx, dy;
        bool precise;
        int atMilliseconds;
        bool used;
        int page;
        ScrollPhase phase = ScrollPhase::none;
    };
    struct Case {
        const char* name;
        int pageCount;
        int startPage;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases{
        {"trackpad turns on the third step, then pauses 0.2 s",
         4,
         0,
         {{5, 0, true, 0, true, 0},
          {5, 0, true, 10, true, 0},
          {5, 0, true, 20, true, 1},
          {5, 0, true, 60, true, 1},
          {5, 0, true, 120, true, 1},
          {5, 0, true, 220, true, 1},
          {5, 0, true, 221, true, 2}}},
        {"wheel turns at once", 3, 0, {{3, 0, false, 0, true, 1}, {-3, 0, false, 300, true, 0}}},
        {"small and diagonal deltas are left alone",
         3,
         1,
         {{1, 0, false, 0, false, 1},
          {-1.5, 0, true, 10, false, 1},
          {4, 4, true, 20, false, 1},
          {4, 3.4, true, 30, true, 1}}},
        {"a gesture's start forgets earlier travel",
         3,
         0,
         {{8, 0, true, 0, true, 0},
          {8, 0, true, 10, true, 0, ScrollPhase::began},
          {-3, 0, true, 20, true, 0}}},
        {"past the last page only the travel is dropped",
         2,
         1,
         {{13, 0, true, 0, true, 1}, {-13, 0, true, 10, true, 0}}},
        {"a single page never turns", 1, 0, {{40, 0, true, 0, false, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QuickPanelPageState state(c.startPage);
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            SCOPED_TRACE(::testing::Message() << "step " << i);
            InputEvents::Scroll event;
            event.deltaX = step.dx;
            event.deltaY = step.dy;
            event.hasPreciseDeltas = step.precise;
            event.phase = step.phase;
            event.time = InputEvents::Time(1h) + std::chrono::milliseconds(step.atMilliseconds);
            EXPECT_EQ(state.handleScrollWheel(event, c.pageCount), step.used);
            EXPECT_EQ(state.currentPage(), step.page);
        }
    }
}

TEST(QuickPanelPageState, aChangedPageCountKeepsThePageWhileItExists) {
    for (const auto& [page, count, expected] :
         std::vector<std::tuple<int, int, int>>{{2, 5, 2}, {4, 3, 2}, {1, 0, 0}}) {
        QuickPanelPageState state(page);
        InputEvents::Scroll scroll{5, 0, true};
        state.handleScrollWheel(scroll, 6);
        state.pageCountChanged(count);
        EXPECT_EQ(state.currentPage(), expected);
        EXPECT_EQ(state.scrollAccumulator(), 0);
    }
}

TEST(QuickPanelDragPaging, followsThePointerWithRubberBandsAtTheEnds) {
    struct Case {
        QPointF translation;
        int page, pageCount;
        qreal width;
        std::optional<qreal> offset;
    };
    for (const Case& c : {
             Case{{200, 0}, 0, 3, panelWidth, 64},
             Case{{600, 10}, 0, 3, panelWidth, 151.92},
             Case{{-200, 0}, 2, 3, panelWidth, -64},
             Case{{-200, 0}, 1, 3, panelWidth, -200},
             Case{{200, 0}, 1, 3, panelWidth, 200},
             Case{{-300, 0}, 1, 2, 200, -54},
             Case{{100, 125}, 1, 3, panelWidth, std::nullopt},
             Case{{300, 0}, 0, 1, panelWidth, 0},
         }) {
        SCOPED_TRACE(::testing::Message() << c.translation.x() << "," << c.translation.y()
                                          << " on page " << c.page << " of " << c.pageCount);
        const auto offset =
            QuickPanelDragPaging::dragOffset(c.translation, c.page, c.pageCount, c.width);
        ASSERT_EQ(offset.has_value(), c.offset.has_value());
        if (offset) {
            EXPECT_NEAR(*offset, *c.offset, 1e-9);
        }
    }
}

TEST(QuickPanelDragPaging, turnsOnReleaseByTravelOrPredictedEnd) {
    struct Case {
        const char* name;
        QPointF translation, predicted;
        int page;
        std::optional<int> target;
    };
    for (const Case& c : {
             Case{"rubber band on the first page", {200, 0}, {200, 0}, 0, std::nullopt},
             Case{"short of the threshold", {-135, 0}, {-168, 0}, 1, std::nullopt},
             Case{"a quick flick", {-60, 0}, {-200, 0}, 1, 2},
             Case{"far enough", {-136, 0}, {-136, 0}, 1, 2},
             Case{"back a page", {136, 0}, {150, 0}, 1, 0},
             Case{"too vertical", {-150, -200}, {-150, -200}, 1, std::nullopt},
             Case{"vertical travel, horizontal flick", {-10, -30}, {-300, -30}, 1, 2},
             Case{"the flick's way wins over the travel", {-140, 0}, {400, 0}, 1, 0},
             Case{"past the last page", {-300, 0}, {-300, 0}, 2, std::nullopt},
         }) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(
            QuickPanelDragPaging::releaseTarget(c.translation, c.predicted, c.page, 3, panelWidth),
            c.target);
    }
}

TEST(QuickPanelDragMotion, predictsFlicksFarAndStoppedDragsAtTheirTravel) {
    using Time = QuickPanelDragMotion::Time;
    QuickPanelDragMotion flick;
    flick.begin({400, 200}, Time(1000));
    for (int step = 1; step <= 3; ++step) {
        flick.move({400 - 20.0 * step, 200}, Time(1000 + 20 * step));
    }
    flick.move({340, 200}, Time(1065));
    EXPECT_EQ(flick.translation(), QPointF(-60, 0));
    // 60 points in 65 ms, carried on for a quarter of a second.
    EXPECT_NEAR(flick.predictedEndTranslation().x(), -60 - 60 / 0.065 * 0.25, 1e-6);
    EXPECT_EQ(QuickPanelDragPaging::releaseTarget(
                  flick.translation(), flick.predictedEndTranslation(), 0, 2, panelWidth),
              1);

    QuickPanelDragMotion stopped;
    stopped.begin({400, 200}, Time(0));
    stopped.move({300, 200}, Time(100));
    stopped.move({300, 200}, Time(400));
    EXPECT_EQ(stopped.predictedEndTranslation(), QPointF(-100, 0));
}

TEST(QuickPanelSpring, settlesWithinASecondWithTheDampedOvershootOnly) {
    const QuickPanelSpring spring;
    const double distance = panelWidth;
    // The overshoot of a damping fraction of 0.86: exp(-pi * 0.86 / sqrt(1 - 0.86^2)).
    const double overshoot = std::exp(-M_PI * 0.86 / std::sqrt(1 - 0.86 * 0.86)) * distance;
    for (const double frame : {1.0 / 120, 1.0 / 60, 1.0 / 24}) {
        SCOPED_TRACE(frame);
        QuickPanelSpring::State state{distance, 0};
        double lowest = distance;
        double settledAt = -1;
        for (double time = frame; time < 2; time += frame) {
            state = spring.advance(state, 0, frame);
            lowest = std::min(lowest, state.position);
            if (settledAt < 0 && state == QuickPanelSpring::State{0, 0}) {
                settledAt = time;
            }
        }
        EXPECT_GT(settledAt, 0.2);
        EXPECT_LT(settledAt, 1.0);
        EXPECT_NEAR(lowest, -overshoot, 0.5);
    }
    // Stepping is exact: uneven frames land where even ones do.
    QuickPanelSpring::State even{distance, 0}, uneven{distance, 0};
    for (int i = 0; i < 12; ++i) {
        even = spring.advance(even, 0, 1.0 / 60);
    }
    uneven = spring.advance(spring.advance(uneven, 0, 0.15), 0, 0.05);
    EXPECT_NEAR(even.position, uneven.position, 1e-6);
    EXPECT_NEAR(even.velocity, uneven.velocity, 1e-6);
}

} // namespace
} // namespace quorix
