#include "QuorixMacApp/QuickPanelTrigger.h"

#include "QuorixMacCore/Support/InMemoryUserDefaults.h"
#include "QuorixMacCore/Support/Waiting.h"

#include <gtest/gtest.h>
#include <set>

namespace quorix {
namespace {

using Effect = QuickPanelTrigger::Effect;
using Mode = QuickPanelTriggerMode;

constexpr std::uint16_t leftControl = 59;
constexpr std::uint16_t rightControl = 62;
constexpr std::uint16_t leftOption = 58;
constexpr std::uint16_t rightOption = 61;
constexpr std::uint16_t command = 55;
constexpr std::uint16_t shift = 56;
constexpr std::uint16_t capsLock = 57;
constexpr std::uint16_t function = 63;
constexpr std::uint16_t keyC = 8;

/// A key going down or up at a time in milliseconds.
struct Step {
    std::uint16_t key;
    bool down;
    int ms;
};

ModifierFlagBits flagOf(std::uint16_t key) {
    switch (key) {
    case leftControl:
    case rightControl:
        return ModifierFlags::control;
    case leftOption:
    case rightOption:
        return ModifierFlags::option;
    case command:
        return ModifierFlags::command;
    case shift:
        return ModifierFlags::shift;
    case capsLock:
        return ModifierFlags::capsLock;
    case function:
        return ModifierFlags::function;
    default:
        return 0;
    }
}

/// Feeds steps to a trigger as the monitors would, with the flags of the keys held.
class TriggerHarness {
public:
    explicit TriggerHarness(Mode mode)
        : trigger(mode, [this](Effect effect) { effects.push_back(effect); }) {}

    void run(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            if (step.down) {
                held.insert(step.key);
            } else {
                held.erase(step.key);
            }
            ModifierFlagBits flags = 0;
            for (const std::uint16_t key : held) {
                flags |= flagOf(key);
            }
            trigger.handle({step.key, flags,
                            InputEvents::Time(std::chrono::milliseconds(1'000'000 + step.ms))});
        }
    }

    std::vector<Effect> effects;
    std::multiset<std::uint16_t> held;
    QuickPanelTrigger trigger;
};

// A tap of `key` whose release lands at `ms`.
std::vector<Step> tap(std::uint16_t key, int ms) {
    return {{key, true, ms - 40}, {key, false, ms}};
}

std::vector<Step> taps(std::uint16_t key, std::initializer_list<int> releases) {
    std::vector<Step> steps;
    for (const int ms : releases) {
        const std::vector<Step> one = tap(key, ms);
        steps.insert(steps.end(), one.begin(), one.end());
    }
    return steps;
}

TEST(QuickPanelTrigger, gesturesOfEachModeProduceTheirEffects) {
    struct Case {
        const char* name;
        Mode mode;
        std::vector<Step> steps;
        std::vector<Effect> expected;
    };
    const std::vector<Case> cases{
        {"two double taps 0.3 s apart open and close",
         Mode::optionDoubleTap,
         taps(leftOption, {1000, 1300, 2000, 2300}),
         {Effect::toggle, Effect::toggle}},
        {"a third quick release only records its time",
         Mode::optionDoubleTap,
         taps(leftOption, {1000, 1300, 1600}),
         {Effect::toggle}},
        {"releases 0.5 s apart never toggle",
         Mode::optionDoubleTap,
         taps(leftOption, {1000, 1500, 2000, 2500}),
         {}},
        {"each slow release replaces the stored time",
         Mode::optionDoubleTap,
         taps(leftOption, {1000, 1500, 1800}),
         {Effect::toggle}},
        {"a gap of exactly 0.42 s still counts",
         Mode::optionDoubleTap,
         taps(leftOption, {1000, 1420}),
         {Effect::toggle}},
        {"a gap of 0.421 s does not", Mode::optionDoubleTap, taps(leftOption, {1000, 1421}), {}},
        {"left and right keys of a kind count as one",
         Mode::controlDoubleTap,
         {{leftControl, true, 0},
          {leftControl, false, 50},
          {rightControl, true, 100},
          {rightControl, false, 150}},
         {Effect::toggle}},
        {"a release before the stored time is no gap",
         Mode::optionDoubleTap,
         taps(leftOption, {2000, 1000}),
         {}},
        {"a tap toggles on release, whatever was typed meanwhile",
         Mode::controlTap,
         {{leftControl, true, 0}, {keyC, true, 10}, {keyC, false, 20}, {leftControl, false, 900}},
         {Effect::toggle}},
        {"a tap has no maximum length",
         Mode::optionTap,
         {{rightOption, true, 0}, {rightOption, false, 60'000}},
         {Effect::toggle}},
        {"both Control keys held: only the last release is the release",
         Mode::controlTap,
         {{leftControl, true, 0},
          {rightControl, true, 10},
          {leftControl, false, 20},
          {rightControl, false, 30}},
         {Effect::toggle}},
        {"a repeated press changes nothing",
         Mode::optionTap,
         {{leftOption, true, 0}, {leftOption, true, 10}, {leftOption, false, 20}},
         {Effect::toggle}},
        {"a release of a key already down at launch is ignored",
         Mode::controlTap,
         {{leftControl, false, 0}},
         {}},
        {"other modifiers never match the mode",
         Mode::optionTap,
         [] {
             std::vector<Step> steps;
             for (const std::uint16_t key :
                  {leftControl, rightControl, command, shift, capsLock, function, keyC}) {
                 const std::vector<Step> one = tap(key, 100);
                 steps.insert(steps.end(), one.begin(), one.end());
             }
             return steps;
         }(),
         {}},
        {"Option gestures do nothing for a Control mode",
         Mode::controlDoubleTap,
         taps(leftOption, {1000, 1100}),
         {}},
        {"a hold released early hides without showing",
         Mode::controlHold,
         tap(leftControl, 50),
         {Effect::hide}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        TriggerHarness harness(test.mode);
        harness.run(test.steps);
        EXPECT_EQ(harness.effects, test.expected);
        EXPECT_FALSE(harness.trigger.isHoldPending());
    }
}

TEST(QuickPanelTrigger, holdShowsAfterItsDelayAndHidesOnRelease) {
    TriggerHarness harness(Mode::optionHold);
    harness.run({{leftOption, true, 0}});
    EXPECT_TRUE(harness.trigger.isHoldPending());
    EXPECT_TRUE(testing::waitUntil([&] { return !harness.effects.empty(); }));
    EXPECT_EQ(harness.effects, std::vector<Effect>{Effect::show});
    harness.run({{leftOption, false, 500}});
    EXPECT_EQ(harness.effects, (std::vector<Effect>{Effect::show, Effect::hide}));

    // A second press cancels the first pending show; one show follows.
    harness.effects.clear();
    harness.run({{leftOption, true, 600}});
    harness.trigger.reset();
    EXPECT_FALSE(harness.trigger.isHoldPending());
    harness.run({{leftOption, false, 650}});
    EXPECT_TRUE(harness.effects.empty()) << "a release without a press after the reset";
}

TEST(QuickPanelTrigger, changingTheModeForgetsTracking) {
    TriggerHarness harness(Mode::optionDoubleTap);
    harness.run(tap(leftOption, 1000));
    harness.trigger.setMode(Mode::optionDoubleTap);
    harness.run(tap(leftOption, 1100));
    EXPECT_TRUE(harness.effects.empty());

    TriggerHarness hold(Mode::controlHold);
    hold.run({{leftControl, true, 0}});
    hold.trigger.setMode(Mode::controlTap);
    EXPECT_FALSE(hold.trigger.isHoldPending());
    hold.run({{leftControl, false, 50}});
    EXPECT_TRUE(hold.effects.empty());
}

TEST(QuickPanelTriggerModes, savedValuesThatNameNoModeStartTheDefault) {
    testsupport::InMemoryUserDefaults defaults;
    const QString key(QuickPanelTriggerModes::defaultsKey);
    EXPECT_EQ(QuickPanelTriggerModes::load(defaults), Mode::optionDoubleTap);
    for (const QString& unknown :
         {QString(), QStringLiteral("optiondoubletap"), QStringLiteral("Control 1回押し"),
          QStringLiteral("controlTap ")}) {
        defaults.setString(key, unknown);
        EXPECT_EQ(QuickPanelTriggerModes::load(defaults), Mode::optionDoubleTap)
            << unknown.toStdString();
    }
    defaults.setRaw(key, QByteArray("controlTap"));
    EXPECT_EQ(QuickPanelTriggerModes::load(defaults), Mode::optionDoubleTap) << "data, not text";
    for (const QuickPanelTriggerModes::Entry& mode : QuickPanelTriggerModes::table) {
        QuickPanelTriggerModes::save(defaults, mode.mode);
        EXPECT_EQ(defaults.string(key), QString(mode.rawValue));
        EXPECT_EQ(QuickPanelTriggerModes::load(defaults), mode.mode);
    }
}

} // namespace
} // namespace quorix
