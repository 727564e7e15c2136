#pragma once

#include "QuorixProtocol/Models.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/// How key combinations read to the user: a spelled-out form ("Ctrl + Shift + Cmd + A")
/// for labels and a symbol form ("⌃⇧⌘A") for the shortcut field.
namespace quorix {

/// Position of a modifier when shown: Control, Option, Shift, Command, Function.
int displayRank(Modifier modifier);
/// The modifiers in display order; a stable sort, so duplicates stay next to each other.
std::vector<Modifier> sortedForDisplay(std::span<const Modifier> modifiers);

/// "Cmd", "Shift", "Opt", "Ctrl", "Fn".
std::string_view modifierDisplayName(Modifier modifier);
/// "⌘", "⇧", "⌥", "⌃", "fn".
std::string_view modifierSymbol(Modifier modifier);

/// The spelled-out name of a stored key name ("escape" reads "Esc"). The name is looked
/// up exactly as stored; names outside the table are shown upper-cased.
std::string displayKeyName(std::string_view key);
/// The symbol-form name of a stored key name ("return" reads "↩"); like `displayKeyName`
/// otherwise.
std::string shortcutKeyName(std::string_view key);

/// The modifier of a "both keys together" gesture: exactly one modifier and the key is
/// that modifier's name followed by "pair", ignoring case and surrounding blanks.
std::optional<Modifier> pairedModifier(const KeyCombo& combo);
/// The modifier of a double-tap gesture: exactly one modifier, the key is that modifier's
/// own name (ignoring case and surrounding blanks), and it is not a paired gesture.
std::optional<Modifier> doubleTappedModifier(const KeyCombo& combo);

/// The spelled-out form: "Ctrl + Shift + Cmd + A"; a modifier gesture reads "Opt + Opt".
std::string displayText(const KeyCombo& combo);
/// The symbol form: "⌃⇧⌘A"; a modifier gesture reads "⌥⌥".
std::string shortcutFieldText(const KeyCombo& combo);

} // namespace quorix
