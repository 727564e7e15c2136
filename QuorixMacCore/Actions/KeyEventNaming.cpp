#include "QuorixMacCore/Actions/KeyEventNaming.h"

#include "QuorixMacCore/Actions/TextNormalization.h"

#include <algorithm>
#include <string_view>

namespace quorix {

namespace {

struct ModifierKey {
    std::uint16_t keyCode;
    std::optional<Modifier> modifier;
};

constexpr auto modifierKeys = std::to_array<ModifierKey>({
    {ModifierKeyCodes::rightCommand, Modifier::command},
    {ModifierKeyCodes::command, Modifier::command},
    {ModifierKeyCodes::shift, Modifier::shift},
    {ModifierKeyCodes::capsLock, std::nullopt},
    {ModifierKeyCodes::option, Modifier::option},
    {ModifierKeyCodes::control, Modifier::control},
    {ModifierKeyCodes::rightShift, Modifier::shift},
    {ModifierKeyCodes::rightOption, Modifier::option},
    {ModifierKeyCodes::rightControl, Modifier::control},
    {ModifierKeyCodes::function, Modifier::function},
});
static_assert(modifierKeys.size() == 10);

struct NamedKey {
    std::uint16_t keyCode;
    std::string_view name;
};

// Keys whose text is missing, invisible or layout-dependent get a fixed name.
constexpr auto namedKeys = std::to_array<NamedKey>({
    {36, "return"}, {48, "tab"},  {49, "space"}, {51, "delete"}, {53, "escape"},
    {96, "f5"},     {97, "f6"},   {98, "f7"},    {99, "f3"},     {100, "f8"},
    {101, "f9"},    {103, "f11"}, {109, "f10"},  {111, "f12"},   {117, "forwardDelete"},
    {118, "f4"},    {120, "f2"},  {122, "f1"},   {123, "left"},  {124, "right"},
    {125, "down"},  {126, "up"},
});
static_assert(namedKeys.size() == 22);

} // namespace

std::vector<Modifier> quorixModifiers(ModifierFlagBits flags) {
    std::vector<Modifier> modifiers;
    for (const ModifierFlags::Entry& entry : ModifierFlags::table) {
        if ((flags & entry.flag) != 0) {
            modifiers.push_back(entry.modifier);
        }
    }
    return modifiers;
}

std::optional<Modifier> quorixChangedModifier(std::uint16_t keyCode) {
    const auto found =
        std::find_if(modifierKeys.begin(), modifierKeys.end(),
                     [keyCode](const ModifierKey& key) { return key.keyCode == keyCode; });
    return found == modifierKeys.end() ? std::nullopt : found->modifier;
}

std::string quorixKeyName(const KeyEvent& event) {
    const auto named =
        std::find_if(namedKeys.begin(), namedKeys.end(),
                     [&event](const NamedKey& key) { return key.keyCode == event.keyCode; });
    if (named != namedKeys.end()) {
        return std::string(named->name);
    }
    const std::string characters =
        event.charactersIgnoringModifiers.value_or(event.characters.value_or(std::string()));
    if (characters == " ") {
        return "space";
    }
    return lowercased(trimmedWhitespaceAndNewlines(characters));
}

} // namespace quorix
