#pragma once

#include "QuorixProtocol/Models.h"

#include <QString>

#include <array>
#include <optional>
#include <string_view>

namespace quorix {

/// What the inspector's kind picker offers a button to do, in picker order.
enum class MacActionKind {
    app,
    keyboard,
    web,
    shortcut,
};

inline constexpr std::array<MacActionKind, 4> allMacActionKinds{
    MacActionKind::app, MacActionKind::keyboard, MacActionKind::web, MacActionKind::shortcut};

/// The picker's label: "アプリ", "ショートカットキー", "URL", "ショートカット".
QString macActionKindLabel(MacActionKind kind);

/// The application whose icon stands for the kind ("com.apple.AppStore" for apps,
/// "com.apple.shortcuts" for shortcuts); nothing for kinds drawn as a symbol.
std::optional<std::string_view> macActionKindApplication(MacActionKind kind);

/// The symbol of the kind, drawn when its application's icon is unavailable: "app",
/// "keyboard", "globe", "sparkles".
std::string_view macActionKindSymbol(MacActionKind kind);

/// The kind an action shows as: opening an application is `app`; opening a Shortcuts run
/// address is `shortcut` and any other address `web`; keyboard shortcuts, macros and shell
/// commands are `keyboard`.
MacActionKind macActionKind(const ActionSpec& action);

/// What choosing a kind in the picker does to the button. The colour gradient stays.
struct MacActionKindSwitch {
    /// Nothing keeps the icon.
    std::optional<IconRef> icon;
    ActionSpec action;
    /// Goes through the update that fetches the site's icon.
    bool resolvesWebIcon = false;

    bool operator==(const MacActionKindSwitch&) const = default;
};

/// `app`: open an application not chosen yet. `keyboard`: Command + space. `web`: the
/// placeholder address with its favicon, resolved. `shortcut`: the run address of an
/// empty shortcut name with the Shortcuts app's icon.
MacActionKindSwitch macActionKindSwitch(MacActionKind kind);

} // namespace quorix
