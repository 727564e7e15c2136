#include "QuorixMacCore/Editor/LayoutNormalization.h"

#include "QuorixMacCore/Editor/ShortcutsRunURL.h"
#include "QuorixMacCore/Editor/WebBrandIcons.h"

namespace quorix {

namespace {

// The key an older editor stored while a Shortcuts button had no shortcut picked yet.
constexpr std::string_view placeholderShortcutKey = "space";

bool isPlaceholderShortcutButton(const QuorixButtonRecord& button) {
    const auto* icon = std::get_if<IconRef::AppIcon>(&button.icon.value);
    const auto* shortcut = std::get_if<ActionSpec::KeyboardShortcut>(&button.action.value);
    return icon != nullptr && icon->bundleID == shortcutsBundleID && shortcut != nullptr &&
           shortcut->combo.modifiers.empty() && shortcut->combo.key == placeholderShortcutKey;
}

bool needsBrandRewrite(const IconRef& icon, const URL& canonical) {
    if (std::holds_alternative<IconRef::Custom>(icon.value)) {
        return true;
    }
    if (const auto* favicon = std::get_if<IconRef::Favicon>(&icon.value)) {
        return favicon->url.absoluteString() != canonical.absoluteString();
    }
    return false;
}

const URL* openedURL(const ActionSpec& action) {
    const auto* open = std::get_if<ActionSpec::OpenURL>(&action.value);
    return open == nullptr ? nullptr : &open->url;
}

} // namespace

ColorGradient webIconGradient() {
    return ColorGradient{"#ffffff", "#e5e7eb", 135};
}

bool normalizePlaceholderShortcutActions(LayoutRecord& layout) {
    bool changed = false;
    for (PageRecord& page : layout.pages) {
        for (QuorixButtonRecord& button : page.buttons) {
            if (isPlaceholderShortcutButton(button)) {
                button.action = ActionSpec::openURL(shortcutsRunURL(""));
                changed = true;
            }
        }
    }
    return changed;
}

bool normalizeBundledWebBrandIcons(LayoutRecord& layout) {
    bool changed = false;
    for (PageRecord& page : layout.pages) {
        for (QuorixButtonRecord& button : page.buttons) {
            const URL* url = openedURL(button.action);
            if (url == nullptr || !prefersBundledArtwork(*url)) {
                continue;
            }
            const URL canonical = canonicalWebIconURL(*url);
            if (!needsBrandRewrite(button.icon, canonical)) {
                continue;
            }
            button.icon = IconRef::favicon(canonical);
            button.colorGradient = webIconGradient();
            changed = true;
        }
    }
    return changed;
}

bool normalizeLayout(LayoutRecord& layout) {
    const bool shortcutsChanged = normalizePlaceholderShortcutActions(layout);
    const bool brandsChanged = normalizeBundledWebBrandIcons(layout);
    return shortcutsChanged || brandsChanged;
}

std::optional<URL> webIconFetchURL(const URL& url) {
    const URL canonical = canonicalWebIconURL(url);
    if (prefersBundledArtwork(canonical)) {
        return std::nullopt;
    }
    return canonical;
}

std::optional<URL> webIconSourceURL(const std::optional<IconRef>& icon,
                                    const std::optional<ActionSpec>& action) {
    if (action) {
        if (const URL* url = openedURL(*action)) {
            return *url;
        }
    }
    if (icon) {
        if (const auto* favicon = std::get_if<IconRef::Favicon>(&icon->value)) {
            return favicon->url;
        }
    }
    return std::nullopt;
}

std::vector<WebIconFetch> webIconFetchesForLayout(const LayoutRecord& layout) {
    std::vector<WebIconFetch> wanted;
    for (const PageRecord& page : layout.pages) {
        for (const QuorixButtonRecord& button : page.buttons) {
            if (wanted.size() == maxStartupIconFetches) {
                break;
            }
            const auto* favicon = std::get_if<IconRef::Favicon>(&button.icon.value);
            if (favicon == nullptr) {
                continue;
            }
            const URL* url = openedURL(button.action);
            wanted.push_back({button.id, url != nullptr ? *url : favicon->url});
        }
    }
    std::vector<WebIconFetch> fetches;
    for (WebIconFetch& fetch : wanted) {
        if (std::optional<URL> url = webIconFetchURL(fetch.url)) {
            fetches.push_back({fetch.buttonID, std::move(*url)});
        }
    }
    return fetches;
}

bool applyResolvedWebIconData(LayoutRecord& layout, const Bytes& data, const UUID& buttonID,
                              const URL& sourceURL) {
    const URL canonical = canonicalWebIconURL(sourceURL);
    for (PageRecord& page : layout.pages) {
        for (QuorixButtonRecord& button : page.buttons) {
            if (button.id != buttonID) {
                continue;
            }
            const auto* favicon = std::get_if<IconRef::Favicon>(&button.icon.value);
            if (favicon == nullptr || !webIconMatches(favicon->url, canonical)) {
                return false;
            }
            button.icon = IconRef::custom(data);
            button.colorGradient = webIconGradient();
            return true;
        }
    }
    return false;
}

} // namespace quorix
