#include "QuorixMacCore/Editor/WebBrandIcons.h"

#include <QString>

#include <algorithm>
#include <array>
#include <string_view>

namespace quorix {

namespace {

struct BrandDomains {
    // Unused slots are empty.
    std::array<std::string_view, 3> domains;
    // Empty for a brand whose buttons fetch their own icon.
    std::string_view canonicalURL;
};

// By `WebBrand`, which is also the matching order. Each brand's current and former,
// regional or short-link domains.
constexpr std::array<BrandDomains, 5> brands{{
    {{"x.com", "twitter.com", ""}, "https://x.com"},
    {{"youtube.com", "youtu.be", ""}, "https://www.youtube.com"},
    {{"amazon.com", "amazon.co.jp", "amzn.to"}, "https://www.amazon.co.jp"},
    {{"claude.ai", "anthropic.com", ""}, "https://claude.ai"},
    {{"mercari.com", "mercari.jp", ""}, ""},
}};
static_assert(brands.size() == static_cast<std::size_t>(WebBrand::mercari) + 1);

const BrandDomains& domainsOf(WebBrand brand) {
    return brands[static_cast<std::size_t>(brand)];
}

bool hostBelongsTo(const QString& host, const BrandDomains& brand) {
    return std::any_of(brand.domains.begin(), brand.domains.end(), [&](std::string_view domain) {
        if (domain.empty()) {
            return false;
        }
        const QLatin1String name(domain.data(), static_cast<qsizetype>(domain.size()));
        return host == name || (host.endsWith(name) && host.size() > name.size() &&
                                host.at(host.size() - name.size() - 1) == u'.');
    });
}

QString lowerCaseHost(const URL& url) {
    return toQUrl(url).host().toLower();
}

bool belongsTo(const URL& url, WebBrand brand) {
    const QString host = lowerCaseHost(url);
    return !host.isEmpty() && hostBelongsTo(host, domainsOf(brand));
}

// The brand whose built-in artwork the editor shows for the URL.
const BrandDomains* bundledBrandOf(const URL& url) {
    const std::optional<WebBrand> brand = webBrand(url);
    if (!brand || domainsOf(*brand).canonicalURL.empty()) {
        return nullptr;
    }
    return &domainsOf(*brand);
}

} // namespace

QUrl toQUrl(const URL& url) {
    return QUrl(QString::fromStdString(url.absoluteString()), QUrl::TolerantMode);
}

std::optional<WebBrand> webBrand(const URL& url) {
    const QString host = lowerCaseHost(url);
    if (host.isEmpty()) {
        return std::nullopt;
    }
    const auto found = std::find_if(brands.begin(), brands.end(), [&](const BrandDomains& brand) {
        return hostBelongsTo(host, brand);
    });
    if (found == brands.end()) {
        return std::nullopt;
    }
    return static_cast<WebBrand>(found - brands.begin());
}

bool isXBrandURL(const URL& url) {
    return belongsTo(url, WebBrand::x);
}

bool isYouTubeBrandURL(const URL& url) {
    return belongsTo(url, WebBrand::youTube);
}

bool isAmazonBrandURL(const URL& url) {
    return belongsTo(url, WebBrand::amazon);
}

bool isClaudeBrandURL(const URL& url) {
    return belongsTo(url, WebBrand::claude);
}

bool prefersBundledArtwork(const URL& url) {
    return bundledBrandOf(url) != nullptr;
}

URL canonicalWebIconURL(const URL& url) {
    const BrandDomains* brand = bundledBrandOf(url);
    if (brand == nullptr) {
        return url;
    }
    // The table holds valid URLs, so parsing cannot fail.
    return URL::parse(brand->canonicalURL).value_or(url);
}

bool webIconMatches(const URL& first, const URL& second) {
    if (first.absoluteString() == second.absoluteString()) {
        return true;
    }
    return lowerCaseHost(first) == lowerCaseHost(second);
}

} // namespace quorix
