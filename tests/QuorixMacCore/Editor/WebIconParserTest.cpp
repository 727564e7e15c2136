#include "QuorixMacCore/Editor/WebIconParser.h"

#include <array>
#include <gtest/gtest.h>

using namespace quorix;

namespace {

const QUrl page(QStringLiteral("https://example.com/dir/page.html"));

QUrl url(const char* text) {
    return QUrl(QString::fromLatin1(text));
}

struct LinkCase {
    const char* name;
    const char* html;
    // Empty when the tag yields no candidate.
    const char* expectedURL;
    int expectedScore;
};

TEST(WebIconParser, scoresEverySpellingOfALinkElement) {
    constexpr std::array<LinkCase, 22> cases{{
        {"precomposed", R"(<link rel="apple-touch-icon-precomposed" href="/p.png">)",
         "https://example.com/p.png", 1000},
        {"touch icon with size", R"(<link rel="apple-touch-icon" href="/t.png" sizes="180x180">)",
         "https://example.com/t.png", 1005},
        {"precomposed wins over touch",
         R"(<link rel="apple-touch-icon apple-touch-icon-precomposed" href="/b.png">)",
         "https://example.com/b.png", 1000},
        {"shortcut icon", R"(<link rel="shortcut icon" href="/f.ico">)",
         "https://example.com/f.ico", 760},
        {"icon shortcut, other order", R"(<link rel="icon shortcut" href="/f.ico">)",
         "https://example.com/f.ico", 760},
        {"icon with size and type",
         R"(<link rel="icon" href="/i.png" type="image/png" sizes="32x32">)",
         "https://example.com/i.png", 730 + 8 + 80},
        {"upper-case element, attributes and rel", R"(<LINK REL="ICON" HREF="/UP.png">)",
         "https://example.com/UP.png", 730},
        {"single quotes", R"(<link rel='icon' href='/s.png'>)", "https://example.com/s.png", 730},
        {"unquoted", R"(<link rel=icon href=/u.png>)", "https://example.com/u.png", 730},
        {"blanks around equals and line breaks", "<link\n\trel = \"icon\"\n\thref =\t'/n.png' >",
         "https://example.com/n.png", 730},
        {"self-closing unquoted keeps the slash", R"(<link rel=icon href=/c.png/>)",
         "https://example.com/c.png/", 730},
        {"later attribute replaces earlier", R"(<link rel="stylesheet" rel="icon" href="/l.png">)",
         "https://example.com/l.png", 730},
        {"attribute without value is ignored", R"(<link rel="icon" crossorigin href="/v.png">)",
         "https://example.com/v.png", 730},
        {"relative to the page", R"(<link rel="icon" href="icons/r.png">)",
         "https://example.com/dir/icons/r.png", 730},
        {"scheme-relative", R"(<link rel="icon" href="//cdn.example.net/x.png">)",
         "https://cdn.example.net/x.png", 730},
        {"svg scores below", R"(<link rel="icon" href="/i.svg" type="image/svg+xml" sizes="any">)",
         "https://example.com/i.svg", 730 + 96 - 40},
        {"mask icon is no icon", R"(<link rel="mask-icon" href="/m.svg">)", "", 0},
        {"stylesheet", R"(<link rel="stylesheet" href="/s.css">)", "", 0},
        {"no href", R"(<link rel="icon">)", "", 0},
        {"href that does not parse", R"(<link rel="icon" href="/with space.png">)", "", 0},
        {"another element name", R"(<linked rel="icon" href="/no.png">)", "", 0},
        {"empty rel", R"(<link rel="" href="/e.png">)", "", 0},
    }};
    for (const LinkCase& row : cases) {
        SCOPED_TRACE(row.name);
        const std::vector<WebIconCandidate> candidates =
            WebIconParser::iconCandidatesFromHTML(QString::fromUtf8(row.html), page);
        if (*row.expectedURL == '\0') {
            EXPECT_TRUE(candidates.empty());
            continue;
        }
        ASSERT_EQ(candidates.size(), 1u);
        EXPECT_EQ(webIconAbsoluteString(candidates[0].url), QString::fromLatin1(row.expectedURL));
        EXPECT_EQ(candidates[0].score, row.expectedScore);
    }
}

TEST(WebIconParser, sizeAndTypeScores) {
    const std::array<std::pair<std::optional<QString>, int>, 14> sizes{{
        {std::nullopt, 0},
        {QString(), 0},
        {QStringLiteral("any"), 96},
        {QStringLiteral("ANY"), 96},
        {QStringLiteral("180x180"), 45},
        {QStringLiteral("192x192"), 48},
        {QStringLiteral("512x512"), 128},
        {QStringLiteral("4096x4096"), 128},
        {QStringLiteral("16x16 32x32"), 8},
        {QStringLiteral("48X48"), 12},
        {QStringLiteral("30x31"), 7},
        {QStringLiteral("large"), 0},
        {QStringLiteral("x"), 0},
        {QStringLiteral("99999999999999999999999x64"), 16},
    }};
    for (const auto& [value, score] : sizes) {
        SCOPED_TRACE(value.value_or(QStringLiteral("(absent)")).toStdString());
        EXPECT_EQ(WebIconParser::sizeScore(value), score);
    }

    const std::array<std::pair<std::optional<QString>, int>, 10> types{{
        {std::nullopt, 0},
        {QString(), 0},
        {QStringLiteral("image/png"), 80},
        {QStringLiteral("IMAGE/PNG"), 80},
        {QStringLiteral("image/webp"), 40},
        {QStringLiteral("image/jpeg"), 40},
        {QStringLiteral("image/jpg"), 40},
        {QStringLiteral("image/svg+xml"), -40},
        {QStringLiteral("image/x-icon"), 0},
        {QStringLiteral("image/vnd.microsoft.icon"), 0},
    }};
    for (const auto& [value, score] : types) {
        SCOPED_TRACE(value.value_or(QStringLiteral("(absent)")).toStdString());
        EXPECT_EQ(WebIconParser::typeScore(value), score);
    }
}

TEST(WebIconParser, keepsTheBestOfRepeatedURLsAndRanksTiesByURL) {
    const QString html = QStringLiteral(R"(
        <link rel="icon" href="/b.png">
        <link rel="icon" href="/a.png">
        <link rel="icon" href="/dup.png">
        <link rel="apple-touch-icon" href="/dup.png">
        <link rel="icon" href="/dup.png" type="image/svg+xml">
        <link rel="icon" href="https://example.com/c.png" sizes="0x0">)");

    const std::vector<WebIconCandidate> expected{
        {url("https://example.com/dup.png"), 960},
        {url("https://example.com/a.png"), 730},
        {url("https://example.com/b.png"), 730},
        {url("https://example.com/c.png"), 730},
    };
    EXPECT_EQ(WebIconParser::iconCandidatesFromHTML(html, page), expected);
}

TEST(WebIconParser, rankingIsStableAndDeduplicationKeepsTheFirstOfEqualScores) {
    const std::vector<WebIconCandidate> input{
        {url("https://b.example/i.png"), 500},
        {url("https://a.example/i.png"), 500},
        {url("https://a.example/i.png"), 400},
        {url("https://c.example/i.png"), 900},
    };
    const std::vector<WebIconCandidate> expected{
        {url("https://c.example/i.png"), 900},
        {url("https://a.example/i.png"), 500},
        {url("https://b.example/i.png"), 500},
    };
    EXPECT_EQ(ranked(deduplicatedByURL(input)), expected);
}

TEST(WebIconParser, findsManifestsInOrderOnce) {
    const QString html = QStringLiteral(R"(
        <link rel="manifest" href="/app.webmanifest">
        <link rel="icon" href="/i.png">
        <LINK REL="MANIFEST" HREF="second.json">
        <link rel="manifest" href="https://example.com/app.webmanifest">
        <link rel="manifest">
        <link rel="manifest" href="/third.json">
        <link rel="manifest" href="/fourth.json">)");

    const std::vector<QUrl> expected{
        url("https://example.com/app.webmanifest"), url("https://example.com/dir/second.json"),
        url("https://example.com/third.json"), url("https://example.com/fourth.json")};
    EXPECT_EQ(WebIconParser::manifestURLs(html, page), expected);
}

TEST(WebIconParser, scoresManifestIcons) {
    const QUrl manifest(QStringLiteral("https://example.com/app/manifest.json"));
    const QByteArray json = R"({"name": "x", "icons": [
        {"src": "any.png", "sizes": "192x192", "type": "image/png", "purpose": "any maskable"},
        {"src": "mask.png", "sizes": "192x192", "type": "image/png", "purpose": "maskable"},
        {"src": "/MASK.png", "sizes": "192x192", "type": "image/png", "purpose": "MASKABLE"},
        {"src": "plain.webp", "type": "image/webp", "purpose": 5},
        {"src": "numbers.png", "sizes": 512, "type": 7},
        {"src": "vector.svg", "sizes": "any", "type": "image/svg+xml"},
        {"sizes": "512x512"},
        {"src": 12},
        {"src": "bad url.png"}]})";

    const std::vector<WebIconCandidate> expected{
        {url("https://example.com/app/any.png"), 880 + 48 + 80},
        {url("https://example.com/app/vector.svg"), 880 + 96 - 40},
        {url("https://example.com/app/plain.webp"), 880 + 40},
        {url("https://example.com/MASK.png"), 880 + 48 + 80 - 120},
        {url("https://example.com/app/mask.png"), 880 + 48 + 80 - 120},
        {url("https://example.com/app/numbers.png"), 880},
    };
    EXPECT_EQ(WebIconParser::iconCandidatesFromManifestData(json, manifest), expected);
}

TEST(WebIconParser, ignoresManifestsOfTheWrongShape) {
    const QUrl manifest(QStringLiteral("https://example.com/m.json"));
    const std::array<const char*, 7> manifests{{
        "not json",
        R"([{"src": "/a.png"}])",
        R"({"name": "no icons"})",
        R"({"icons": {"src": "/a.png"}})",
        R"({"icons": [{"src": "/a.png"}, "/b.png"]})",
        R"({"icons": [{"src": "/a.png"}, null]})",
        "",
    }};
    for (const char* json : manifests) {
        SCOPED_TRACE(json);
        EXPECT_TRUE(WebIconParser::iconCandidatesFromManifestData(json, manifest).empty());
    }
}

TEST(WebIconParser, readsAttributesLikeTheRegularExpression) {
    using Attributes = std::map<QString, QString>;
    const std::array<std::pair<const char*, Attributes>, 3> cases{{
        {R"(<link REL=Icon href="a b" Data-X.Y:Z=1 empty="" single='say "hi"' bare>)",
         Attributes{{QStringLiteral("data-x.y:z"), QStringLiteral("1")},
                    {QStringLiteral("empty"), QString()},
                    {QStringLiteral("href"), QStringLiteral("a b")},
                    {QStringLiteral("rel"), QStringLiteral("Icon")},
                    {QStringLiteral("single"), QStringLiteral("say \"hi\"")}}},
        // An unterminated quote gives its attribute no value; scanning goes on after it.
        {R"(<link a="unterminated b=2>)", Attributes{{QStringLiteral("b"), QStringLiteral("2")}}},
        {R"(<link 9x=1 -y=2 _z=3>)", Attributes{{QStringLiteral("x"), QStringLiteral("1")},
                                                {QStringLiteral("y"), QStringLiteral("2")},
                                                {QStringLiteral("_z"), QStringLiteral("3")}}},
    }};
    for (const auto& [tag, expected] : cases) {
        SCOPED_TRACE(tag);
        EXPECT_EQ(WebIconParser::attributesInTag(QString::fromLatin1(tag)), expected);
    }
}

TEST(WebIconParser, hostileMarkupTakesLinearTime) {
    // Quadratic scanning of either input would keep this test busy for hours.
    const QString openings = QStringLiteral("<link ").repeated(400'000);
    EXPECT_TRUE(WebIconParser::linkTags(openings).empty());

    const QString longName = QStringLiteral("<link ") + QString(1'000'000, u'a') + u'>';
    EXPECT_TRUE(WebIconParser::attributesInTag(longName).empty());

    const QString unterminated =
        QStringLiteral("<link rel=icon href=/i.png>") + QStringLiteral("<link rel=\"icon");
    EXPECT_EQ(WebIconParser::linkTags(unterminated).size(), 1u);
}

struct PageURLCase {
    const char* input;
    // Empty when there is no page URL.
    const char* page;
};

TEST(WebIconParser, pageURLDefaultsTheSchemeAndNeedsAHost) {
    constexpr std::array<PageURLCase, 9> cases{{
        {"example.com", "https://example.com"},
        {"example.com/news?id=1#top", "https://example.com/news?id=1"},
        {"//example.com/x", "https://example.com/x"},
        {"http://Example.COM/a?b#c", "http://example.com/a?b"},
        {"https://example.com", "https://example.com"},
        {"/relative/path", ""},
        {"mailto:someone@example.com", ""},
        {"file:///etc/hosts", ""},
        {"", ""},
    }};
    for (const PageURLCase& row : cases) {
        SCOPED_TRACE(row.input);
        const std::optional<QUrl> pageURL = webIconPageURL(QUrl(QString::fromLatin1(row.input)));
        if (*row.page == '\0') {
            EXPECT_EQ(pageURL, std::nullopt);
        } else {
            ASSERT_TRUE(pageURL.has_value());
            EXPECT_EQ(webIconAbsoluteString(*pageURL), QString::fromLatin1(row.page));
        }
    }
}

} // namespace
