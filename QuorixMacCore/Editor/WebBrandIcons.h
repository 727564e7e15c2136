#pragma once

#include "QuorixProtocol/Foundation.h"

#include <QUrl>

namespace quorix {

/// Qt's reading of a record URL; hosts come back in lower case.
QUrl toQUrl(const URL& url);

// Four well-known sites whose buttons always show built-in artwork instead of a
// downloaded icon. A URL belongs to a brand when its host is one of the brand's domains
// or a subdomain of one, in any letter case; a URL without a host belongs to none.

bool isXBrandURL(const URL& url);
bool isYouTubeBrandURL(const URL& url);
bool isAmazonBrandURL(const URL& url);
bool isClaudeBrandURL(const URL& url);

/// Whether the URL belongs to any of the four brands.
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
