#pragma once

#include "QuorixProtocol/Foundation.h"

#include <QUrl>

#include <optional>

namespace quorix {

/// Qt's reading of a record URL; hosts come back in lower case.
QUrl toQUrl(const URL& url);

/// Well-known sites drawn with built-in artwork, in the order they are matched. A URL
/// belongs to a brand when its host is one of the brand's domains or a subdomain of one,
/// in any letter case; a URL without a host belongs to none.
enum class WebBrand {
    x,
    youTube,
    amazon,
    claude,
    /// Has a tile in the quick panel only: its buttons fetch the site's own icon.
    mercari,
};

/// The first brand the URL belongs to.
std::optional<WebBrand> webBrand(const URL& url);

// The four brands whose buttons always show built-in artwork instead of a downloaded icon.

bool isXBrandURL(const URL& url);
bool isYouTubeBrandURL(const URL& url);
bool isAmazonBrandURL(const URL& url);
bool isClaudeBrandURL(const URL& url);

/// Whether the URL belongs to any of the four brands whose buttons show built-in artwork.
bool prefersBundledArtwork(const URL& url);

/// The home page of the first brand the URL belongs to, or the URL itself: the one
/// address every button of a brand keeps as its icon source.
URL canonicalWebIconURL(const URL& url);

/// The same rule, under the name the views use when they pick artwork.
inline URL canonicalBrandIconURL(const URL& url) {
    return canonicalWebIconURL(url);
}

/// Whether two URLs name the same icon source: the same text, or the same host in any
/// letter case (two URLs without a host match each other).
bool webIconMatches(const URL& first, const URL& second);

} // namespace quorix
