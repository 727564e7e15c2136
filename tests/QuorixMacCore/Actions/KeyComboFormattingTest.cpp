#include "QuorixMacCore/Actions/KeyComboFormatting.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

using enum Modifier;

struct FormCase {
    KeyCombo combo;
    std::optional<Modifier> paired;
    std::optional<Modifier> doubleTapped;
    std::string text;
    std::string symbols;
};

TEST(KeyComboFormatting, spellsCombosInDisplayOrderAndReadsGestures) {
    const auto none = std::nullopt;
    const std::vector<Modifier> all{function, command, shift, option, control};
    const FormCase cases[] = {
        {{{command, shift}, "a"}, none, none, "Shift + Cmd + A", "⇧⌘A"},
        {{all, "a"}, none, none, "Ctrl + Opt + Shift + Cmd + Fn + A", "⌃⌥⇧⌘fnA"},
        {{{command, control, command}, "k"}, none, none, "Ctrl + Cmd + Cmd + K", "⌃⌘⌘K"},
        {{{control}, "return"}, none, none, "Ctrl + Return", "⌃↩"},
        {{{}, "escape"}, none, none, "Esc", "Esc"},
        {{{}, "forwardDelete"}, none, none, "Forward Delete", "⌦"},
        // Stored names are looked up exactly, without trimming or case folding.
        {{{}, "Escape"}, none, none, "ESCAPE", "ESCAPE"},
        {{{}, "ß"}, none, none, "SS", "SS"},
        {{{command, shift}, "option"}, none, none, "Shift + Cmd + Opt", "⇧⌘⌥"},
        {{{}, "commandPair"}, none, none, "Cmd", "⌘"},
        // Gestures: one modifier and its own name, with or without "pair".
        {{{option}, "optionPair"}, option, none, "Opt + Opt", "⌥⌥"},
        {{{option}, " OPTIONPAIR\n"}, option, none, "Opt + Opt", "⌥⌥"},
        {{{control}, "Control "}, none, control, "Ctrl + Ctrl", "⌃⌃"},
        {{{function}, "functionpair"}, function, none, "Fn + Fn", "fnfn"},
        {{{option}, "controlPair"}, none, none, "Opt + Ctrl", "⌥⌃"},
        {{{option, option}, "option"}, none, none, "Opt + Opt + Opt", "⌥⌥⌥"},
    };
    for (const FormCase& c : cases) {
        SCOPED_TRACE(c.combo.key);
        EXPECT_EQ(pairedModifier(c.combo), c.paired);
        EXPECT_EQ(doubleTappedModifier(c.combo), c.doubleTapped);
        EXPECT_EQ(displayText(c.combo), c.text);
        EXPECT_EQ(shortcutFieldText(c.combo), c.symbols);
    }
}

} // namespace
} // namespace quorix
