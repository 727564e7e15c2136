#include "QuorixMacCore/Actions/MacActionExecutor.h"

#include "QuorixMacCore/Actions/AppLauncher.h"
#include "QuorixMacCore/Actions/DryRunActionExecutor.h"
#include "QuorixMacCore/Actions/KeyboardExecutor.h"
#include "QuorixMacCore/Actions/URLOpener.h"
#include "QuorixMacCore/Platform/RecordingEventPoster.h"
#include "QuorixMacCore/Support/FakeAccessibilityChecker.h"
#include "QuorixMacCore/Support/RecordingWorkspace.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace quorix;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto waitTolerance = 250ms;

ActionSpec key(std::string name) {
    return ActionSpec::keyboardShortcut({{}, std::move(name)});
}

struct Harness {
    std::shared_ptr<RecordingEventPoster> poster = std::make_shared<RecordingEventPoster>();
    std::shared_ptr<test::RecordingWorkspace> workspace =
        std::make_shared<test::RecordingWorkspace>(std::set<std::string>{"org.example.Editor"});
    std::unique_ptr<MacActionExecutor> executor = std::make_unique<MacActionExecutor>(
        std::make_shared<KeyboardExecutor>(poster,
                                           std::make_shared<test::FakeAccessibilityChecker>()),
        std::make_shared<AppLauncher>(workspace), std::make_shared<URLOpener>(workspace));

    ExecuteOutcome run(const ActionSpec& action) {
        auto future = executor->execute(action);
        future.waitForFinished();
        return future.result();
    }
    // The key-down events posted so far: their codes and times.
    std::vector<std::uint16_t> pressed() const {
        std::vector<std::uint16_t> codes;
        for (const auto& [code, time] : presses()) {
            codes.push_back(code);
        }
        return codes;
    }
    std::vector<std::pair<std::uint16_t, Clock::time_point>> presses() const {
        std::vector<std::pair<std::uint16_t, Clock::time_point>> result;
        for (const auto& posted : poster->postedEvents()) {
            if (posted.event.keyDown) {
                result.emplace_back(posted.event.virtualKey, posted.time);
            }
        }
        return result;
    }
};

ExecuteOutcome failure(std::string text) {
    return {false, std::move(text)};
}

} // namespace

TEST(MacActionExecutor, eachKindReportsItsOutcome) {
    Harness harness;
    EXPECT_EQ(harness.run(key("c")), ExecuteOutcome::succeeded());
    EXPECT_EQ(harness.run(key("pageup")), failure("unknown_key:pageup"));
    // Nobody handles this scheme; opening is not examined.
    EXPECT_EQ(harness.run(ActionSpec::openURL(*URL::parse("shortcuts://run-shortcut?name=Focus"))),
              ExecuteOutcome::succeeded());
    EXPECT_EQ(harness.run(ActionSpec::shellCommand("rm -rf ~")), failure("shell_command_disabled"));
    EXPECT_EQ(harness.workspace->requests(),
              (std::vector<std::string>{"url:shortcuts://run-shortcut?name=Focus"}));
}

TEST(MacActionExecutor, macrosRunTheirStepsInOrderAndNest) {
    Harness harness;
    const auto macro = ActionSpec::macro(
        {key("a"), ActionSpec::macro({key("s"), ActionSpec::macro({}, {}), key("d")}, {}),
         ActionSpec::launchApp("org.example.Editor"), key("f")},
        {});
    EXPECT_EQ(harness.run(macro), ExecuteOutcome::succeeded());
    EXPECT_EQ(harness.pressed(), (std::vector<std::uint16_t>{0, 1, 2, 3}));
    EXPECT_EQ(harness.workspace->requests(), (std::vector<std::string>{"app:org.example.Editor"}));

    // An empty macro needs no step to finish.
    auto empty = harness.executor->execute(ActionSpec::macro({}, {5}));
    EXPECT_TRUE(empty.isFinished());
    EXPECT_EQ(empty.result(), ExecuteOutcome::succeeded());
}

TEST(MacActionExecutor, aFailingStepStopsTheMacroWithItsError) {
    const std::vector<std::pair<ActionSpec, std::string>> failingSteps{
        {key("pageup"), "unknown_key:pageup"},
        {ActionSpec::shellCommand("say hi"), "shell_command_disabled"},
        {ActionSpec::launchApp("org.example.Missing"), "app_not_found"},
        {ActionSpec::macro({key("s"), ActionSpec::shellCommand("x")}, {}),
         "shell_command_disabled"},
    };
    for (const auto& [step, text] : failingSteps) {
        Harness harness;
        // The delay after the failing step must not be waited either.
        const auto macro = ActionSpec::macro({key("a"), step, key("d")}, {0, 30, 0});
        const auto started = Clock::now();
        EXPECT_EQ(harness.run(macro), failure(text));
        EXPECT_LT(Clock::now() - started, 10s);
        const auto pressed = harness.pressed();
        ASSERT_FALSE(pressed.empty());
        EXPECT_EQ(pressed.front(), 0);
        EXPECT_NE(pressed.back(), 2) << text;
    }
}

TEST(MacActionExecutor, delaysPairWithStepsByIndex) {
    // Whether a wait comes after each of the three steps; one past the last step is not waited.
    const std::vector<std::pair<std::vector<double>, std::vector<bool>>> cases{
        {{0.3}, {true, false, false}},
        {{-1, 0.3}, {false, true, false}},
        {{0, 0, 0.3}, {false, false, true}},
        {{0, 0, 0, 3600}, {false, false, false}},
    };
    for (const auto& [delays, waited] : cases) {
        Harness harness;
        EXPECT_EQ(harness.run(ActionSpec::macro({key("a"), key("s"), key("d")}, delays)),
                  ExecuteOutcome::succeeded());
        auto presses = harness.presses();
        ASSERT_EQ(presses.size(), 3U);
        presses.emplace_back(0, Clock::now());
        for (std::size_t step = 0; step < 3; ++step) {
            const auto gap = presses[step + 1].second - presses[step].second;
            if (waited[step]) {
                EXPECT_GE(gap, 300ms) << "after step " << step << " of " << delays.size();
            } else {
                EXPECT_LT(gap, waitTolerance) << "after step " << step << " of " << delays.size();
            }
        }
    }
}

TEST(MacActionExecutor, macroDelaysAreClampedToZeroAndAnHour) {
    const double infinity = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<double, std::chrono::nanoseconds>> cases{
        {-1, 0ns},           {-infinity, 0ns}, {std::nan(""), 0ns}, {1e-9, 1ns},
        {3599.5, 3599500ms}, {3600, 1h},       {1e300, 1h},         {infinity, 1h},
    };
    for (const auto& [seconds, expected] : cases) {
        EXPECT_EQ(MacActionExecutor::macroDelay(seconds), expected) << seconds;
    }
}

TEST(MacActionExecutor, waitingMacrosOccupyNoThread) {
    Harness harness;
    std::vector<QFuture<ExecuteOutcome>> waiting;
    for (int i = 0; i < MacActionExecutor::maxConcurrentSteps * 2; ++i) {
        waiting.push_back(harness.executor->execute(ActionSpec::macro({key("a")}, {5})));
    }
    EXPECT_EQ(harness.run(key("z")), ExecuteOutcome::succeeded());
    for (const auto& macro : waiting) {
        EXPECT_FALSE(macro.isFinished());
    }
}

TEST(MacActionExecutor, destroyingItCancelsWaitingMacros) {
    Harness harness;
    auto waiting = harness.executor->execute(ActionSpec::macro({key("a"), key("s")}, {60}));
    while (harness.pressed().empty()) {
        std::this_thread::sleep_for(1ms);
    }
    harness.executor.reset();
    EXPECT_TRUE(waiting.isCanceled());
    EXPECT_EQ(harness.pressed(), (std::vector<std::uint16_t>{0}));
}

TEST(DryRunActionExecutor, recordsOrHandsOnInCallOrderAndAlwaysSucceeds) {
    std::vector<ActionSpec> observed;
    DryRunActionExecutor recording;
    DryRunActionExecutor observing([&](const ActionSpec& action) { observed.push_back(action); });
    const std::vector<ActionSpec> actions{ActionSpec::shellCommand("rm -rf ~"), key("pageup"),
                                          ActionSpec::macro({key("a")}, {1e300})};
    for (const auto& action : actions) {
        for (DryRunActionExecutor* executor : {&recording, &observing}) {
            auto future = executor->execute(action);
            ASSERT_TRUE(future.isFinished());
            EXPECT_EQ(future.result(), ExecuteOutcome::succeeded());
        }
    }
    EXPECT_EQ(recording.actions(), actions);
    EXPECT_EQ(observed, actions);
    EXPECT_TRUE(observing.actions().empty());
}
