#include "QuorixMacCore/Actions/KeyboardExecutor.h"

#include "QuorixMacCore/Actions/VirtualKeyMap.h"
#include "QuorixMacCore/Platform/RecordingEventPoster.h"
#include "QuorixMacCore/Support/FakeAccessibilityChecker.h"

#include <QStringList>

#include <gtest/gtest.h>
#include <ostream>
#include <thread>

using namespace quorix;
using namespace std::chrono_literals;

namespace {

constexpr auto hid = EventTapLocation::hid;
constexpr auto session = EventTapLocation::annotatedSession;
// Sleeps last at least as long as asked; the upper bound only catches a missing or doubled
// wait, not scheduling noise.
constexpr auto waitTolerance = 250ms;

struct Key {
    std::uint16_t code;
    bool down;
    std::uint64_t flags;
    EventTapLocation tap;

    bool operator==(const Key&) const = default;
    friend void PrintTo(const Key& key, std::ostream* out) {
        *out << (key.down ? "down(" : "up(") << key.code << ", 0x" << std::hex << key.flags
             << std::dec << (key.tap == hid ? ", hid)" : ", session)");
    }
};

std::vector<Key> press(std::uint16_t code, std::uint64_t flags) {
    return {{code, true, flags, session}, {code, false, flags, session}};
}

struct Harness {
    std::shared_ptr<RecordingEventPoster> poster = std::make_shared<RecordingEventPoster>();
    std::shared_ptr<test::FakeAccessibilityChecker> accessibility =
        std::make_shared<test::FakeAccessibilityChecker>();
    KeyboardExecutor executor{poster, accessibility};

    std::optional<std::string> run(std::vector<Modifier> modifiers, std::string key) {
        const auto error = executor.execute(KeyCombo{std::move(modifiers), std::move(key)});
        return error ? std::optional(error->description()) : std::nullopt;
    }
    std::vector<Key> keys() const {
        std::vector<Key> result;
        for (const auto& posted : poster->postedEvents()) {
            result.push_back({posted.event.virtualKey, posted.event.keyDown, posted.event.flags,
                              posted.location});
        }
        return result;
    }
    // The time between posted event i-1 and i.
    std::chrono::nanoseconds gap(std::size_t i) const {
        const auto events = poster->postedEvents();
        return events.at(i).time - events.at(i - 1).time;
    }
};

} // namespace

// The published ANSI codes, row by row, written apart from the table under test.
TEST(KeyboardExecutor, everyNamedKeyIsPostedAtItsCode) {
    const std::vector<std::pair<std::string, std::vector<std::uint16_t>>> rows{
        {"a s d f h g z x c v", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"b q w e r y t", {11, 12, 13, 14, 15, 16, 17}},
        {"1 2 3 4 6 5 = 9 7 - 8 0", {18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29}},
        {"] o u [ i p", {30, 31, 32, 33, 34, 35}},
        {"l j ' k ; \\ , / n m .", {37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47}},
        {"` return enter tab space delete escape esc", {50, 36, 36, 48, 49, 51, 53, 53}},
        {"command shift option control function", {55, 56, 58, 59, 63}},
        {"left right down up", {123, 124, 125, 126}},
        {"f1 f2 f3 f4 f5 f6 f7 f8 f9 f10 f11 f12",
         {122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111}},
    };
    std::size_t named = 0;
    for (const auto& [names, codes] : rows) {
        const QStringList keyNames = QString::fromStdString(names).split(u' ');
        ASSERT_EQ(std::size_t(keyNames.size()), codes.size()) << names;
        for (std::size_t i = 0; i < codes.size(); ++i, ++named) {
            const std::string name = keyNames[qsizetype(i)].toStdString();
            Harness harness;
            EXPECT_EQ(harness.run({}, name), std::nullopt) << name;
            EXPECT_EQ(harness.keys(), press(codes[i], 0)) << name;
        }
    }
    EXPECT_EQ(named, VirtualKeyMap::entries.size());
}

TEST(KeyboardExecutor, ordinaryKeysCarryTheUnionOfTheModifierFlags) {
    using enum Modifier;
    const std::vector<std::tuple<std::vector<Modifier>, std::string, std::uint16_t, std::uint64_t>>
        cases{
            // Each modifier's own bit shows in the gesture sequences too.
            {{command}, "k", 40, 0x100000},
            {{shift, command, shift}, "k", 40, 0x120000},
            {{command, shift, option, control, function}, "k", 40, 0x9E0000},
            // A modifier's name is an ordinary key unless it is the only modifier's own.
            {{command, shift}, "command", 55, 0x120000},
            {{control}, "option", 58, 0x40000},
            // Only Command with H or M is unsafe.
            {{option}, "h", 4, 0x80000},
        };
    for (const auto& [modifiers, key, code, flags] : cases) {
        Harness harness;
        EXPECT_EQ(harness.run(modifiers, key), std::nullopt) << key;
        EXPECT_EQ(harness.keys(), press(code, flags)) << key << " 0x" << std::hex << flags;
    }
}

TEST(KeyboardExecutor, refusalsPostNothingAndUnsafeOnesComeBeforeThePermissionCheck) {
    using enum Modifier;
    struct Case {
        std::vector<Modifier> modifiers;
        std::string key;
        bool trusted;
        std::string error;
    };
    std::vector<Case> cases{
        {{command}, "H", false, "unsafe_system_shortcut:command+h"},
        {{command}, " m ", false, "unsafe_system_shortcut:command+m"},
        {{shift, command}, "h", false, "unsafe_system_shortcut:command+shift+h"},
        {{option, command, control}, "M", false, "unsafe_system_shortcut:command+control+option+m"},
        {{function}, "functionpair", true, "unknown_key:functionpair"},
    };
    for (const std::string key : {"a", "optionpair", "option", "pageup"}) {
        cases.push_back({{option}, key, false, "accessibility_not_granted"});
    }
    for (const std::string key : {" PageUp ", "home", "forwarddelete", "kp1", "", "aa", "f13"}) {
        cases.push_back({{control}, key, true, "unknown_key:" + key});
    }
    for (const Case& c : cases) {
        Harness harness;
        harness.accessibility->trusted = c.trusted;
        EXPECT_EQ(harness.run(c.modifiers, c.key), c.error);
        EXPECT_EQ(harness.accessibility->settingsOpened,
                  c.error == "accessibility_not_granted" ? 1 : 0)
            << c.key;
        EXPECT_EQ(harness.poster->createdEventCount(), 0) << c.key;
    }
}

TEST(KeyboardExecutor, gesturesPostTheirSequencesWithTheirFlagsAndWaits) {
    using enum Modifier;
    // Both keys of a pair go down left first, carrying the device bits, on the HID tap.
    const auto pair = [](std::uint16_t left, std::uint16_t right, std::uint64_t base,
                         std::uint64_t rightBit) {
        return std::vector<Key>{{left, true, base, hid},
                                {right, true, base | rightBit, hid},
                                {right, false, base, hid},
                                {left, false, 0, hid}};
    };
    // A double tap carries the modifier's flag on its key-downs only.
    const auto tap = [](std::uint16_t code, std::uint64_t flag) {
        return std::vector<Key>{{code, true, flag, hid},
                                {code, false, 0, hid},
                                {code, true, flag, hid},
                                {code, false, 0, hid}};
    };
    const std::vector<std::chrono::milliseconds> pairWaits{35ms, 120ms, 20ms};
    const std::vector<std::chrono::milliseconds> tapWaits{35ms, 90ms, 35ms};
    const std::vector<std::tuple<std::vector<Modifier>, std::string, std::vector<Key>,
                                 std::vector<std::chrono::milliseconds>>>
        cases{
            {{command, command}, "commandpair", pair(55, 54, 0x100008, 0x10), pairWaits},
            {{shift, shift}, "shiftpair", pair(56, 60, 0x20002, 0x04), pairWaits},
            {{shift, shift}, " Shift ", pair(56, 60, 0x20002, 0x04), pairWaits},
            {{option, option}, "OptionPair", pair(58, 61, 0x80020, 0x40), pairWaits},
            {{control, control}, "controlpair", pair(59, 62, 0x40001, 0x2000), pairWaits},
            {{option}, "option", tap(58, 0x80000), tapWaits},
            {{command}, "Command", tap(55, 0x100000), tapWaits},
            {{control}, "control", tap(59, 0x40000), tapWaits},
            {{function}, "function", tap(63, 0x800000), tapWaits},
        };
    for (const auto& [modifiers, key, expected, waits] : cases) {
        Harness harness;
        EXPECT_EQ(harness.run(modifiers, key), std::nullopt) << key;
        EXPECT_EQ(harness.keys(), expected) << key;
        for (std::size_t i = 1; i < std::min<std::size_t>(4, harness.keys().size()); ++i) {
            EXPECT_GE(harness.gap(i), waits[i - 1]) << key << " before event " << i;
            EXPECT_LT(harness.gap(i), waits[i - 1] + waitTolerance) << key << " before " << i;
        }
    }
}

TEST(KeyboardExecutor, aGestureThatCannotBeCreatedStopsWithoutAHalfPressedPair) {
    Harness paired;
    paired.poster->failCreationFrom(3);
    EXPECT_EQ(paired.run({Modifier::option}, "optionpair"), "unknown_key:optionpair");
    EXPECT_TRUE(paired.keys().empty());
    // A tap is whole by itself, so the first stays posted.
    Harness tapped;
    tapped.poster->failCreationFrom(2);
    EXPECT_EQ(tapped.run({Modifier::option}, "option"), "unknown_key:option");
    EXPECT_EQ(tapped.keys(), (std::vector<Key>{{58, true, 0x80000, hid}, {58, false, 0, hid}}));
}

TEST(KeyboardExecutor, concurrentCallsNeverPostInsideAnotherSequence) {
    Harness harness;
    std::thread paired([&] { harness.run({Modifier::command}, "commandpair"); });
    // Let the paired sequence start, then type into the middle of it.
    while (harness.poster->postedEvents().empty()) {
        std::this_thread::sleep_for(1ms);
    }
    std::thread ordinary([&] { harness.run({}, "a"); });
    std::thread tapped([&] { harness.run({Modifier::option}, "option"); });
    paired.join();
    ordinary.join();
    tapped.join();
    const auto keys = harness.keys();
    ASSERT_EQ(keys.size(), 10u);
    EXPECT_EQ(keys[0].code, 55);
    // Whichever came second, each sequence's events stay together: counting both Command
    // keys as one, the key code changes only twice.
    const auto sequenceOf = [](std::uint16_t code) { return code == 54 ? 55 : code; };
    int changes = 0;
    for (std::size_t i = 1; i < keys.size(); ++i) {
        changes += sequenceOf(keys[i].code) != sequenceOf(keys[i - 1].code) ? 1 : 0;
    }
    EXPECT_EQ(changes, 2);
}
