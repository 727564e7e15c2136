#include "QuorixMacCore/Editor/WebIconResolver.h"

#include "QuorixMacCore/Support/FutureWaiting.h"
#include "QuorixMacCore/Support/LoopbackHttpServer.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <array>
#include <gtest/gtest.h>
#include <thread>

using namespace quorix;
using quorix::test::LoopbackHttpServer;
using std::chrono::milliseconds;

namespace {

QByteArray imageBytes(int width, int height, const char* format = "png") {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::darkCyan);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return data;
}

QSize pngSize(const QByteArray& data) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    return reader.read().size();
}

// A body of exactly `size` bytes that starts with `content`; HTML, JSON and PNG readers
// all ignore the trailing blanks.
QByteArray paddedTo(QByteArray content, qint64 size) {
    content.append(QByteArray(size - content.size(), ' '));
    return content;
}

LoopbackHttpServer::Response png(const QByteArray& data) {
    return LoopbackHttpServer::ok(data, "image/png");
}

LoopbackHttpServer::Response html(const QByteArray& body) {
    return LoopbackHttpServer::ok(body, "text/html; charset=utf-8");
}

const std::vector<QByteArray> fallbackTargets{
    "/apple-touch-icon.png", "/apple-touch-icon-precomposed.png", "/favicon-512x512.png",
    "/favicon-192x192.png", "/favicon.ico"};

class WebIconResolverOverHTTP : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.listen()) << "the loopback HTTP fixture could not listen";
    }

    WebIconData resolve(WebIconResolver& resolver, const QUrl& url) {
        const std::optional<WebIconData> result = test::waitForResult(resolver.iconData(url));
        EXPECT_TRUE(result.has_value())
            << "the lookup of " << url.toString().toStdString() << " never finished";
        return result.value_or(WebIconData());
    }

    WebIconData resolve(const QUrl& url) { return resolve(resolver, url); }

    bool requested(const QByteArray& target) const {
        const auto targets = server.requestedTargets();
        return std::find(targets.begin(), targets.end(), target) != targets.end();
    }

    static constexpr WebIconTimeouts quickTimeouts{milliseconds(1500), milliseconds(4000)};

    LoopbackHttpServer server;
    WebIconResolver resolver{nullptr, quickTimeouts};
};

TEST_F(WebIconResolverOverHTTP, triesTheRootFilesInTableOrderAndDoesNotRememberFailure) {
    server.route("/", html("<html><head><title>nothing declared</title></head></html>"));

    EXPECT_EQ(resolve(server.url(QStringLiteral("/"))), std::nullopt);
    std::vector<QByteArray> expected{"/"};
    expected.insert(expected.end(), fallbackTargets.begin(), fallbackTargets.end());
    EXPECT_EQ(server.requestedTargets(), expected);

    server.clearRequests();
    EXPECT_EQ(resolve(server.url(QStringLiteral("/"))), std::nullopt);
    EXPECT_EQ(server.requestedTargets(), expected);
}

TEST_F(WebIconResolverOverHTTP, requestsPageThenManifestsThenCandidatesBestFirst) {
    LoopbackHttpServer::Response page = html(R"(<html><head>
        <link rel="icon" href="/small.png" sizes="16x16" type="image/png">
        <link rel="apple-touch-icon" href="/touch.png" sizes="180x180">
        <LINK REL="SHORTCUT ICON" HREF="/legacy.ico">
        <link rel="manifest" href="/m1.json"><link rel=manifest href='/m2.json'>
        <link rel="manifest" href="/m1.json"><link rel="manifest" href="/m3.json">
        <link rel="manifest" href="/m4.json">
        </head></html>)");
    page.headers.emplace_back("Set-Cookie", "session=secret; Path=/");
    server.route("/start", page);
    server.route("/m1.json", LoopbackHttpServer::ok(R"({"icons": [
        {"src": "/maskable.png", "sizes": "512x512", "type": "image/png", "purpose": "maskable"},
        {"src": "any.png", "sizes": "192x192", "type": "image/png", "purpose": "any maskable"}]})",
                                                    "application/manifest+json"));
    server.route("/m3.json", LoopbackHttpServer::ok(R"({"icons": [{"src": "/m3.webp",
        "type": "image/webp"}]})",
                                                    "application/json"));
    server.route("/m4.json", LoopbackHttpServer::ok(R"({"icons": [{"src": "/m4.png",
        "sizes": "any", "type": "image/png"}]})",
                                                    "application/json"));
    server.route("/touch.png", LoopbackHttpServer::ok("this is no image", "image/png"));
    server.route("/maskable.png", png(imageBytes(64, 64)));

    const WebIconData icon = resolve(server.url(QStringLiteral("/start#section")));

    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(pngSize(*icon), QSize(64, 64));
    // any.png 1008 (404), touch.png 1005 (no image), maskable.png 968 (decodes); the
    // fourth manifest is past the limit of three.
    const std::vector<QByteArray> expected{"/start",   "/m1.json",   "/m2.json",     "/m3.json",
                                           "/any.png", "/touch.png", "/maskable.png"};
    EXPECT_EQ(server.requestedTargets(), expected);

    for (const LoopbackHttpServer::Request& request : server.requests()) {
        SCOPED_TRACE(request.target.toStdString());
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.header("User-Agent"), "Quorix/1.0");
        EXPECT_EQ(request.header("Cookie"), QByteArray());
        const QByteArray accept = request.target == "/start" ? WebIconResolver::pageAccept
                                  : request.target.endsWith(".json")
                                      ? WebIconResolver::manifestAccept
                                      : WebIconResolver::iconAccept;
        EXPECT_EQ(request.header("Accept"), accept);
    }
}

TEST_F(WebIconResolverOverHTTP, remembersIconsPerHostInAnyLetterCase) {
    server.route("/", html(R"(<link rel="icon" href="/icon.png">)"));
    server.route("/icon.png", png(imageBytes(48, 48)));
    const QString origin = QStringLiteral("http://localhost:%1").arg(server.port());

    const WebIconData first = resolve(QUrl(origin + QStringLiteral("/")));
    ASSERT_TRUE(first.has_value());
    server.clearRequests();

    EXPECT_EQ(resolve(QUrl(QStringLiteral("http://LOCALHOST:%1/elsewhere?x=1").arg(server.port()))),
              first);
    EXPECT_EQ(resolve(QUrl(QStringLiteral("http://LocalHost:%1").arg(server.port()))), first);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(resolver.cachedIconData(QStringLiteral("LOCALHOST")), first);
    EXPECT_EQ(resolver.cachedIconData(QStringLiteral("127.0.0.1")), std::nullopt);
}

TEST_F(WebIconResolverOverHTTP, acceptsCallsFromOtherThreads) {
    server.route("/apple-touch-icon.png", png(imageBytes(32, 32)));
    QFuture<WebIconData> future;
    std::thread caller([&] { future = resolver.iconData(server.url(QStringLiteral("/"))); });
    caller.join();

    const std::optional<WebIconData> icon = test::waitForResult(future);
    ASSERT_TRUE(icon.has_value());
    ASSERT_TRUE(icon->has_value());
    EXPECT_EQ(pngSize(**icon), QSize(32, 32));
}

TEST_F(WebIconResolverOverHTTP, bringsLargeImagesDownToFiveHundredTwelvePixels) {
    server.route("/apple-touch-icon.png", png(imageBytes(1024, 512)));

    const WebIconData icon = resolve(server.url(QStringLiteral("/")));

    ASSERT_TRUE(icon.has_value());
    EXPECT_TRUE(icon->startsWith("\x89PNG\r\n\x1a\n"));
    EXPECT_EQ(pngSize(*icon), QSize(512, 256));
}

TEST_F(WebIconResolverOverHTTP, requestsNothingButHttpAndHttps) {
    EXPECT_EQ(resolve(QUrl(QStringLiteral("ftp://127.0.0.1:%1/").arg(server.port()))),
              std::nullopt);
    EXPECT_EQ(resolve(QUrl(QStringLiteral("mailto:someone@example.com"))), std::nullopt);
    EXPECT_EQ(resolve(QUrl(QStringLiteral("/only/a/path"))), std::nullopt);
    EXPECT_TRUE(server.requests().empty());

    const QByteArray ftp = QStringLiteral("ftp://127.0.0.1:%1/ftp.png").arg(server.port()).toUtf8();
    server.route("/", html(R"html(
        <link rel="apple-touch-icon-precomposed" href="data:image/png;base64,iVBORw0KGgo=">
        <link rel="apple-touch-icon" href="file:///etc/hostname">
        <link rel="apple-touch-icon" href="javascript:void(0)">
        <link rel="icon" href="/ok.png">)html" +
                           QByteArray(R"(<link rel="apple-touch-icon" href=")") + ftp + "\">"));
    server.route("/ok.png", png(imageBytes(16, 16)));

    EXPECT_TRUE(resolve(server.url(QStringLiteral("/"))).has_value());
    EXPECT_EQ(server.requestedTargets(), (std::vector<QByteArray>{"/", "/ok.png"}));
}

TEST_F(WebIconResolverOverHTTP, acceptsTheRecordURLOfALayout) {
    server.route("/favicon.ico", LoopbackHttpServer::ok(imageBytes(24, 24, "ico"), "image/x-icon"));
    const std::optional<URL> url =
        URL::parse(server.url(QStringLiteral("/a")).toString().toStdString());
    ASSERT_TRUE(url.has_value());

    const std::optional<WebIconData> icon = test::waitForResult(resolver.iconData(*url));

    ASSERT_TRUE(icon.has_value());
    ASSERT_TRUE(icon->has_value());
    EXPECT_EQ(pngSize(**icon), QSize(24, 24));
}

struct BodyLimitCase {
    const char* name;
    bool inManifest;
    qint64 size;
    bool parsed;
};

TEST_F(WebIconResolverOverHTTP, pageAndManifestLimitsHoldAtTheirBoundaries) {
    constexpr std::array<BodyLimitCase, 4> cases{{
        {"page at the limit", false, WebIconResolver::maxPageBytes, true},
        {"page one byte over", false, WebIconResolver::maxPageBytes + 1, false},
        {"manifest at the limit", true, WebIconResolver::maxManifestBytes, true},
        {"manifest one byte over", true, WebIconResolver::maxManifestBytes + 1, false},
    }};
    server.route("/declared.png", png(imageBytes(8, 8)));
    for (const bool declared : {true, false}) {
        for (const BodyLimitCase& row : cases) {
            SCOPED_TRACE(std::string(row.name) + (declared ? ", length declared" : ", undeclared"));
            LoopbackHttpServer::Response body;
            if (row.inManifest) {
                server.route("/", html(R"(<link rel="manifest" href="/m.json">)"));
                body = LoopbackHttpServer::ok(
                    paddedTo(R"({"icons": [{"src": "/declared.png"}]})", row.size),
                    "application/json");
            } else {
                body = html(paddedTo(R"(<link rel="icon" href="/declared.png">)", row.size));
            }
            body.undeclaredLength = !declared;
            server.route(row.inManifest ? "/m.json" : "/", body);
            server.clearRequests();
            WebIconResolver fresh(nullptr, quickTimeouts);

            const WebIconData icon = resolve(fresh, server.url(QStringLiteral("/")));

            EXPECT_EQ(icon.has_value(), row.parsed);
            EXPECT_EQ(requested("/declared.png"), row.parsed);
            EXPECT_EQ(requested("/favicon.ico"), !row.parsed);
        }
    }
}

TEST_F(WebIconResolverOverHTTP, imageLimitHoldsAtItsBoundary) {
    for (const bool declared : {true, false}) {
        SCOPED_TRACE(declared ? "length declared" : "undeclared");
        LoopbackHttpServer::Response over =
            png(paddedTo(imageBytes(20, 10), WebIconResolver::maxIconBytes + 1));
        LoopbackHttpServer::Response atLimit =
            png(paddedTo(imageBytes(30, 10), WebIconResolver::maxIconBytes));
        over.undeclaredLength = atLimit.undeclaredLength = !declared;
        server.route("/apple-touch-icon.png", over);
        server.route("/apple-touch-icon-precomposed.png", atLimit);
        WebIconResolver fresh(nullptr, quickTimeouts);

        const WebIconData icon = resolve(fresh, server.url(QStringLiteral("/")));

        ASSERT_TRUE(icon.has_value());
        EXPECT_EQ(pngSize(*icon), QSize(30, 10));
    }
}

TEST_F(WebIconResolverOverHTTP, cutsEndlessBodiesOffWhileTheyArrive) {
    constexpr qint64 fiveGigabytes = 5'000'000'000;
    LoopbackHttpServer::Response declared;
    declared.streamedBytes = fiveGigabytes;
    LoopbackHttpServer::Response undeclared = declared;
    undeclared.undeclaredLength = true;
    server.route("/apple-touch-icon.png", declared);
    server.route("/apple-touch-icon-precomposed.png", undeclared);
    server.route("/favicon-512x512.png", png(imageBytes(12, 12)));

    const WebIconData icon = resolve(server.url(QStringLiteral("/")));

    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(pngSize(*icon), QSize(12, 12));
    // Socket buffers let some megabytes more through; a download would be gigabytes.
    constexpr qint64 generousCeiling = 64'000'000;
    EXPECT_LT(server.bodyBytesSent("/apple-touch-icon.png"), generousCeiling);
    EXPECT_LT(server.bodyBytesSent("/apple-touch-icon-precomposed.png"), generousCeiling);
}

TEST_F(WebIconResolverOverHTTP, followsRedirectsAndReadsReferencesAgainstTheFinalPage) {
    server.route("/", LoopbackHttpServer::redirect(302, "/home/index.html"));
    server.route("/home/index.html", html(R"(<link rel="icon" href="icon.png">)"));
    server.route("/home/icon.png", LoopbackHttpServer::redirect(301, "/static/icon.png"));
    server.route("/static/icon.png", png(imageBytes(40, 40)));

    const WebIconData icon = resolve(server.url(QStringLiteral("/")));

    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(pngSize(*icon), QSize(40, 40));
    EXPECT_EQ(
        server.requestedTargets(),
        (std::vector<QByteArray>{"/", "/home/index.html", "/home/icon.png", "/static/icon.png"}));
}

TEST_F(WebIconResolverOverHTTP, givesUpOnRedirectLoops) {
    server.route("/loop", LoopbackHttpServer::redirect(302, "/loop"));

    EXPECT_EQ(resolve(server.url(QStringLiteral("/loop"))), std::nullopt);

    const auto targets = server.requestedTargets();
    const auto loops = std::count(targets.begin(), targets.end(), QByteArray("/loop"));
    EXPECT_GT(loops, 1);
    EXPECT_LE(loops, WebIconResolver::maxRedirects + 1);
    EXPECT_TRUE(requested("/favicon.ico"));
}

TEST_F(WebIconResolverOverHTTP, movesOnFromSilentAndDawdlingServers) {
    WebIconResolver impatient(nullptr, WebIconTimeouts{milliseconds(500), milliseconds(2000)});
    LoopbackHttpServer::Response silent = png(imageBytes(10, 10));
    silent.delay = std::chrono::seconds(30);
    LoopbackHttpServer::Response dawdling = png(QByteArray(100, 'x'));
    dawdling.dripInterval = milliseconds(100);
    server.route("/apple-touch-icon.png", silent);
    server.route("/apple-touch-icon-precomposed.png", dawdling);
    server.route("/favicon-512x512.png", png(imageBytes(14, 14)));

    const WebIconData icon = resolve(impatient, server.url(QStringLiteral("/")));

    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(pngSize(*icon), QSize(14, 14));
    EXPECT_LT(server.bodyBytesSent("/apple-touch-icon-precomposed.png"), 100);
}

struct RedirectCase {
    const char* from;
    const char* to;
    bool allowed;
};

TEST(WebIconResolver, followsRedirectsOnlyToHttpAndNeverDownFromHttps) {
    constexpr std::array<RedirectCase, 8> cases{{
        {"http://a.example/", "http://b.example/", true},
        {"http://a.example/", "https://a.example/", true},
        {"https://a.example/", "https://b.example/x", true},
        {"https://a.example/", "http://a.example/", false},
        {"HTTPS://a.example/", "HTTP://a.example/", false},
        {"http://a.example/", "ftp://a.example/", false},
        {"http://a.example/", "file:///etc/passwd", false},
        {"http://a.example/", "data:text/plain,hi", false},
    }};
    for (const RedirectCase& row : cases) {
        SCOPED_TRACE(std::string(row.from) + " -> " + row.to);
        EXPECT_EQ(WebIconResolver::allowsRedirect(QUrl(QString::fromLatin1(row.from)),
                                                  QUrl(QString::fromLatin1(row.to))),
                  row.allowed);
    }
}

TEST(WebIconResolver, fallbacksSitAtTheOriginOfThePage) {
    const std::vector<WebIconCandidate> fallbacks = WebIconResolver::fallbackCandidates(
        QUrl(QStringLiteral("http://user@Example.com:8080/a/b.html?q=1#f")));
    const std::vector<WebIconCandidate> expected{
        {QUrl(QStringLiteral("http://user@example.com:8080/apple-touch-icon.png")), 620},
        {QUrl(QStringLiteral("http://user@example.com:8080/apple-touch-icon-precomposed.png")),
         600},
        {QUrl(QStringLiteral("http://user@example.com:8080/favicon-512x512.png")), 540},
        {QUrl(QStringLiteral("http://user@example.com:8080/favicon-192x192.png")), 520},
        {QUrl(QStringLiteral("http://user@example.com:8080/favicon.ico")), 500},
    };
    EXPECT_EQ(fallbacks, expected);
}

} // namespace
