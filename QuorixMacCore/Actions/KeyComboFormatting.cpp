#include "QuorixMacCore/Actions/KeyComboFormatting.h"

#include "QuorixMacCore/Actions/TextNormalization.h"

#include <algorithm>
#include <array>

namespace quorix {

namespace {

struct ModifierNames {
    Modifier modifier;
    int displayRank;
    std::string_view text;
    std::string_view symbol;
};

constexpr auto modifierNames = std::to_array<ModifierNames>({
    {Modifier::command, 3, "Cmd", "⌘"},
    {Modifier::shift, 2, "Shift", "⇧"},
    {Modifier::option, 1, "Opt", "⌥"},
    {Modifier::control, 0, "Ctrl", "⌃"},
    {Modifier::function, 4, "Fn", "fn"},
});
static_assert(modifierNames.size() == 5);

const ModifierNames& namesOf(Modifier modifier) {
    for (const ModifierNames& names : modifierNames) {
        if (names.modifier == modifier) {
            return names;
        }
    }
    return modifierNames.front();
}

struct KeyNames {
    std::string_view stored;
    std::string_view text;
    std::string_view symbol;
};

constexpr auto keyNames = std::to_array<KeyNames>({
    {"space", "Space", "Space"},
    {"return", "Return", "↩"},
    {"escape", "Esc", "Esc"},
    {"delete", "Delete", "⌫"},
    {"forwardDelete", "Forward Delete", "⌦"},
    {"left", "Left", "←"},
    {"right", "Right", "→"},
    {"up", "Up", "↑"},
    {"down", "Down", "↓"},
    {"command", "Cmd", "⌘"},
    {"commandPair", "Cmd", "⌘"},
    {"shift", "Shift", "⇧"},
    {"shiftPair", "Shift", "⇧"},
    {"option", "Opt", "⌥"},
    {"optionPair", "Opt", "⌥"},
    {"control", "Ctrl", "⌃"},
    {"controlPair", "Ctrl", "⌃"},
    {"function", "Fn", "fn"},
});
static_assert(keyNames.size() == 18);

const KeyNames* findKey(std::string_view key) {
    const auto found = std::find_if(keyNames.begin(), keyNames.end(),
                                    [key](const KeyNames& names) { return names.stored == key; });
    return found == keyNames.end() ? nullptr : &*found;
}

std::optional<Modifier> soleModifier(const KeyCombo& combo) {
    if (combo.modifiers.size() != 1) {
        return std::nullopt;
    }
    return combo.modifiers.front();
}

std::string normalisedKey(const KeyCombo& combo) {
    return lowercased(trimmedWhitespaceAndNewlines(combo.key));
}

std::optional<Modifier> gestureModifier(const KeyCombo& combo) {
    if (auto paired = pairedModifier(combo)) {
        return paired;
    }
    return doubleTappedModifier(combo);
}

} // namespace

int displayRank(Modifier modifier) {
    return namesOf(modifier).displayRank;
}

std::vector<Modifier> sortedForDisplay(std::span<const Modifier> modifiers) {
    std::vector<Modifier> sorted(modifiers.begin(), modifiers.end());
    std::stable_sort(sorted.begin(), sorted.end(), [](Modifier left, Modifier right) {
        return displayRank(left) < displayRank(right);
    });
    return sorted;
}

std::string_view modifierDisplayName(Modifier modifier) {
    return namesOf(modifier).text;
}

std::string_view modifierSymbol(Modifier modifier) {
    return namesOf(modifier).symbol;
}

std::string displayKeyName(std::string_view key) {
    if (const KeyNames* names = findKey(key)) {
        return std::string(names->text);
    }
    return uppercased(key);
}

std::string shortcutKeyName(std::string_view key) {
    if (const KeyNames* names = findKey(key)) {
        return std::string(names->symbol);
    }
    return uppercased(key);
}

std::optional<Modifier> pairedModifier(const KeyCombo& combo) {
    const auto modifier = soleModifier(combo);
    if (!modifier) {
        return std::nullopt;
    }
    const std::string expected = std::string(rawValue(*modifier)) + "pair";
    return normalisedKey(combo) == expected ? modifier : std::nullopt;
}

std::optional<Modifier> doubleTappedModifier(const KeyCombo& combo) {
    const auto modifier = soleModifier(combo);
    if (!modifier || pairedModifier(combo)) {
        return std::nullopt;
    }
    return normalisedKey(combo) == rawValue(*modifier) ? modifier : std::nullopt;
}

std::string displayText(const KeyCombo& combo) {
    if (const auto modifier = gestureModifier(combo)) {
        const std::string_view name = modifierDisplayName(*modifier);
        return std::string(name) + " + " + std::string(name);
    }
    std::string text;
    for (const Modifier modifier : sortedForDisplay(combo.modifiers)) {
        text += modifierDisplayName(modifier);
        text += " + ";
    }
    return text + displayKeyName(combo.key);
}

std::string shortcutFieldText(const KeyCombo& combo) {
    if (const auto modifier = gestureModifier(combo)) {
        const std::string_view symbol = modifierSymbol(*modifier);
        return std::string(symbol) + std::string(symbol);
    }
    std::string text;
    for (const Modifier modifier : sortedForDisplay(combo.modifiers)) {
        text += modifierSymbol(modifier);
    }
    return text + shortcutKeyName(combo.key);
}

} // namespace quorix
