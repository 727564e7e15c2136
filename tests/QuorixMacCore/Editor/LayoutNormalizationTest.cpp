#include "QuorixMacCore/Editor/LayoutNormalization.h"

#include <array>
#include <gtest/gtest.h>

using namespace quorix;

namespace {

URL url(std::string_view text) {
    return URL::parse(text).value();
}

const ColorGradient blue{"#4facfe", "#00a3ff", 135};
const ColorGradient white{"#ffffff", "#e5e7eb", 135};
const Bytes pngBytes{0x89, 'P', 'N', 'G'};

QuorixButtonRecord button(IconRef icon, ActionSpec action, ColorGradient gradient = blue) {
    static std::int64_t position = 0;
    return QuorixButtonRecord{UUID::random(), position++, std::move(icon), std::move(gradient),
                              std::move(action)};
}

LayoutRecord layoutOf(std::vector<std::vector<QuorixButtonRecord>> pages) {
    LayoutRecord layout;
    layout.id = UUID::random();
    std::int64_t order = 0;
    for (auto& buttons : pages) {
        PageRecord page;
        page.id = UUID::random();
        page.order = order++;
        page.buttons = std::move(buttons);
        layout.pages.push_back(std::move(page));
    }
    return layout;
}

ActionSpec open(std::string_view text) {
    return ActionSpec::openURL(url(text));
}

ActionSpec keys(std::vector<Modifier> modifiers, std::string key) {
    return ActionSpec::keyboardShortcut(KeyCombo{std::move(modifiers), std::move(key)});
}

struct NormalizationCase {
    const char* name;
    QuorixButtonRecord before;
    // Equal to `before` when the button is left alone.
    QuorixButtonRecord after;
};

QuorixButtonRecord with(QuorixButtonRecord record, std::optional<IconRef> icon,
                        std::optional<ActionSpec> action, std::optional<ColorGradient> gradient) {
    if (icon) {
        record.icon = *icon;
    }
    if (action) {
        record.action = *action;
    }
    if (gradient) {
        record.colorGradient = *gradient;
    }
    return record;
}

void expectNormalization(bool (*normalize)(LayoutRecord&),
                         const std::vector<NormalizationCase>& cases) {
    for (const NormalizationCase& row : cases) {
        SCOPED_TRACE(row.name);
        LayoutRecord layout = layoutOf({{row.before}});
        const bool changed = normalize(layout);
        EXPECT_EQ(layout.pages[0].buttons[0], row.after);
        EXPECT_EQ(changed, row.before != row.after);
    }
}

TEST(LayoutNormalization, rewritesOnlyPlaceholderShortcutButtons) {
    const IconRef shortcutsIcon = IconRef::appIcon("com.apple.shortcuts");
    const QuorixButtonRecord placeholder = button(shortcutsIcon, keys({}, "space"));
    const QuorixButtonRecord withCommand =
        button(shortcutsIcon, keys({Modifier::command}, "space"));
    const QuorixButtonRecord otherKey = button(shortcutsIcon, keys({}, "return"));
    const QuorixButtonRecord otherApp =
        button(IconRef::appIcon("com.apple.Safari"), keys({}, "space"));
    const QuorixButtonRecord upperBundle =
        button(IconRef::appIcon("com.apple.Shortcuts"), keys({}, "space"));
    const QuorixButtonRecord symbol = button(IconRef::sfSymbol("bolt"), keys({}, "space"));

    expectNormalization(
        normalizePlaceholderShortcutActions,
        {
            {"placeholder", placeholder,
             with(placeholder, std::nullopt, open("shortcuts://run-shortcut?name="), std::nullopt)},
            {"with the Command modifier", withCommand, withCommand},
            {"another key", otherKey, otherKey},
            {"another application", otherApp, otherApp},
            {"bundle id in other letter case", upperBundle, upperBundle},
            {"symbol icon", symbol, symbol},
        });
}

TEST(LayoutNormalization, givesBrandButtonsTheirHomePageIcon) {
    const QuorixButtonRecord symbol =
        button(IconRef::sfSymbol("play.fill"), open("https://youtu.be/x"));
    const QuorixButtonRecord appIcon =
        button(IconRef::appIcon("com.google.Chrome"), open("https://x.com"));
    const QuorixButtonRecord downloaded =
        button(IconRef::custom(pngBytes), open("https://m.youtube.com/feed"));
    const QuorixButtonRecord otherFavicon = button(
        IconRef::favicon(url("https://twitter.com/favicon.ico")), open("https://twitter.com/a"));
    const QuorixButtonRecord canonicalFavicon =
        button(IconRef::favicon(url("https://www.amazon.co.jp")), open("https://amzn.to/xyz"));
    const QuorixButtonRecord plainSite =
        button(IconRef::custom(pngBytes), open("https://example.com"));
    const QuorixButtonRecord brandFaviconOnKeys =
        button(IconRef::favicon(url("https://claude.ai/favicon.ico")), keys({}, "a"));

    expectNormalization(
        normalizeBundledWebBrandIcons,
        {
            {"symbol stays", symbol, symbol},
            {"application icon stays", appIcon, appIcon},
            {"downloaded data", downloaded,
             with(downloaded, IconRef::favicon(url("https://www.youtube.com")), std::nullopt,
                  white)},
            {"favicon of another address", otherFavicon,
             with(otherFavicon, IconRef::favicon(url("https://x.com")), std::nullopt, white)},
            {"favicon already canonical keeps its gradient", canonicalFavicon, canonicalFavicon},
            {"other sites keep their data", plainSite, plainSite},
            {"no open-URL action", brandFaviconOnKeys, brandFaviconOnKeys},
        });
}

TEST(LayoutNormalization, fetchesAtStartUpTheFirstFortyFaviconButtons) {
    std::vector<QuorixButtonRecord> first;
    std::vector<QuorixButtonRecord> second;
    first.push_back(button(IconRef::sfSymbol("star"), open("https://not-counted.example")));
    first.push_back(button(IconRef::favicon(url("https://x.com")), open("https://x.com")));
    first.push_back(
        button(IconRef::favicon(url("https://icon-only.example/f.ico")), keys({}, "a")));
    for (int i = 0; i < 30; ++i) {
        first.push_back(button(IconRef::favicon(url("https://old.example")),
                               open("https://site" + std::to_string(i) + ".example/page")));
    }
    for (int i = 30; i < 50; ++i) {
        second.push_back(button(IconRef::favicon(url("https://old.example")),
                                open("https://site" + std::to_string(i) + ".example/page")));
    }
    const LayoutRecord layout = layoutOf({first, second});

    const std::vector<WebIconFetch> fetches = webIconFetchesForLayout(layout);

    // 40 favicon buttons considered: the brand one starts nothing, leaving 39.
    ASSERT_EQ(fetches.size(), 39u);
    EXPECT_EQ(fetches[0], (WebIconFetch{first[2].id, url("https://icon-only.example/f.ico")}));
    EXPECT_EQ(fetches[1], (WebIconFetch{first[3].id, url("https://site0.example/page")}));
    EXPECT_EQ(fetches[31], (WebIconFetch{second[0].id, url("https://site30.example/page")}));
    EXPECT_EQ(fetches[38], (WebIconFetch{second[7].id, url("https://site37.example/page")}));
}

TEST(LayoutNormalization, decidesWhichSiteAButtonEditWants) {
    const IconRef favicon = IconRef::favicon(url("https://icon.example"));
    EXPECT_EQ(webIconSourceURL(favicon, open("https://action.example")),
              url("https://action.example"));
    EXPECT_EQ(webIconSourceURL(favicon, keys({}, "a")), url("https://icon.example"));
    EXPECT_EQ(webIconSourceURL(favicon, std::nullopt), url("https://icon.example"));
    EXPECT_EQ(webIconSourceURL(std::nullopt, open("https://action.example")),
              url("https://action.example"));
    EXPECT_EQ(webIconSourceURL(IconRef::sfSymbol("star"), keys({}, "a")), std::nullopt);
    EXPECT_EQ(webIconSourceURL(std::nullopt, std::nullopt), std::nullopt);

    EXPECT_EQ(webIconFetchURL(url("https://example.com/a")), url("https://example.com/a"));
    EXPECT_EQ(webIconFetchURL(url("https://www.youtube.com/watch")), std::nullopt);
}

struct ApplyCase {
    const char* name;
    IconRef iconAtArrival;
    const char* sourceURL;
    bool applied;
};

TEST(LayoutNormalization, appliesAFetchedIconOnlyWhileTheButtonStillWantsIt) {
    const std::array<ApplyCase, 6> cases{{
        {"same favicon", IconRef::favicon(url("https://example.com")), "https://example.com", true},
        {"same host, other page", IconRef::favicon(url("https://EXAMPLE.com/")),
         "https://example.com/deep/page", true},
        {"switched to a symbol", IconRef::sfSymbol("star"), "https://example.com", false},
        {"switched to another site", IconRef::favicon(url("https://other.example")),
         "https://example.com", false},
        {"already custom", IconRef::custom(pngBytes), "https://example.com", false},
        {"brand source is compared canonically", IconRef::favicon(url("https://x.com")),
         "https://twitter.com/someone", true},
    }};
    const Bytes fetched{1, 2, 3};
    for (const ApplyCase& row : cases) {
        SCOPED_TRACE(row.name);
        const QuorixButtonRecord target = button(row.iconAtArrival, open("https://example.com"));
        LayoutRecord layout = layoutOf({{button(IconRef::sfSymbol("a"), keys({}, "a"))}, {target}});
        const LayoutRecord before = layout;

        const bool applied =
            applyResolvedWebIconData(layout, fetched, target.id, url(row.sourceURL));

        EXPECT_EQ(applied, row.applied);
        if (row.applied) {
            EXPECT_EQ(layout.pages[1].buttons[0].icon, IconRef::custom(fetched));
            EXPECT_EQ(layout.pages[1].buttons[0].colorGradient, white);
            EXPECT_EQ(layout.updatedAt, before.updatedAt);
        } else {
            EXPECT_EQ(layout, before);
        }
    }

    LayoutRecord layout = layoutOf(
        {{button(IconRef::favicon(url("https://example.com")), open("https://example.com"))}});
    const LayoutRecord before = layout;
    EXPECT_FALSE(
        applyResolvedWebIconData(layout, fetched, UUID::random(), url("https://example.com")));
    EXPECT_EQ(layout, before);
}

} // namespace
