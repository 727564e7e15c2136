#include "QuorixMacCore/Actions/MacKeyboardShortcutEditor.h"

#include "QuorixMacCore/Actions/ShortcutCapture.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace quorix {
namespace {

using enum Modifier;

struct Harness {
    std::vector<KeyCombo> changes;
    MacKeyboardShortcutEditor editor;

    explicit Harness(const KeyCombo& combo)
        : editor(combo, [this](const KeyCombo& applied) { changes.push_back(applied); }) {}
};

TEST(MacKeyboardShortcutEditor, idleFieldShowsTheComboWithABlankKeyAsSpace) {
    const std::pair<KeyCombo, std::string> cases[] = {{{{command, shift}, "a"}, "⇧⌘A"},
                                                      {{{option}, "optionPair"}, "⌥⌥"},
                                                      {{{}, ""}, "Space"},
                                                      {{{command}, " \n"}, "⌘Space"}};
    for (const auto& [combo, text] : cases) {
        EXPECT_EQ(Harness(combo).editor.shortcutFieldText(), text) << combo.key;
    }
    EXPECT_EQ(Harness({{command, control, command}, " "}).editor.currentCombo(),
              (KeyCombo{{control, command}, "space"}));
}

TEST(MacKeyboardShortcutEditor, recordsFromACaptureUntilAComboArrives) {
    Harness harness({{command}, "c"});
    QSignalSpy recording(&harness.editor, &MacKeyboardShortcutEditor::isRecordingChanged);
    ShortcutCapture capture(
        [&](const std::vector<Modifier>& held) { harness.editor.setLiveModifiers(held); },
        [&](const KeyCombo& combo) { harness.editor.apply(combo); });
    const auto modifiersChange = [](std::uint16_t code, ModifierFlagBits flags) {
        return KeyEvent{KeyEvent::Type::modifiersChanged, code, flags, {}, {}, {}};
    };

    harness.editor.startRecording();
    EXPECT_EQ(harness.editor.shortcutFieldText(), "ショートカットを押してください");
    capture.handle(modifiersChange(ModifierKeyCodes::command, ModifierFlags::command));
    capture.handle(modifiersChange(ModifierKeyCodes::control,
                                   ModifierFlags::command | ModifierFlags::control));
    EXPECT_EQ(harness.editor.shortcutFieldText(), "⌃⌘ が押されています");
    EXPECT_TRUE(harness.changes.empty());

    capture.handle(KeyEvent{KeyEvent::Type::keyDown, 6, ModifierFlags::command, "z", "z", {}});
    EXPECT_FALSE(harness.editor.isRecording());
    EXPECT_TRUE(harness.editor.liveModifiers().empty());
    EXPECT_EQ(harness.editor.shortcutFieldText(), "⌘Z");
    EXPECT_EQ(harness.changes, (std::vector<KeyCombo>{{{command}, "z"}}));
    EXPECT_EQ(recording.count(), 2);
}

TEST(MacKeyboardShortcutEditor, resetAppliesSpaceWithoutModifiers) {
    Harness harness({{shift, command}, "x"});
    QSignalSpy modifiers(&harness.editor, &MacKeyboardShortcutEditor::modifiersChanged);
    harness.editor.startRecording();
    harness.editor.reset();
    EXPECT_FALSE(harness.editor.isRecording());
    EXPECT_EQ(harness.editor.currentCombo(), (KeyCombo{{}, "space"}));
    EXPECT_EQ(harness.changes, (std::vector<KeyCombo>{{{}, "space"}}));
    EXPECT_EQ(modifiers.count(), 1);
}

} // namespace
} // namespace quorix
