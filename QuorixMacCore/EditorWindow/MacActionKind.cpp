#include "QuorixMacCore/EditorWindow/MacActionKind.h"

#include "QuorixMacCore/Editor/ActionSummary.h"
#include "QuorixMacCore/Editor/ShortcutsRunURL.h"

#include <algorithm>
#include <variant>

namespace quorix {

namespace {

struct KindDescription {
    MacActionKind kind;
    std::string_view label;
    std::optional<std::string_view> application;
    std::string_view symbol;
};

constexpr std::array<KindDescription, 4> kindDescriptions{{
    {MacActionKind::app, "アプリ", "com.apple.AppStore", "app"},
    {MacActionKind::keyboard, "ショートカットキー", std::nullopt, "keyboard"},
    {MacActionKind::web, "URL", std::nullopt, "globe"},
    {MacActionKind::shortcut, "ショートカット", shortcutsBundleID, "sparkles"},
}};
static_assert(kindDescriptions.size() == allMacActionKinds.size());

const KindDescription& description(MacActionKind kind) {
    return *std::find_if(kindDescriptions.begin(), kindDescriptions.end(),
                         [kind](const KindDescription& entry) { return entry.kind == kind; });
}

URL placeholderURL() {
    return *URL::parse(placeholderWebAddress);
}

} // namespace

QString macActionKindLabel(MacActionKind kind) {
    const std::string_view label = description(kind).label;
    return QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size()));
}

std::optional<std::string_view> macActionKindApplication(MacActionKind kind) {
    return description(kind).application;
}

std::string_view macActionKindSymbol(MacActionKind kind) {
    return description(kind).symbol;
}

MacActionKind macActionKind(const ActionSpec& action) {
    if (std::holds_alternative<ActionSpec::LaunchApp>(action.value)) {
        return MacActionKind::app;
    }
    if (const auto* open = std::get_if<ActionSpec::OpenURL>(&action.value)) {
        return isShortcutsRunURL(open->url) ? MacActionKind::shortcut : MacActionKind::web;
    }
    return MacActionKind::keyboard;
}

MacActionKindSwitch macActionKindSwitch(MacActionKind kind) {
    switch (kind) {
    case MacActionKind::app:
        return {std::nullopt, ActionSpec::launchApp(""), false};
    case MacActionKind::keyboard:
        return {std::nullopt, ActionSpec::keyboardShortcut({{Modifier::command}, "space"}), false};
    case MacActionKind::web:
        return {IconRef::favicon(placeholderURL()), ActionSpec::openURL(placeholderURL()), true};
    case MacActionKind::shortcut:
        return {IconRef::appIcon(std::string(shortcutsBundleID)),
                ActionSpec::openURL(shortcutsRunURL("")), false};
    }
    return {std::nullopt, ActionSpec::launchApp(""), false};
}

} // namespace quorix
