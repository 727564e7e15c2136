#include "QuorixMacCore/Actions/ShortcutCapture.h"

#include <gtest/gtest.h>
#include <memory>

namespace quorix {
namespace {

using enum Modifier;
using namespace std::chrono_literals;
namespace F = ModifierFlags;
namespace K = ModifierKeyCodes;

constexpr auto start = std::chrono::steady_clock::time_point{} + 1h;

KeyEvent keyDown(std::uint16_t code, ModifierFlagBits flags, std::optional<std::string> text,
                 std::optional<std::string> characters = std::nullopt) {
    return {KeyEvent::Type::keyDown, code, flags, std::move(text), std::move(characters), start};
}

/// A modifier key going down or up, `flags` being those held afterwards, `ms` after start.
KeyEvent change(std::uint16_t code, ModifierFlagBits flags, int ms) {
    return {KeyEvent::Type::modifiersChanged, code, flags, {}, {}, start + ms * 1ms};
}

std::vector<KeyCombo> capturesOf(const std::vector<KeyEvent>& events) {
    std::vector<KeyCombo> captures;
    ShortcutCapture capture(nullptr, [&](const KeyCombo& combo) { captures.push_back(combo); });
    for (const KeyEvent& event : events) {
        capture.handle(event);
    }
    return captures;
}

TEST(KeyEventNaming, namesKeysByCodeThenByText) {
    const std::pair<KeyEvent, std::string> cases[] = {
        {keyDown(36, 0, "\r"), "return"},       {keyDown(117, 0, {}), "forwardDelete"},
        {keyDown(0, F::option, "a", "å"), "a"}, {keyDown(0, F::shift, "A", "A"), "a"},
        {keyDown(0, 0, {}, "Q"), "q"},          {keyDown(0, 0, {}, {}), ""},
        {keyDown(10, 0, " "), "space"},         {keyDown(10, 0, "\u3000"), ""},
        {keyDown(10, 0, " Ä\n"), "ä"}};
    for (const auto& [event, name] : cases) {
        EXPECT_EQ(quorixKeyName(event), name) << event.keyCode;
    }
    EXPECT_EQ(quorixModifiers(F::control | F::function | F::shift | F::option | F::command |
                              F::capsLock | 0x2001),
              (std::vector<Modifier>{command, shift, option, control, function}));
}

struct CaptureCase {
    std::string name;
    std::vector<KeyEvent> events;
    std::vector<KeyCombo> captures;
};

TEST(ShortcutCapture, turnsEventsIntoCombos) {
    const CaptureCase cases[] = {
        {"command shift a",
         {change(K::command, F::command, 0), change(K::shift, F::command | F::shift, 50),
          keyDown(0, F::command | F::shift, "A", "A")},
         {{{command, shift}, "a"}}},
        {"space", {keyDown(49, 0, " ")}, {{{}, "space"}}},
        {"f5", {keyDown(96, 0, "\uF708")}, {{{}, "f5"}}},
        {"blank text is ignored", {keyDown(10, 0, "\t "), keyDown(76, 0, "\n")}, {}},
        {"both options",
         {change(K::option, F::option, 0), change(K::rightOption, F::option, 30)},
         {{{option}, "optionPair"}}},
        {"keys of two modifiers",
         {change(K::option, F::option, 0), change(K::rightCommand, F::option | F::command, 30)},
         {}},
        {"control twice within 0.6 s",
         {change(K::control, F::control, 0), change(K::control, 0, 80),
          change(K::control, F::control, 300), change(K::control, 0, 680)},
         {{{control}, "control"}}},
        {"control twice 0.7 s apart",
         {change(K::control, F::control, 0), change(K::control, 0, 80),
          change(K::control, F::control, 700), change(K::control, 0, 780)},
         {}},
        {"left then right key tap one modifier",
         {change(K::option, F::option, 0), change(K::option, 0, 80),
          change(K::rightOption, F::option, 200), change(K::rightOption, 0, 280)},
         {{{option}, "option"}}},
        {"control pressed while shift is held counts once released",
         {change(K::shift, F::shift, 0), change(K::control, F::shift | F::control, 100),
          change(K::control, F::shift, 200), change(K::control, F::shift | F::control, 300),
          change(K::control, F::shift, 400)},
         {{{control}, "control"}}},
        {"caps lock neither taps nor breaks taps",
         {change(K::capsLock, F::capsLock, 0), change(K::capsLock, 0, 50),
          change(K::control, F::control, 60), change(K::control, 0, 70),
          change(K::capsLock, F::capsLock, 100), change(K::capsLock, 0, 150),
          change(K::control, F::control, 200), change(K::control, 0, 250)},
         {{{control}, "control"}}},
        {"window includes its end",
         {change(K::option, F::option, 0), change(K::option, 0, 10),
          change(K::option, F::option, 600), change(K::option, 0, 610)},
         {{{option}, "option"}}},
    };
    for (const CaptureCase& c : cases) {
        EXPECT_EQ(capturesOf(c.events), c.captures) << c.name;
    }
}

TEST(ShortcutCapture, survivesBeingDestroyedByItsCallbacks) {
    std::unique_ptr<ShortcutCapture> capture;
    capture = std::make_unique<ShortcutCapture>(
        [&](const std::vector<Modifier>&) { capture.reset(); }, nullptr);
    capture->handle(change(K::option, 0, 0));
    EXPECT_EQ(capture, nullptr);

    capture = std::make_unique<ShortcutCapture>(nullptr, [&](const KeyCombo&) { capture.reset(); });
    capture->handle(change(K::option, F::option, 0));
    capture->handle(change(K::rightOption, F::option, 10));
    EXPECT_EQ(capture, nullptr);
}

} // namespace
} // namespace quorix
