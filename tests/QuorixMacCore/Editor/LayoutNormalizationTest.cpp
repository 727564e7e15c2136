#include "QuorixMacCore/Editor/LayoutNormalization.h"

#include <gtest/gtest.h>

using namespace quorix;

namespace {

URL url(std::string_view text) {
    return URL::parse(text).value();
}

const ColorGradient blue{"#4facfe", "#00a3ff", 135};
const ColorGradient white{"#ffffff", "#e5e7eb", 135};
const Bytes pngBytes{0x89, 'P', 'N', 'G'};

ActionSpec open(std::string_view text) {
    return ActionSpec::openURL(url(text));
}

ActionSpec keys(std::vector<Modifier> modifiers, std::string key) {
    return ActionSpec::keyboardShortcut(KeyCombo{std::move(modifiers), std::move(key)});
}

QuorixButtonRecord button(IconRef icon, ActionSpec action, ColorGradient gradient = blue) {
    return QuorixButtonRecord{UUID::random(), 0, std::move(icon), std::move(gradient),
                              std::move(action)};
}

LayoutRecord layoutOf(std::vector<std::vector<QuorixButtonRecord>> pages) {
    LayoutRecord layout{UUID::random()};
    for (auto& buttons : pages) {
        layout.pages.push_back(PageRecord{UUID::random(), "page",
                                          static_cast<std::int64_t>(layout.pages.size()),
                                          GradientPreset::custom, std::move(buttons), 3, 5});
    }
    return layout;
}

// Runs `normalize` on a one-button layout; nothing expected means "left alone".
void expectNormalized(bool (*normalize)(LayoutRecord&), const QuorixButtonRecord& before,
                      std::optional<IconRef> icon, std::optional<ActionSpec> action,
                      std::optional<ColorGradient> gradient) {
    QuorixButtonRecord expected = before;
    expected.icon = icon.value_or(before.icon);
    expected.action = action.value_or(before.action);
    expected.colorGradient = gradient.value_or(before.colorGradient);
    LayoutRecord layout = layoutOf({{before}});
    EXPECT_EQ(normalize(layout), expected != before);
    EXPECT_EQ(layout.pages[0].buttons[0], expected);
}

TEST(LayoutNormalization, rewritesOnlyPlaceholderShortcutButtons) {
    const IconRef shortcuts = IconRef::appIcon("com.apple.shortcuts");
    const auto normalize = normalizePlaceholderShortcutActions;
    expectNormalized(normalize, button(shortcuts, keys({}, "space")), std::nullopt,
                     open("shortcuts://run-shortcut?name="), std::nullopt);
    for (const QuorixButtonRecord& kept :
         {button(shortcuts, keys({Modifier::command}, "space")),
          button(shortcuts, keys({}, "return")),
          button(IconRef::appIcon("com.apple.Shortcuts"), keys({}, "space")),
          button(IconRef::sfSymbol("bolt"), keys({}, "space"))}) {
        expectNormalized(normalize, kept, std::nullopt, std::nullopt, std::nullopt);
    }
}

TEST(LayoutNormalization, givesBrandButtonsTheirHomePageIcon) {
    const auto normalize = normalizeBundledWebBrandIcons;
    expectNormalized(normalize,
                     button(IconRef::custom(pngBytes), open("https://m.youtube.com/feed")),
                     IconRef::favicon(url("https://www.youtube.com")), std::nullopt, white);
    expectNormalized(normalize,
                     button(IconRef::favicon(url("https://twitter.com/favicon.ico")),
                            open("https://twitter.com/a")),
                     IconRef::favicon(url("https://x.com")), std::nullopt, white);
    for (const QuorixButtonRecord& kept : {
             button(IconRef::sfSymbol("play.fill"), open("https://youtu.be/x")),
             button(IconRef::appIcon("com.google.Chrome"), open("https://x.com")),
             button(IconRef::favicon(url("https://www.amazon.co.jp")), open("https://amzn.to/xyz")),
             button(IconRef::custom(pngBytes), open("https://example.com")),
             button(IconRef::favicon(url("https://claude.ai/favicon.ico")), keys({}, "a")),
         }) {
        expectNormalized(normalize, kept, std::nullopt, std::nullopt, std::nullopt);
    }
}

TEST(LayoutNormalization, fetchesAtStartUpAmongTheFirstFortyFaviconButtons) {
    std::vector<std::vector<QuorixButtonRecord>> pages(2);
    pages[0].push_back(button(IconRef::sfSymbol("star"), open("https://not-counted.example")));
    pages[0].push_back(button(IconRef::favicon(url("https://x.com")), open("https://x.com")));
    pages[0].push_back(
        button(IconRef::favicon(url("https://icon-only.example/f.ico")), keys({}, "a")));
    for (int i = 0; i < 50; ++i) {
        pages[i < 30 ? 0 : 1].push_back(
            button(IconRef::favicon(url("https://old.example")),
                   open("https://site" + std::to_string(i) + ".example/")));
    }
    const std::vector<WebIconFetch> fetches = webIconFetchesForLayout(layoutOf(pages));

    // 40 favicon buttons considered; the brand one among them starts nothing.
    ASSERT_EQ(fetches.size(), 39u);
    EXPECT_EQ(fetches[0], (WebIconFetch{pages[0][2].id, url("https://icon-only.example/f.ico")}));
    EXPECT_EQ(fetches[1], (WebIconFetch{pages[0][3].id, url("https://site0.example/")}));
    EXPECT_EQ(fetches[38], (WebIconFetch{pages[1][7].id, url("https://site37.example/")}));
}

TEST(LayoutNormalization, anEditWantsTheIconOfTheSiteItOpensElseOfItsFavicon) {
    const IconRef favicon = IconRef::favicon(url("https://icon.example"));
    EXPECT_EQ(webIconSourceURL(favicon, open("https://action.example")),
              url("https://action.example"));
    EXPECT_EQ(webIconSourceURL(favicon, keys({}, "a")), url("https://icon.example"));
    EXPECT_EQ(webIconSourceURL(IconRef::sfSymbol("star"), std::nullopt), std::nullopt);
}

TEST(LayoutNormalization, appliesAFetchedIconOnlyWhileTheButtonStillWantsIt) {
    const std::vector<std::tuple<const char*, IconRef, const char*, bool>> cases{
        {"same host, other page", IconRef::favicon(url("https://EXAMPLE.com/")),
         "https://example.com/deep", true},
        {"brand source compared canonically", IconRef::favicon(url("https://x.com")),
         "https://twitter.com/a", true},
        {"switched to another site", IconRef::favicon(url("https://other.example")),
         "https://example.com", false},
        {"already custom", IconRef::custom(pngBytes), "https://example.com", false},
    };
    const Bytes fetched{1, 2, 3};
    for (const auto& [name, icon, source, applied] : cases) {
        SCOPED_TRACE(name);
        const QuorixButtonRecord target = button(icon, open("https://example.com"));
        LayoutRecord layout = layoutOf({{button(IconRef::sfSymbol("a"), keys({}, "a"))}, {target}});
        LayoutRecord expected = layout;
        if (applied) {
            expected.pages[1].buttons[0].icon = IconRef::custom(fetched);
            expected.pages[1].buttons[0].colorGradient = white;
        }
        EXPECT_EQ(applyResolvedWebIconData(layout, fetched, target.id, url(source)), applied);
        EXPECT_EQ(layout, expected);
        EXPECT_FALSE(applyResolvedWebIconData(layout, fetched, UUID::random(), url(source)));
    }
}

} // namespace
