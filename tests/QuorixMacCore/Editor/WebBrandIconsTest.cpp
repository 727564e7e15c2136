#include "QuorixMacCore/Editor/WebBrandIcons.h"

#include "QuorixMacCore/Editor/ShortcutsRunURL.h"

#include <gtest/gtest.h>

using namespace quorix;

namespace {

URL url(std::string_view text) {
    return URL::parse(text).value();
}

enum class Brand {
    none,
    x,
    youTube,
    amazon,
    claude
};

TEST(WebBrandIcons, recognisesBrandsByDomainAndSubdomainOnly) {
    const std::vector<std::pair<const char*, Brand>> cases{
        {"https://X.COM/home", Brand::x},
        {"https://mobile.twitter.com/", Brand::x},
        {"https://notx.com", Brand::none},
        {"https://x.com.example.net", Brand::none},
        {"https://m.youtube.com/watch?v=1", Brand::youTube},
        {"https://youtu.be/abc", Brand::youTube},
        {"https://www.amazon.co.jp/dp/B000", Brand::amazon},
        {"https://amazon.de", Brand::none},
        {"https://claude.ai/new", Brand::claude},
        {"https://www.anthropic.com/news", Brand::claude},
        {"https://example.com/x.com", Brand::none},
        {"mailto:someone@x.com", Brand::none},
    };
    const std::map<Brand, std::string> homes{{Brand::x, "https://x.com"},
                                             {Brand::youTube, "https://www.youtube.com"},
                                             {Brand::amazon, "https://www.amazon.co.jp"},
                                             {Brand::claude, "https://claude.ai"}};
    for (const auto& [text, brand] : cases) {
        SCOPED_TRACE(text);
        const URL subject = url(text);
        EXPECT_EQ(isXBrandURL(subject), brand == Brand::x);
        EXPECT_EQ(isYouTubeBrandURL(subject), brand == Brand::youTube);
        EXPECT_EQ(isAmazonBrandURL(subject), brand == Brand::amazon);
        EXPECT_EQ(isClaudeBrandURL(subject), brand == Brand::claude);
        EXPECT_EQ(prefersBundledArtwork(subject), brand != Brand::none);
        const std::string expected = brand == Brand::none ? std::string(text) : homes.at(brand);
        EXPECT_EQ(canonicalBrandIconURL(subject).absoluteString(), expected);
        EXPECT_EQ(canonicalWebIconURL(url(expected)).absoluteString(), expected);
    }
}

TEST(ShortcutsRunURL, recognisesRunURLsAndCarriesNamesThereAndBackUnchanged) {
    EXPECT_EQ(shortcutsRunURL("").absoluteString(), "shortcuts://run-shortcut?name=");
    for (const char* name : {"two words", "a&name=b", "1+1=2", "50% off", "会議を開始"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(isShortcutsRunURL(shortcutsRunURL(name)));
        EXPECT_EQ(shortcutRunName(shortcutsRunURL(name)), name);
    }

    const std::vector<std::tuple<const char*, bool, const char*>> cases{
        {"SHORTCUTS://Run-Shortcut?name=Go", true, "Go"},
        {"shortcuts://run-shortcut?input=x&name=First&name=Second", true, "First"},
        {"shortcuts://run-shortcut?Name=Upper", true, ""},
        {"shortcuts://run-shortcut?name=a+b%E4%BC%9A", true, "a+b会"},
        {"shortcuts://open-shortcut?name=Go", false, "Go"},
    };
    for (const auto& [text, isRunURL, name] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(isShortcutsRunURL(url(text)), isRunURL);
        EXPECT_EQ(shortcutRunName(url(text)), name);
    }
}

} // namespace
