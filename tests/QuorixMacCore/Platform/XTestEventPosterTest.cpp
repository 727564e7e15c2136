#include "QuorixMacCore/Platform/Linux/XTestEventPoster.h"

#include "QuorixMacCore/Actions/KeyboardExecutor.h"
#include "QuorixMacCore/Actions/VirtualKeyMap.h"
#include "QuorixMacCore/Platform/Linux/X11AccessibilityChecker.h"
#include "QuorixMacCore/Support/XKeyReceiver.h"
#include "QuorixMacCore/Support/XvfbServer.h"

#include <gtest/gtest.h>

using namespace quorix;
using quorix::test::ReceivedKey;

namespace {

class XTestEventPosterOnXvfb : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.isRunning()) << server.failure();
        receiver = std::make_unique<test::XKeyReceiver>(server.displayName());
        ASSERT_TRUE(receiver->isReady()) << "no focused window on " << server.displayName();
        poster = std::make_shared<XTestEventPoster>(server.displayName());
        keyboard = std::make_unique<KeyboardExecutor>(
            poster, std::make_shared<X11AccessibilityChecker>(poster));
        shift = receiver->modifierMask("Shift_L");
        control = receiver->modifierMask("Control_L");
        alt = receiver->modifierMask("Alt_L");
        super = receiver->modifierMask("Super_L");
        ASSERT_NE(super, 0u);
        ASSERT_NE(alt, 0u);
    }

    // The four modifiers this poster can hold, without lock or pointer buttons.
    unsigned held(unsigned state) const { return state & (shift | control | alt | super); }

    std::optional<std::string> type(std::vector<Modifier> modifiers, std::string key) {
        const auto error = keyboard->execute({std::move(modifiers), std::move(key)});
        return error ? std::optional(error->description()) : std::nullopt;
    }

    test::XvfbServer server;
    std::unique_ptr<test::XKeyReceiver> receiver;
    std::shared_ptr<XTestEventPoster> poster;
    std::unique_ptr<KeyboardExecutor> keyboard;
    unsigned shift = 0, control = 0, alt = 0, super = 0;
};

std::vector<ReceivedKey> eventsOf(const std::vector<ReceivedKey>& keys, const std::string& keysym) {
    std::vector<ReceivedKey> matching;
    for (const auto& key : keys) {
        if (key.keysym == keysym) {
            matching.push_back(key);
        }
    }
    return matching;
}

} // namespace

// Under the display's US layout each position carries the keysym named on a US keyboard.
TEST_F(XTestEventPosterOnXvfb, everyPositionIsTheKeyOfThatPlace) {
    const std::vector<std::pair<std::string, std::string>> keysyms{
        {"=", "equal"},           {"-", "minus"},       {"]", "bracketright"},
        {"[", "bracketleft"},     {"'", "apostrophe"},  {";", "semicolon"},
        {"\\", "backslash"},      {",", "comma"},       {"/", "slash"},
        {".", "period"},          {"`", "grave"},       {"return", "Return"},
        {"enter", "Return"},      {"tab", "Tab"},       {"space", "space"},
        {"delete", "BackSpace"},  {"escape", "Escape"}, {"esc", "Escape"},
        {"command", "Super_L"},   {"shift", "Shift_L"}, {"option", "Alt_L"},
        {"control", "Control_L"}, {"left", "Left"},     {"right", "Right"},
        {"down", "Down"},         {"up", "Up"},
    };
    for (const auto& entry : VirtualKeyMap::entries) {
        if (entry.name == "function") {
            continue;
        }
        std::string expected(entry.name);
        if (entry.name.size() > 1 && entry.name[0] == 'f') {
            expected = "F" + expected.substr(1);
        }
        for (const auto& [name, keysym] : keysyms) {
            if (name == entry.name) {
                expected = keysym;
            }
        }
        const auto code = poster->xKeycode(entry.code);
        ASSERT_TRUE(code) << entry.name;
        EXPECT_EQ(receiver->keysymOfKeycode(*code), expected) << entry.name;
    }
    for (const auto& [rightKey, keysym] : std::vector<std::pair<std::uint16_t, std::string>>{
             {54, "Super_R"}, {60, "Shift_R"}, {61, "Alt_R"}, {62, "Control_R"}}) {
        const auto code = poster->xKeycode(rightKey);
        ASSERT_TRUE(code) << keysym;
        EXPECT_EQ(receiver->keysymOfKeycode(*code), keysym);
    }
    EXPECT_FALSE(poster->xKeycode(63));
}

TEST_F(XTestEventPosterOnXvfb, aShortcutArrivesWithExactlyItsModifiersHeld) {
    const std::vector<std::tuple<std::vector<Modifier>, std::string, std::string, unsigned>> cases{
        {{Modifier::command, Modifier::shift}, " A ", "a", super | shift},
        {{Modifier::control}, "c", "c", control},
        {{Modifier::option, Modifier::function}, "f5", "F5", alt},
        {{}, "return", "Return", 0},
        {{Modifier::command, Modifier::control, Modifier::option, Modifier::shift},
         "k",
         "k",
         super | control | alt | shift},
    };
    for (const auto& [modifiers, key, keysym, state] : cases) {
        ASSERT_EQ(type(modifiers, key), std::nullopt);
        // Each held modifier is pressed and released around both events of the key.
        const std::size_t expected =
            2 + 4 * modifiers.size() -
            (std::count(modifiers.begin(), modifiers.end(), Modifier::function) * 4);
        const auto keys = receiver->waitForKeys(expected);
        ASSERT_EQ(keys.size(), expected) << key;
        const auto events = eventsOf(keys, keysym);
        ASSERT_EQ(events.size(), 2u) << key;
        EXPECT_TRUE(events[0].press);
        EXPECT_FALSE(events[1].press);
        EXPECT_EQ(held(events[0].state), state) << key;
        EXPECT_EQ(held(events[1].state), state) << key;
        EXPECT_FALSE(receiver->anyKeyDown()) << key;
    }
}

TEST_F(XTestEventPosterOnXvfb, aPairedModifierHoldsBothKeys) {
    ASSERT_EQ(type({Modifier::command}, "commandpair"), std::nullopt);
    const auto keys = receiver->waitForKeys(4);
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[0].keysym, "Super_L");
    EXPECT_TRUE(keys[0].press);
    EXPECT_EQ(held(keys[0].state), 0u);
    EXPECT_EQ(keys[1].keysym, "Super_R");
    EXPECT_TRUE(keys[1].press);
    EXPECT_EQ(held(keys[1].state), super);
    EXPECT_EQ(keys[2].keysym, "Super_R");
    EXPECT_FALSE(keys[2].press);
    EXPECT_EQ(held(keys[2].state), super);
    EXPECT_EQ(keys[3].keysym, "Super_L");
    EXPECT_FALSE(keys[3].press);
    EXPECT_FALSE(receiver->anyKeyDown());
}

TEST_F(XTestEventPosterOnXvfb, aDoubleTapPressesTheLeftKeyTwice) {
    ASSERT_EQ(type({Modifier::option}, "option"), std::nullopt);
    const auto keys = receiver->waitForKeys(4);
    ASSERT_EQ(keys.size(), 4u);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].keysym, "Alt_L") << i;
        EXPECT_EQ(keys[i].press, i % 2 == 0) << i;
        // A release happens while the key it releases is still down.
        EXPECT_EQ(held(keys[i].state), i % 2 == 0 ? 0u : alt) << i;
    }
    EXPECT_FALSE(receiver->anyKeyDown());
    EXPECT_TRUE(receiver->waitForKeys(1, std::chrono::milliseconds(200)).empty());
}

TEST_F(XTestEventPosterOnXvfb, theFunctionKeyPostsNothing) {
    ASSERT_EQ(type({Modifier::function}, "function"), std::nullopt);
    EXPECT_TRUE(receiver->waitForKeys(1, std::chrono::milliseconds(300)).empty());
}

TEST_F(XTestEventPosterOnXvfb, aLostDisplayIsNotTrustedAndLeavesTheProcessRunning) {
    ASSERT_EQ(type({}, "a"), std::nullopt);
    EXPECT_EQ(receiver->waitForKeys(2).size(), 2u);
    receiver.reset();
    server.kill();
    // The first post after the loss finds it; from then on the display is unreachable.
    type({}, "a");
    EXPECT_EQ(type({}, "a"), "accessibility_not_granted");
}

TEST(X11AccessibilityChecker, trustedOnlyWithAReachableDisplay) {
    test::XvfbServer server;
    ASSERT_TRUE(server.isRunning()) << server.failure();
    X11AccessibilityChecker reachable(std::make_shared<XTestEventPoster>(server.displayName()));
    EXPECT_TRUE(reachable.isTrusted());
    EXPECT_TRUE(reachable.requestIfNeeded());

    X11AccessibilityChecker unreachable(std::make_shared<XTestEventPoster>(":4093"));
    EXPECT_FALSE(unreachable.isTrusted());
    EXPECT_FALSE(unreachable.requestIfNeeded());
    EXPECT_FALSE(unreachable.openAccessibilitySettings());
}
