#include "QuorixMacCore/Editor/WebBrandIcons.h"

#include "QuorixMacCore/Editor/ShortcutsRunURL.h"

#include <gtest/gtest.h>

using namespace quorix;

namespace {

URL url(std::string_view text) {
    return URL::parse(text).value();
}

TEST(WebBrandIcons, recognisesBrandsByDomainAndSubdomainOnly) {
    const std::string x = "https://x.com", youTube = "https://www.youtube.com",
                      amazon = "https://www.amazon.co.jp", claude = "https://claude.ai";
    // The address, then the brand's home page; none for sites of no brand.
    const std::vector<std::pair<const char*, std::string>> cases{
        {"https://X.COM/home", x},
        {"https://mobile.twitter.com/", x},
        {"https://notx.com", ""},
        {"https://x.com.example.net", ""},
        {"https://m.youtube.com/watch?v=1", youTube},
        {"https://youtu.be/abc", youTube},
        {"https://www.amazon.co.jp/dp/B000", amazon},
        {"https://amazon.de", ""},
        {"https://claude.ai/new", claude},
        {"https://www.anthropic.com/news", claude},
        {"https://example.com/x.com", ""},
        // A quick-panel tile only: its buttons keep their address and fetch their icon.
        {"https://jp.mercari.com", ""},
        {"mailto:someone@x.com", ""},
    };
    for (const auto& [text, home] : cases) {
        SCOPED_TRACE(text);
        const URL subject = url(text);
        EXPECT_EQ(isXBrandURL(subject), home == x);
        EXPECT_EQ(isYouTubeBrandURL(subject), home == youTube);
        EXPECT_EQ(isAmazonBrandURL(subject), home == amazon);
        EXPECT_EQ(isClaudeBrandURL(subject), home == claude);
        EXPECT_EQ(prefersBundledArtwork(subject), !home.empty());
        const std::string expected = home.empty() ? std::string(text) : home;
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
        {"https://run-shortcut?name=Go", false, "Go"},
    };
    for (const auto& [text, isRunURL, name] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(isShortcutsRunURL(url(text)), isRunURL);
        EXPECT_EQ(shortcutRunName(url(text)), name);
    }
}

} // namespace
