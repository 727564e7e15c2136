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

namespace {

constexpr auto waitTolerance = 250ms;

ActionSpec key(std::string name) {
    return ActionSpec::keyboardShortcut({{}, std::move(name)});
}

URL url(std::string_view text) {
    return *URL::parse(text);
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
    // The key codes of the key-down events posted so far.
    std::vector<std::uint16_t> pressed() const {
        std::vector<std::uint16_t> codes;
        for (const auto& posted : poster->postedEvents()) {
            if (posted.event.keyDown) {
                codes.push_back(posted.event.virtualKey);
            }
        }
        return codes;
    }
    std::chrono::nanoseconds betweenPresses(std::size_t first, std::size_t second) const {
        std::vector<std::chrono::steady_clock::time_point> times;
        for (const auto& posted : poster->postedEvents()) {
            if (posted.event.keyDown) {
                times.push_back(posted.time);
            }
        }
        return times.at(second) - times.at(first);
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
    EXPECT_EQ(harness.run(ActionSpec::keyboardShortcut({{Modifier::command}, "h"})),
              failure("unsafe_system_shortcut:command+h"));
    EXPECT_EQ(harness.run(ActionSpec::launchApp("org.example.Editor")),
              ExecuteOutcome::succeeded());
    EXPECT_EQ(harness.run(ActionSpec::launchApp("org.example.Missing")), failure("app_not_found"));
    // Nobody handles this scheme; opening is not examined.
    EXPECT_EQ(harness.run(ActionSpec::openURL(url("shortcuts://run-shortcut?name=Focus"))),
              ExecuteOutcome::succeeded());
    EXPECT_EQ(harness.run(ActionSpec::shellCommand("rm -rf ~")), failure("shell_command_disabled"));
    EXPECT_EQ(harness.workspace->requests(),
              (std::vector<std::string>{"app:org.example.Editor",
                                        "url:shortcuts://run-shortcut?name=Focus"}));
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
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(harness.run(macro), failure(text));
        EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
        const auto pressed = harness.pressed();
        ASSERT_FALSE(pressed.empty());
        EXPECT_EQ(pressed.front(), 0);
        EXPECT_NE(pressed.back(), 2) << text;
    }
}

TEST(MacActionExecutor, delaysPairWithStepsByIndex) {
    Harness first;
    EXPECT_EQ(first.run(ActionSpec::macro({key("a"), key("s"), key("d")}, {0.3})),
              ExecuteOutcome::succeeded());
    EXPECT_GE(first.betweenPresses(0, 1), 300ms);
    EXPECT_LT(first.betweenPresses(1, 2), waitTolerance);

    Harness negativeFirst;
    EXPECT_EQ(negativeFirst.run(ActionSpec::macro({key("a"), key("s"), key("d")}, {-1, 0.3})),
              ExecuteOutcome::succeeded());
    EXPECT_LT(negativeFirst.betweenPresses(0, 1), waitTolerance);
    EXPECT_GE(negativeFirst.betweenPresses(1, 2), 300ms);
}

TEST(MacActionExecutor, aDelayAfterTheLastStepIsWaitedAndOnesBeyondAreNot) {
    Harness trailing;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(trailing.run(ActionSpec::macro({key("a")}, {0.3})), ExecuteOutcome::succeeded());
    EXPECT_GE(std::chrono::steady_clock::now() - started, 300ms);

    Harness beyond;
    const auto beyondStarted = std::chrono::steady_clock::now();
    EXPECT_EQ(beyond.run(ActionSpec::macro({key("a")}, {0, 3600})), ExecuteOutcome::succeeded());
    EXPECT_LT(std::chrono::steady_clock::now() - beyondStarted, 10s);
}

TEST(MacActionExecutor, anEmptyMacroSucceedsAtOnce) {
    Harness harness;
    auto future = harness.executor->execute(ActionSpec::macro({}, {5}));
    EXPECT_TRUE(future.isFinished());
    EXPECT_EQ(future.result(), ExecuteOutcome::succeeded());
}

TEST(MacActionExecutor, macroDelaysAreClampedToZeroAndAnHour) {
    const double infinity = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<double, std::chrono::nanoseconds>> cases{
        {-1, 0ns},    {-infinity, 0ns}, {std::nan(""), 0ns}, {0, 0ns},
        {0.5, 500ms}, {1e-9, 1ns},      {3599.5, 3599500ms}, {3600, 1h},
        {1e10, 1h},   {1e300, 1h},      {infinity, 1h},
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
    auto shortcut = harness.executor->execute(key("z"));
    shortcut.waitForFinished();
    EXPECT_EQ(shortcut.result(), ExecuteOutcome::succeeded());
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

TEST(DryRunActionExecutor, recordsInCallOrderAndAlwaysSucceeds) {
    std::vector<ActionSpec> observed;
    DryRunActionExecutor executor([&](const ActionSpec& action) { observed.push_back(action); });
    const std::vector<ActionSpec> actions{ActionSpec::shellCommand("rm -rf ~"), key("pageup"),
                                          ActionSpec::launchApp("org.example.Missing"),
                                          ActionSpec::macro({key("a")}, {1e300})};
    for (const auto& action : actions) {
        auto future = executor.execute(action);
        ASSERT_TRUE(future.isFinished());
        EXPECT_EQ(future.result(), ExecuteOutcome::succeeded());
    }
    EXPECT_EQ(executor.actions(), actions);
    EXPECT_EQ(observed, actions);
}
