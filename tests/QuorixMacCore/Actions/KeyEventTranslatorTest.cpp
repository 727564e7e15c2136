#include "QuorixMacCore/Actions/KeyEventTranslator.h"

#include <QKeyEvent>

#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace quorix {
namespace {

namespace F = ModifierFlags;
namespace K = ModifierKeyCodes;
using Type = KeyEvent::Type;

// X keycodes of a US keyboard on an evdev server.
constexpr std::uint32_t xA = 38, xSpace = 65, xShiftL = 50, xShiftR = 62, xSuperL = 133, xAltL = 64,
                        xCapsLock = 66, xKeypad1 = 87;

class FakeKeyCodes final : public NativeKeyCodes {
public:
    std::optional<std::uint16_t> virtualKeyCode(std::uint32_t keycode) override {
        const auto found = table.find(keycode);
        return found == table.end() ? std::nullopt : std::optional(found->second);
    }
    std::map<std::uint32_t, std::uint16_t> table{{xA, 0},
                                                 {xSpace, 49},
                                                 {xShiftL, K::shift},
                                                 {xShiftR, K::rightShift},
                                                 {xSuperL, K::command},
                                                 {xAltL, K::option}};
};

struct Press {
    bool down;
    std::uint32_t keycode;
    int key;
    Qt::KeyboardModifiers modifiers;
    QString text;
};

std::unique_ptr<QKeyEvent> keyEvent(const Press& press, std::uint64_t timestamp) {
    auto event =
        std::make_unique<QKeyEvent>(press.down ? QEvent::KeyPress : QEvent::KeyRelease, press.key,
                                    press.modifiers, press.keycode, 0, 0, press.text);
    event->setTimestamp(timestamp);
    return event;
}

struct Expected {
    Type type;
    std::uint16_t keyCode;
    ModifierFlagBits flags;
    std::optional<std::string> characters;
};

struct Case {
    const char* what;
    std::vector<Press> presses;
    // One entry per press; nothing where the press gives no event.
    std::vector<std::optional<Expected>> events;
};

TEST(KeyEventTranslator, givesVirtualKeysAndTheModifiersHeldAfterEachEvent) {
    const Case cases[] = {
        {"super shift a, with the toolkit's modifiers as they were before each key",
         {{true, xSuperL, Qt::Key_Super_L, {}, {}},
          {true, xShiftL, Qt::Key_Shift, Qt::MetaModifier, {}},
          {true, xA, Qt::Key_A, Qt::MetaModifier | Qt::ShiftModifier, QStringLiteral("A")},
          {false, xA, Qt::Key_A, Qt::MetaModifier | Qt::ShiftModifier, QStringLiteral("A")}},
         {Expected{Type::modifiersChanged, K::command, F::command, {}},
          Expected{Type::modifiersChanged, K::shift, F::command | F::shift, {}},
          Expected{Type::keyDown, 0, F::command | F::shift, "A"}, std::nullopt}},
        {"releasing one of two shift keys keeps shift held",
         {{true, xShiftL, Qt::Key_Shift, {}, {}},
          {true, xShiftR, Qt::Key_Shift, Qt::ShiftModifier, {}},
          {false, xShiftL, Qt::Key_Shift, Qt::ShiftModifier, {}},
          {false, xShiftR, Qt::Key_Shift, Qt::ShiftModifier, {}}},
         {Expected{Type::modifiersChanged, K::shift, F::shift, {}},
          Expected{Type::modifiersChanged, K::rightShift, F::shift, {}},
          Expected{Type::modifiersChanged, K::shift, F::shift, {}},
          Expected{Type::modifiersChanged, K::rightShift, 0, {}}}},
        {"a modifier reported after its own press is still released",
         {{false, xAltL, Qt::Key_Alt, Qt::AltModifier | Qt::ControlModifier, {}}},
         {Expected{Type::modifiersChanged, K::option, F::control, {}}}},
        {"keys without a position are named by their text; caps lock names nothing",
         {{true, xKeypad1, Qt::Key_1, Qt::KeypadModifier, QStringLiteral("1")},
          {true, xCapsLock, Qt::Key_CapsLock, {}, {}}},
         {Expected{Type::keyDown, KeyEventTranslator::unpositionedKeyCode, 0, "1"},
          Expected{Type::keyDown, KeyEventTranslator::unpositionedKeyCode, 0, std::nullopt}}},
        {"events made by the toolkit itself carry no keycode",
         {{true, 0, Qt::Key_A, {}, QStringLiteral("a")}},
         {std::nullopt}},
    };
    for (const Case& c : cases) {
        KeyEventTranslator translator(std::make_shared<FakeKeyCodes>());
        ASSERT_EQ(c.presses.size(), c.events.size()) << c.what;
        for (std::size_t i = 0; i < c.presses.size(); ++i) {
            const std::optional<KeyEvent> got =
                translator.translate(*keyEvent(c.presses[i], 1000 + i));
            const std::optional<Expected>& want = c.events[i];
            ASSERT_EQ(got.has_value(), want.has_value()) << c.what << " #" << i;
            if (!want) {
                continue;
            }
            EXPECT_EQ(got->type, want->type) << c.what << " #" << i;
            EXPECT_EQ(got->keyCode, want->keyCode) << c.what << " #" << i;
            EXPECT_EQ(got->modifierFlags, want->flags) << c.what << " #" << i;
            EXPECT_EQ(got->charactersIgnoringModifiers, want->characters) << c.what << " #" << i;
            EXPECT_EQ(got->time.time_since_epoch(), std::chrono::milliseconds(1000 + i));
        }
    }
}

} // namespace
} // namespace quorix
