#include "QuorixMacCore/Actions/MacKeyboardShortcutEditor.h"

#include "QuorixMacCore/Actions/ShortcutCapture.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace quorix {
namespace {

using enum Modifier;

TEST(MacKeyboardShortcutEditor, idleFieldShowsTheComboWithABlankKeyAsSpace) {
    const std::pair<KeyCombo, std::string> cases[] = {
        {{{option}, "optionPair"}, "⌥⌥"}, {{{}, ""}, "Space"}, {{{command}, " \n"}, "⌘Space"}};
    for (const auto& [combo, text] : cases) {
        EXPECT_EQ(MacKeyboardShortcutEditor(combo, nullptr).shortcutFieldText(), text) << combo.key;
    }
    EXPECT_EQ(MacKeyboardShortcutEditor({{command, control, command}, " "}, nullptr).currentCombo(),
              (KeyCombo{{control, command}, "space"}));
}

TEST(MacKeyboardShortcutEditor, recordsFromACaptureUntilAComboArrivesOrItIsReset) {
    std::vector<KeyCombo> changes;
    MacKeyboardShortcutEditor editor({{command}, "c"},
                                     [&](const KeyCombo& applied) { changes.push_back(applied); });
    QSignalSpy recording(&editor, &MacKeyboardShortcutEditor::isRecordingChanged);
    ShortcutCapture capture(
        [&](const std::vector<Modifier>& held) { editor.setLiveModifiers(held); },
        [&](const KeyCombo& combo) { editor.apply(combo); });
    const auto modifiersChange = [](std::uint16_t code, ModifierFlagBits flags) {
        return KeyEvent{KeyEvent::Type::modifiersChanged, code, flags, {}, {}, {}};
    };

    editor.startRecording();
    EXPECT_EQ(editor.shortcutFieldText(), "ショートカットを押してください");
    capture.handle(modifiersChange(ModifierKeyCodes::command, ModifierFlags::command));
    capture.handle(modifiersChange(ModifierKeyCodes::control,
                                   ModifierFlags::command | ModifierFlags::control));
    EXPECT_EQ(editor.shortcutFieldText(), "⌃⌘ が押されています");
    EXPECT_TRUE(changes.empty());

    capture.handle(KeyEvent{KeyEvent::Type::keyDown, 6, ModifierFlags::command, "z", "z", {}});
    EXPECT_FALSE(editor.isRecording());
    EXPECT_TRUE(editor.liveModifiers().empty());
    EXPECT_EQ(editor.shortcutFieldText(), "⌘Z");
    EXPECT_EQ(changes, (std::vector<KeyCombo>{{{command}, "z"}}));
    EXPECT_EQ(recording.count(), 2);

    // Reset applies Space without modifiers and ends recording too.
    editor.startRecording();
    editor.reset();
    EXPECT_FALSE(editor.isRecording());
    EXPECT_EQ(editor.currentCombo(), (KeyCombo{{}, "space"}));
    EXPECT_EQ(changes, (std::vector<KeyCombo>{{{command}, "z"}, {{}, "space"}}));
}

} // namespace
} // namespace quorix
