#include "QuorixMacCore/Editor/WebIconParser.h"

#include <gtest/gtest.h>

using namespace quorix;

namespace {

const QUrl page(QStringLiteral("https://example.com/dir/page.html"));

QUrl url(const char* text) {
    return QUrl(QString::fromLatin1(text));
}

TEST(WebIconParser, scoresEverySpellingOfALinkElement) {
    // The URL is on example.com unless it names its own scheme; none when there is no
    // candidate.
    const std::vector<std::tuple<const char*, const char*, int>> cases{
        {R"(<link rel="apple-touch-icon-precomposed" href="/p.png">)", "/p.png", 1000},
        {R"(<link rel="apple-touch-icon" href="/t.png" sizes="180x180">)", "/t.png", 1005},
        {R"(<link rel="shortcut icon" href="/f.ico">)", "/f.ico", 760},
        {R"(<link rel="icon shortcut" href="/f.ico" type="image/x-icon">)", "/f.ico", 760},
        {R"(<link rel="icon" href="/i.png" type="image/png" sizes="16x16 32x32">)", "/i.png",
         730 + 8 + 80},
        {R"(<link rel="icon" href="/i.svg" type="image/svg+xml" sizes="any">)", "/i.svg",
         730 + 96 - 40},
        {R"(<LINK REL="ICON" HREF="/UP.png">)", "/UP.png", 730},
        {R"(<link rel='icon' href='/s.png'>)", "/s.png", 730},
        {R"(<link rel=icon href=/u.png/>)", "/u.png/", 730},
        {"<link\n\trel = \"icon\"\n\thref =\t'/n.png' >", "/n.png", 730},
        {R"(<link rel="stylesheet" rel="icon" crossorigin href="/l.png">)", "/l.png", 730},
        {R"(<link rel="icon" href="icons/r.png">)", "/dir/icons/r.png", 730},
        {R"(<link rel="icon" href="//cdn.example.net/x.png">)", "https://cdn.example.net/x.png",
         730},
        {R"(<link a="unterminated rel=icon href=/q.png>)", "/q.png", 730},
        {R"(<link rel="mask-icon" href="/m.svg">)", nullptr, 0},
        {R"(<link rel="icon">)", nullptr, 0},
        {R"(<link rel="icon" href="/with space.png">)", nullptr, 0},
        {R"(<linked rel="icon" href="/no.png">)", nullptr, 0},
    };
    for (const auto& [html, expectedURL, expectedScore] : cases) {
        SCOPED_TRACE(html);
        std::vector<WebIconCandidate> expected;
        if (expectedURL) {
            const QString text = QString::fromLatin1(expectedURL);
            expected.push_back({text.contains(QStringLiteral("://"))
                                    ? QUrl(text)
                                    : QUrl(QStringLiteral("https://example.com") + text),
                                expectedScore});
        }
        EXPECT_EQ(WebIconParser::iconCandidatesFromHTML(QString::fromUtf8(html), page), expected);
    }
}

TEST(WebIconParser, sizeAndTypeScores) {
    const std::vector<std::pair<const char*, int>> sizes{
        {"", 0},      {"ANY", 96},  {"4096X4096", 128},
        {"30x31", 7}, {"large", 0}, {"99999999999999999999999x64", 16}};
    for (const auto& [value, score] : sizes) {
        EXPECT_EQ(WebIconParser::sizeScore(QString::fromLatin1(value)), score) << value;
    }
    EXPECT_EQ(WebIconParser::typeScore(QStringLiteral("IMAGE/PNG")), 80);
    EXPECT_EQ(WebIconParser::typeScore(QStringLiteral("image/jpg")), 40);
}

TEST(WebIconParser, keepsTheBestOfRepeatedURLsAndRanksTiesByURL) {
    const QString html = QStringLiteral(R"(
        <link rel="icon" href="/b.png"><link rel="icon" href="/a.png">
        <link rel="icon" href="/dup.png"><link rel="apple-touch-icon" href="/dup.png">
        <link rel="icon" href="/dup.png" type="image/svg+xml">)");
    const std::vector<WebIconCandidate> expected{{url("https://example.com/dup.png"), 960},
                                                 {url("https://example.com/a.png"), 730},
                                                 {url("https://example.com/b.png"), 730}};
    EXPECT_EQ(WebIconParser::iconCandidatesFromHTML(html, page), expected);
}

TEST(WebIconParser, scoresManifestIconsAndIgnoresManifestsOfTheWrongShape) {
    const QUrl manifest(QStringLiteral("https://example.com/app/manifest.json"));
    const QByteArray json = R"({"icons": [
        {"src": "any.png", "sizes": "192x192", "type": "image/png", "purpose": "any maskable"},
        {"src": "mask.png", "sizes": "192x192", "type": "image/png", "purpose": "MASKABLE"},
        {"src": "plain.webp", "type": "image/webp", "purpose": 5},
        {"src": "/numbers.png", "sizes": 512, "type": 7},
        {"sizes": "512x512"}, {"src": 12}, {"src": "bad url.png"}]})";
    const std::vector<WebIconCandidate> expected{
        {url("https://example.com/app/any.png"), 880 + 48 + 80},
        {url("https://example.com/app/plain.webp"), 880 + 40},
        {url("https://example.com/app/mask.png"), 880 + 48 + 80 - 120},
        {url("https://example.com/numbers.png"), 880},
    };
    EXPECT_EQ(WebIconParser::iconCandidatesFromManifestData(json, manifest), expected);

    for (const char* wrong :
         {"not json", R"([{"src": "/a.png"}])", R"({"icons": {"src": "/a.png"}})",
          R"({"icons": [{"src": "/a.png"}, "/b.png"]})"}) {
        EXPECT_TRUE(WebIconParser::iconCandidatesFromManifestData(wrong, manifest).empty())
            << wrong;
    }
}

TEST(WebIconParser, hostileMarkupTakesLinearTime) {
    // Rescanning from every opening or every name start would keep this busy for hours.
    EXPECT_TRUE(WebIconParser::linkTags(QStringLiteral("<link ").repeated(400'000)).empty());
    EXPECT_TRUE(WebIconParser::attributesInTag(QString(1'000'000, u'a')).empty());
    EXPECT_EQ(
        WebIconParser::linkTags(QStringLiteral("<link rel=icon href=/i.png><link rel=\"i")).size(),
        1u);
}

TEST(WebIconParser, pageURLDefaultsTheSchemeAndNeedsAHost) {
    EXPECT_EQ(webIconPageURL(url("example.com/news?id=1#top")),
              url("https://example.com/news?id=1"));
    EXPECT_EQ(webIconPageURL(url("http://Example.COM/a?b#c")), url("http://example.com/a?b"));
    EXPECT_EQ(webIconPageURL(url("/relative/path")), std::nullopt);
}

} // namespace
