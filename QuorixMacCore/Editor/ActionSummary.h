#pragma once

#include "QuorixProtocol/Models.h"

#include <string>
#include <string_view>

namespace quorix {

/// The address a new web action starts with, and the prompt of the URL field. An open-URL
/// action still on this address counts as not filled in.
inline constexpr std::string_view placeholderWebAddress = "https://example.com";

/// A short label of what the action does: the key combination for a shortcut, otherwise
/// the Japanese name of its kind ("アプリ起動", "ショートカット実行", "URLを開く",
/// "順番に動かす", "コマンド").
std::string readableName(const ActionSpec& action);

/// Whether the action is filled in well enough to be offered in the quick panel: a key
/// to press, an application to open, a shortcut name, an address other than the
/// placeholder, a command, or for a macro at least one such step at any depth.
bool isConfiguredForQuickPanel(const ActionSpec& action);

} // namespace quorix
