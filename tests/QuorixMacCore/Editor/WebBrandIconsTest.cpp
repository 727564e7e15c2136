#include "QuorixMacCore/Editor/WebBrandIcons.h"

#include "QuorixMacCore/Editor/ShortcutsRunURL.h"

#include <array>
#include <gtest/gtest.h>

using namespace quorix;

namespace {

URL url(std::string_view text) {
    const std::optional<URL> parsed = URL::parse(text);
    EXPECT_TRUE(parsed.has_value()) << text;
    return parsed.value_or(URL::parse("about:blank").value());
}

enum class Brand {
    none,
    x,
    youTube,
    amazon,
    claude
};

struct BrandCase {
    const char* url;
    Brand brand;
};

TEST(WebBrandIcons, recognisesBrandsByDomainAndSubdomainOnly) {
    constexpr std::array<BrandCase, 24> cases{{
        {"https://x.com/home", Brand::x},
        {"https://X.COM", Brand::x},
        {"https://twitter.com/someone", Brand::x},
        {"https://mobile.twitter.com/", Brand::x},
        {"https://notx.com", Brand::none},
        {"https://x.com.example.net", Brand::none},
        {"https://www.youtube.com/watch?v=1", Brand::youTube},
        {"https://m.youtube.com", Brand::youTube},
        {"https://youtu.be/abc", Brand::youTube},
        {"https://youtube.com.evil.example", Brand::none},
        {"https://myyoutube.com", Brand::none},
        {"https://www.amazon.co.jp/dp/B000", Brand::amazon},
        {"https://amazon.com", Brand::amazon},
        {"https://smile.amazon.com", Brand::amazon},
        {"https://amzn.to/3abc", Brand::amazon},
        {"https://amazon.de", Brand::none},
        {"https://claude.ai/new", Brand::claude},
        {"https://www.anthropic.com/news", Brand::claude},
        {"https://myclaude.ai", Brand::none},
        {"https://example.com/x.com", Brand::none},
        {"x.com", Brand::none},
        {"mailto:someone@x.com", Brand::none},
        {"shortcuts://run-shortcut?name=x.com", Brand::none},
        {"https://example.com", Brand::none},
    }};
    const std::array<std::pair<Brand, const char*>, 4> canonical{{
        {Brand::x, "https://x.com"},
        {Brand::youTube, "https://www.youtube.com"},
        {Brand::amazon, "https://www.amazon.co.jp"},
        {Brand::claude, "https://claude.ai"},
    }};
    for (const BrandCase& row : cases) {
        SCOPED_TRACE(row.url);
        const URL subject = url(row.url);
        EXPECT_EQ(isXBrandURL(subject), row.brand == Brand::x);
        EXPECT_EQ(isYouTubeBrandURL(subject), row.brand == Brand::youTube);
        EXPECT_EQ(isAmazonBrandURL(subject), row.brand == Brand::amazon);
        EXPECT_EQ(isClaudeBrandURL(subject), row.brand == Brand::claude);
        EXPECT_EQ(prefersBundledArtwork(subject), row.brand != Brand::none);

        std::string expected = row.url;
        for (const auto& [brand, home] : canonical) {
            if (brand == row.brand) {
                expected = home;
            }
        }
        EXPECT_EQ(canonicalWebIconURL(subject).absoluteString(), expected);
        EXPECT_EQ(canonicalBrandIconURL(subject), canonicalWebIconURL(subject));
    }
}

TEST(WebBrandIcons, canonicalHomePagesAreTheirOwnCanonicalForm) {
    for (const char* home : {"https://x.com", "https://www.youtube.com", "https://www.amazon.co.jp",
                             "https://claude.ai"}) {
        SCOPED_TRACE(home);
        EXPECT_TRUE(prefersBundledArtwork(url(home)));
        EXPECT_EQ(canonicalWebIconURL(url(home)).absoluteString(), home);
    }
}

struct MatchCase {
    const char* first;
    const char* second;
    bool matches;
};

TEST(WebBrandIcons, iconSourcesMatchByTextOrHost) {
    constexpr std::array<MatchCase, 8> cases{{
        {"https://example.com/a", "https://example.com/a", true},
        {"https://example.com/a", "http://EXAMPLE.com/b?c", true},
        {"https://example.com", "https://www.example.com", false},
        {"https://example.com", "https://example.org", false},
        {"relative/path", "other/path", true},
        {"relative/path", "https://example.com", false},
        {"https://example.com", "mailto:a@example.com", false},
        {"same-text", "same-text", true},
    }};
    for (const MatchCase& row : cases) {
        SCOPED_TRACE(std::string(row.first) + " ~ " + row.second);
        EXPECT_EQ(webIconMatches(url(row.first), url(row.second)), row.matches);
        EXPECT_EQ(webIconMatches(url(row.second), url(row.first)), row.matches);
    }
}

TEST(ShortcutsRunURL, namesGoThereAndBackUnchanged) {
    EXPECT_EQ(shortcutsRunURL("").absoluteString(), "shortcuts://run-shortcut?name=");
    EXPECT_EQ(shortcutsRunURL("Morning").absoluteString(), "shortcuts://run-shortcut?name=Morning");
    for (const char* name :
         {"", "Morning", "two words", "a&name=b", "1+1=2", "50% off", "会議を開始", "#tag?x/y"}) {
        SCOPED_TRACE(name);
        const URL run = shortcutsRunURL(name);
        EXPECT_TRUE(isShortcutsRunURL(run));
        EXPECT_EQ(shortcutRunName(run), name);
    }
}

struct RunURLCase {
    const char* url;
    bool isRunURL;
    const char* name;
};

TEST(ShortcutsRunURL, recognisesRunURLsAndReadsTheFirstName) {
    constexpr std::array<RunURLCase, 10> cases{{
        {"shortcuts://run-shortcut", true, ""},
        {"SHORTCUTS://Run-Shortcut?name=Go", true, "Go"},
        {"shortcuts://run-shortcut?name", true, ""},
        {"shortcuts://run-shortcut?input=x&name=First&name=Second", true, "First"},
        {"shortcuts://run-shortcut?Name=Upper", true, ""},
        {"shortcuts://run-shortcut?name=a+b", true, "a+b"},
        {"shortcuts://run-shortcut?name=%E4%BC%9A%E8%AD%B0", true, "会議"},
        {"shortcuts://open-shortcut?name=Go", false, "Go"},
        {"https://run-shortcut?name=Go", false, "Go"},
        {"shortcuts:run-shortcut", false, ""},
    }};
    for (const RunURLCase& row : cases) {
        SCOPED_TRACE(row.url);
        EXPECT_EQ(isShortcutsRunURL(url(row.url)), row.isRunURL);
        EXPECT_EQ(shortcutRunName(url(row.url)), row.name);
    }
}

} // namespace
