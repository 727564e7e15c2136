#include "QuorixMacCore/Actions/KeyboardExecutor.h"

#include "QuorixMacCore/Actions/VirtualKeyMap.h"
#include "QuorixMacCore/Platform/RecordingEventPoster.h"
#include "QuorixMacCore/Support/FakeAccessibilityChecker.h"

#include <gtest/gtest.h>
#include <sstream>
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

void expectGap(const Harness& harness, std::size_t i, std::chrono::milliseconds nominal) {
    EXPECT_GE(harness.gap(i), nominal) << "before event " << i;
    EXPECT_LT(harness.gap(i), nominal + waitTolerance) << "before event " << i;
}

std::vector<std::string> split(const std::string& words) {
    std::istringstream stream(words);
    std::vector<std::string> result;
    for (std::string word; stream >> word;) {
        result.push_back(word);
    }
    return result;
}

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
        const auto keyNames = split(names);
        ASSERT_EQ(keyNames.size(), codes.size()) << names;
        for (std::size_t i = 0; i < keyNames.size(); ++i) {
            Harness harness;
            EXPECT_EQ(harness.run({}, keyNames[i]), std::nullopt) << keyNames[i];
            EXPECT_EQ(harness.keys(), (std::vector<Key>{{codes[i], true, 0, session},
                                                        {codes[i], false, 0, session}}))
                << keyNames[i];
            ++named;
        }
    }
    EXPECT_EQ(named, VirtualKeyMap::entries.size());
}

TEST(KeyboardExecutor, unknownKeysFailWithTheKeyAsGivenAndPostNothing) {
    for (const std::string key :
         {"pageup", " PageUp ", "home", "end", "forwarddelete", "kp1", "", "aa", "f13"}) {
        Harness harness;
        EXPECT_EQ(harness.run({Modifier::control}, key), "unknown_key:" + key);
        EXPECT_TRUE(harness.keys().empty()) << key;
    }
}

TEST(KeyboardExecutor, flagsAreTheUnionOfTheModifiers) {
    const std::vector<std::pair<std::vector<Modifier>, std::uint64_t>> cases{
        {{}, 0},
        {{Modifier::command}, 0x100000},
        {{Modifier::shift}, 0x20000},
        {{Modifier::option}, 0x80000},
        {{Modifier::control}, 0x40000},
        {{Modifier::function}, 0x800000},
        {{Modifier::command, Modifier::shift}, 0x120000},
        {{Modifier::shift, Modifier::command, Modifier::shift}, 0x120000},
        {{Modifier::command, Modifier::shift, Modifier::option, Modifier::control,
          Modifier::function},
         0x9E0000},
    };
    for (const auto& [modifiers, flags] : cases) {
        Harness harness;
        EXPECT_EQ(harness.run(modifiers, "k"), std::nullopt);
        EXPECT_EQ(harness.keys(),
                  (std::vector<Key>{{40, true, flags, session}, {40, false, flags, session}}))
            << "flags 0x" << std::hex << flags;
    }
}

TEST(KeyboardExecutor, modifierNamesAsKeysAreOrdinaryUnlessTheyAreTheOnlyModifier) {
    Harness withTwo;
    EXPECT_EQ(withTwo.run({Modifier::command, Modifier::shift}, "command"), std::nullopt);
    EXPECT_EQ(withTwo.keys(),
              (std::vector<Key>{{55, true, 0x120000, session}, {55, false, 0x120000, session}}));
    Harness withOther;
    EXPECT_EQ(withOther.run({Modifier::control}, "option"), std::nullopt);
    EXPECT_EQ(withOther.keys(),
              (std::vector<Key>{{58, true, 0x40000, session}, {58, false, 0x40000, session}}));
}

TEST(KeyboardExecutor, hideAndMinimiseAreRefusedBeforeThePermissionCheck) {
    const std::vector<std::tuple<std::vector<Modifier>, std::string, std::string>> refused{
        {{Modifier::command}, "H", "command+h"},
        {{Modifier::command}, " m ", "command+m"},
        {{Modifier::shift, Modifier::command}, "h", "command+shift+h"},
        {{Modifier::option, Modifier::command, Modifier::control}, "M", "command+control+option+m"},
    };
    for (const auto& [modifiers, key, description] : refused) {
        Harness harness;
        harness.accessibility->trusted = false;
        EXPECT_EQ(harness.run(modifiers, key), "unsafe_system_shortcut:" + description);
        EXPECT_EQ(harness.accessibility->settingsOpened, 0);
        EXPECT_EQ(harness.poster->createdEventCount(), 0);
    }
    Harness optionH;
    EXPECT_EQ(optionH.run({Modifier::option}, "h"), std::nullopt);
    EXPECT_EQ(optionH.keys(),
              (std::vector<Key>{{4, true, 0x80000, session}, {4, false, 0x80000, session}}));
}

TEST(KeyboardExecutor, withoutPermissionTheSettingsOpenAndNothingIsPosted) {
    for (const std::string key : {"a", "optionpair", "option", "pageup"}) {
        Harness harness;
        harness.accessibility->trusted = false;
        EXPECT_EQ(harness.run({Modifier::option}, key), "accessibility_not_granted");
        EXPECT_EQ(harness.accessibility->settingsOpened, 1);
        EXPECT_EQ(harness.poster->createdEventCount(), 0);
    }
}

TEST(KeyboardExecutor, pairedModifiersPressLeftThenRightWithDeviceBitsAndWaits) {
    struct Case {
        Modifier modifier;
        std::string key;
        std::uint16_t left, right;
        std::uint64_t base, rightBit;
    };
    const std::vector<Case> cases{
        {Modifier::command, "commandpair", 55, 54, 0x100008, 0x10},
        {Modifier::shift, "shiftpair", 56, 60, 0x20002, 0x04},
        {Modifier::shift, " Shift ", 56, 60, 0x20002, 0x04},
        {Modifier::option, "OptionPair", 58, 61, 0x80020, 0x40},
        {Modifier::control, "controlpair", 59, 62, 0x40001, 0x2000},
    };
    for (const Case& c : cases) {
        Harness harness;
        EXPECT_EQ(harness.run({c.modifier, c.modifier}, c.key), std::nullopt) << c.key;
        EXPECT_EQ(harness.keys(), (std::vector<Key>{{c.left, true, c.base, hid},
                                                    {c.right, true, c.base | c.rightBit, hid},
                                                    {c.right, false, c.base, hid},
                                                    {c.left, false, 0, hid}}))
            << c.key;
        if (harness.keys().size() == 4) {
            expectGap(harness, 1, 35ms);
            expectGap(harness, 2, 120ms);
            expectGap(harness, 3, 20ms);
        }
    }
}

TEST(KeyboardExecutor, functionHasNoPairedForm) {
    Harness harness;
    EXPECT_EQ(harness.run({Modifier::function}, "functionpair"), "unknown_key:functionpair");
    EXPECT_EQ(harness.poster->createdEventCount(), 0);
}

TEST(KeyboardExecutor, aPairedModifierThatCannotBeCreatedPostsNothing) {
    Harness harness;
    harness.poster->failCreationFrom(3);
    EXPECT_EQ(harness.run({Modifier::option}, "optionpair"), "unknown_key:optionpair");
    EXPECT_TRUE(harness.keys().empty());
}

TEST(KeyboardExecutor, doubleTapsCarryTheFlagOnKeyDownsOnly) {
    const std::vector<std::tuple<Modifier, std::string, std::uint16_t, std::uint64_t>> cases{
        {Modifier::option, "option", 58, 0x80000},
        {Modifier::command, "Command", 55, 0x100000},
        {Modifier::control, "control", 59, 0x40000},
        {Modifier::function, "function", 63, 0x800000},
    };
    for (const auto& [modifier, key, code, flag] : cases) {
        Harness harness;
        EXPECT_EQ(harness.run({modifier}, key), std::nullopt) << key;
        EXPECT_EQ(harness.keys(), (std::vector<Key>{{code, true, flag, hid},
                                                    {code, false, 0, hid},
                                                    {code, true, flag, hid},
                                                    {code, false, 0, hid}}))
            << key;
        if (harness.keys().size() == 4) {
            expectGap(harness, 1, 35ms);
            expectGap(harness, 2, 90ms);
            expectGap(harness, 3, 35ms);
        }
    }
}

TEST(KeyboardExecutor, aSecondTapThatCannotBeCreatedLeavesTheFirstPosted) {
    Harness harness;
    harness.poster->failCreationFrom(2);
    EXPECT_EQ(harness.run({Modifier::option}, "option"), "unknown_key:option");
    EXPECT_EQ(harness.keys(), (std::vector<Key>{{58, true, 0x80000, hid}, {58, false, 0, hid}}));
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
    EXPECT_EQ(keys[3].code, 55);
    EXPECT_FALSE(keys[3].down);
    // Whichever came second, each sequence's events stay together.
    const bool shortcutFirst = keys[4].code == 0;
    const std::size_t tapStart = shortcutFirst ? 6 : 4;
    const std::size_t shortcutStart = shortcutFirst ? 4 : 8;
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(keys[tapStart + i].code, 58) << i;
    }
    EXPECT_EQ(keys[shortcutStart].code, 0);
    EXPECT_EQ(keys[shortcutStart + 1].code, 0);
}
