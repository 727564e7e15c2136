#pragma once

#include "QuorixProtocol/Models.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace quorix {

/// Given to brand buttons and to buttons showing a downloaded site icon: the artwork sits
/// on white.
ColorGradient webIconGradient();

/// How many buttons of a layout the start-up icon fetch looks at.
inline constexpr std::size_t maxStartupIconFetches = 40;

/// Rewrites the old form of a run-a-shortcut button (Shortcuts app icon, the key "space"
/// without modifiers) to an open-URL action on the run URL with an empty name. Returns
/// whether anything changed.
bool normalizePlaceholderShortcutActions(LayoutRecord& layout);

/// Gives every open-URL button of a brand site whose icon is downloaded image data or a
/// favicon other than the brand's home page the brand's favicon and the white gradient.
/// Buttons with a symbol or an application icon keep theirs. Returns whether anything
/// changed.
bool normalizeBundledWebBrandIcons(LayoutRecord& layout);

/// Both normalisations in the order a layout entering the editor gets them: placeholder
/// shortcut actions first, then brand icons. Returns whether anything changed.
bool normalizeLayout(LayoutRecord& layout);

/// A site icon a button wants: the button and the URL to ask the resolver for.
struct WebIconFetch {
    UUID buttonID;
    URL url;

    bool operator==(const WebIconFetch&) const = default;
};

/// The URL to ask the resolver for when a button's site is `url`: its canonical form, or
/// nothing for brand sites, which are never fetched.
std::optional<URL> webIconFetchURL(const URL& url);

/// The site a button edit points at: the URL of `action` if it opens one, else the URL
/// of `icon` if it is a favicon. Absent arguments are edits that keep the old value.
std::optional<URL> webIconSourceURL(const std::optional<IconRef>& icon,
                                    const std::optional<ActionSpec>& action);

/// The fetches to start for a layout that was just loaded: among the first 40 buttons
/// with a favicon icon (pages and buttons in stored order), each one's action URL if it
/// opens one, else its favicon URL, brand sites left out.
std::vector<WebIconFetch> webIconFetchesForLayout(const LayoutRecord& layout);

/// Stores a fetched icon in the button, unless the button has since stopped wanting it
/// (it is gone, or its icon is no longer a favicon of the same site): the icon becomes
/// the PNG data on the white gradient. Returns whether the layout changed; the caller
/// marks the layout dirty then.
bool applyResolvedWebIconData(LayoutRecord& layout, const Bytes& data, const UUID& buttonID,
                              const URL& sourceURL);

} // namespace quorix
