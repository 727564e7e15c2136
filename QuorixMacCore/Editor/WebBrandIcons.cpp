#include "QuorixMacCore/Editor/WebBrandIcons.h"

#include <QString>

#include <algorithm>
#include <array>
#include <string_view>

namespace quorix {

namespace {

struct WebBrand {
    // Unused slots are empty.
    std::array<std::string_view, 3> domains;
    std::string_view canonicalURL;
};

// In matching order. Each brand's current and former, regional or short-link domains.
constexpr std::array<WebBrand, 4> brands{{
    {{"x.com", "twitter.com", ""}, "https://x.com"},
    {{"youtube.com", "youtu.be", ""}, "https://www.youtube.com"},
    {{"amazon.com", "amazon.co.jp", "amzn.to"}, "https://www.amazon.co.jp"},
    {{"claude.ai", "anthropic.com", ""}, "https://claude.ai"},
}};
static_assert(brands.size() == 4);

enum class Brand {
    x,
    youTube,
    amazon,
    claude
};

bool hostBelongsTo(const QString& host, const WebBrand& brand) {
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

bool belongsTo(const URL& url, Brand brand) {
    const QString host = lowerCaseHost(url);
    return !host.isEmpty() && hostBelongsTo(host, brands[static_cast<std::size_t>(brand)]);
}

const WebBrand* brandOf(const URL& url) {
    const QString host = lowerCaseHost(url);
    if (host.isEmpty()) {
        return nullptr;
    }
    const auto found = std::find_if(brands.begin(), brands.end(), [&](const WebBrand& brand) {
        return hostBelongsTo(host, brand);
    });
    return found == brands.end() ? nullptr : &*found;
}

} // namespace

QUrl toQUrl(const URL& url) {
    return QUrl(QString::fromStdString(url.absoluteString()), QUrl::TolerantMode);
}

bool isXBrandURL(const URL& url) {
    return belongsTo(url, Brand::x);
}

bool isYouTubeBrandURL(const URL& url) {
    return belongsTo(url, Brand::youTube);
}

bool isAmazonBrandURL(const URL& url) {
    return belongsTo(url, Brand::amazon);
}

bool isClaudeBrandURL(const URL& url) {
    return belongsTo(url, Brand::claude);
}

bool prefersBundledArtwork(const URL& url) {
    return brandOf(url) != nullptr;
}

URL canonicalWebIconURL(const URL& url) {
    const WebBrand* brand = brandOf(url);
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
