#include "QuorixMacCore/Editor/WebIconResolver.h"

#include "QuorixMacCore/Support/LoopbackHttpServer.h"
#include "QuorixMacCore/Support/TestImages.h"
#include "QuorixMacCore/Support/Waiting.h"

#include <QNetworkAccessManager>

#include <gtest/gtest.h>
#include <thread>

using namespace quorix;
using quorix::test::LoopbackHttpServer;
using quorix::testing::waitForResult;
using quorix::testing::waitUntil;
using std::chrono::milliseconds;
using Targets = std::vector<QByteArray>;

namespace {

QByteArray imageBytes(int width, int height) {
    const Bytes png =
        test::encodedImage(test::twoToneImage(width, height, Qt::cyan, Qt::red), "png");
    return QByteArray(reinterpret_cast<const char*>(png.data()), qsizetype(png.size()));
}

QSize imageSize(const WebIconData& data) {
    return data ? QImage::fromData(*data, "png").size() : QSize();
}

// Exactly `size` bytes; HTML, JSON and PNG readers all ignore the trailing blanks.
QByteArray paddedTo(QByteArray content, qint64 size) {
    return content.append(QByteArray(size - content.size(), ' '));
}

LoopbackHttpServer::Response png(const QByteArray& data) {
    return LoopbackHttpServer::ok(data, "image/png");
}

LoopbackHttpServer::Response html(const QByteArray& body) {
    return LoopbackHttpServer::ok(body, "text/html; charset=utf-8");
}

const Targets fallbackTargets{"/apple-touch-icon.png", "/apple-touch-icon-precomposed.png",
                              "/favicon-512x512.png", "/favicon-192x192.png", "/favicon.ico"};

class WebIconResolverOverHTTP : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()) << "the HTTP fixture cannot listen"; }

    WebIconData resolve(const QUrl& url, WebIconResolver* using_ = nullptr) {
        const auto result = waitForResult((using_ ? using_ : &resolver)->iconData(url));
        EXPECT_TRUE(result.has_value()) << "the lookup never finished";
        return result.value_or(WebIconData());
    }

    bool requested(const QByteArray& target) const {
        const Targets targets = server.requestedTargets();
        return std::find(targets.begin(), targets.end(), target) != targets.end();
    }

    static constexpr WebIconTimeouts quick{milliseconds(1500), milliseconds(4000)};
    LoopbackHttpServer server;
    WebIconResolver resolver{nullptr, quick};
};

TEST_F(WebIconResolverOverHTTP, triesTheRootFilesInOrderAndDoesNotRememberFailure) {
    server.route("/", html("<html><head><title>nothing declared</title></head></html>"));
    Targets expected{"/"};
    expected.insert(expected.end(), fallbackTargets.begin(), fallbackTargets.end());
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(resolve(server.url(QStringLiteral("/"))), std::nullopt);
        EXPECT_EQ(server.requestedTargets(), expected);
        server.clearRequests();
    }
}

TEST_F(WebIconResolverOverHTTP, requestsPageThenThreeManifestsThenCandidatesBestFirst) {
    // Icons in other schemes rank high but are passed over; the FTP one would reach us.
    const QByteArray ftpLink =
        QStringLiteral("<link rel=apple-touch-icon href=ftp://127.0.0.1:%1/f.png>")
            .arg(server.port())
            .toUtf8();
    LoopbackHttpServer::Response page = html(R"html(
        <link rel="icon" href="/small.png" sizes="16x16" type="image/png">
        <link rel="apple-touch-icon" href="/touch.png" sizes="180x180">
        <LINK REL="SHORTCUT ICON" HREF="/legacy.ico">
        <LINK REL="MANIFEST"><link rel="manifest" href="/m1.json">
        <link rel=manifest href='/m2.json'><link rel="manifest" href="/m1.json">
        <link rel="manifest" href="/m3.json">
        <link rel="manifest" href="/m4.json">
        <link rel="apple-touch-icon-precomposed" href="data:image/png;base64,iVBORw0KGgo=">
        <link rel="apple-touch-icon" href="file:///etc/hostname">
        <link rel="apple-touch-icon" href="javascript:void(0)">)html" +
                                             ftpLink);
    page.headers.emplace_back("Set-Cookie", "session=secret; Path=/");
    server.route("/start", page);
    server.route("/m1.json", LoopbackHttpServer::ok(R"({"icons": [
        {"src": "/maskable.png", "sizes": "512x512", "type": "image/png", "purpose": "maskable"},
        {"src": "any.png", "sizes": "192x192", "type": "image/png", "purpose": "any maskable"}]})",
                                                    "application/manifest+json"));
    server.route("/m3.json", LoopbackHttpServer::ok(R"({"icons": [{"src": "/m3.webp"}]})", "x"));
    server.route("/m4.json", LoopbackHttpServer::ok(R"({"icons": [{"src": "/m4.png"}]})", "x"));
    server.route("/touch.png", png("this is no image"));
    server.route("/maskable.png", png(imageBytes(64, 64)));

    const std::optional<URL> record =
        URL::parse(server.url(QStringLiteral("/start#section")).toString().toStdString());
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(imageSize(waitForResult(resolver.iconData(*record)).value_or(WebIconData())),
              QSize(64, 64));
    // any.png 1008 is missing, touch.png 1005 does not decode, maskable.png 968 does.
    EXPECT_EQ(server.requestedTargets(), (Targets{"/start", "/m1.json", "/m2.json", "/m3.json",
                                                  "/any.png", "/touch.png", "/maskable.png"}));
    for (const LoopbackHttpServer::Request& request : server.requests()) {
        SCOPED_TRACE(request.target.toStdString());
        EXPECT_EQ(request.header("User-Agent"), "Quorix/1.0");
        EXPECT_EQ(request.header("Cookie"), QByteArray());
        EXPECT_EQ(request.header("Accept"), request.target == "/start" ? WebIconResolver::pageAccept
                                            : request.target.endsWith(".json")
                                                ? WebIconResolver::manifestAccept
                                                : WebIconResolver::iconAccept);
    }
}

TEST_F(WebIconResolverOverHTTP, fetchesEachHostOnceInAnyLetterCaseForCallsFromAnyThread) {
    server.route("/", html(R"(<link rel="icon" href="/icon.png">)"));
    server.route("/icon.png", png(imageBytes(1024, 512)));
    QFuture<WebIconData> first;
    std::thread([&] {
        first = resolver.iconData(QUrl(QStringLiteral("http://localhost:%1/").arg(server.port())));
    }).join();
    // Asked while the first lookup is under way: it waits for that one.
    const QFuture<WebIconData> second =
        resolver.iconData(QUrl(QStringLiteral("http://LOCALHOST:%1/other").arg(server.port())));
    const WebIconData icon = waitForResult(first).value_or(WebIconData());
    EXPECT_EQ(imageSize(icon), QSize(512, 256));
    EXPECT_EQ(waitForResult(second), std::make_optional(icon));
    EXPECT_EQ(server.requestedTargets(), (Targets{"/", "/icon.png"}));
    server.clearRequests();

    EXPECT_EQ(resolve(QUrl(QStringLiteral("http://LOCALHOST:%1/x?y").arg(server.port()))), icon);
    EXPECT_EQ(resolve(QUrl(QStringLiteral("http://LocalHost:%1").arg(server.port()))), icon);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(resolver.cachedIconData(QStringLiteral("LOCALHOST")), icon);
    EXPECT_EQ(resolver.cachedIconData(QStringLiteral("127.0.0.1")), std::nullopt);
}

TEST_F(WebIconResolverOverHTTP, bodyLimitsHoldAtTheirBoundariesWithOrWithoutADeclaredLength) {
    const QByteArray pageLink = R"(<link rel="icon" href="/named.png">)";
    // Each body names (or is) the icon; refused, it leaves the lookup to the fallbacks.
    const std::tuple<QByteArray, LoopbackHttpServer::Response, qint64> bodies[] = {
        {"/", html(pageLink), WebIconResolver::maxPageBytes},
        {"/m.json",
         LoopbackHttpServer::ok(R"({"icons": [{"src": "/named.png"}]})",
                                "application/manifest+json"),
         WebIconResolver::maxManifestBytes},
        {"/named.png", png(imageBytes(20, 10)), WebIconResolver::maxIconBytes}};
    for (const auto& [target, response, limit] : bodies) {
        for (const qint64 excess : {0, 1}) {
            for (const bool declared : {true, false}) {
                SCOPED_TRACE(target.toStdString() + (excess ? " over" : " at the limit") +
                             (declared ? ", declared" : ", undeclared"));
                server.route("/",
                             html(target == "/m.json" ? R"(<link rel="manifest" href="/m.json">)"
                                                      : pageLink));
                server.route("/named.png", png(imageBytes(20, 10)));
                LoopbackHttpServer::Response padded = response;
                padded.body = paddedTo(padded.body, limit + excess);
                padded.undeclaredLength = !declared;
                server.route(target, padded);
                server.clearRequests();
                WebIconResolver fresh(nullptr, quick);

                EXPECT_EQ(imageSize(resolve(server.url(QStringLiteral("/")), &fresh)),
                          excess == 0 ? QSize(20, 10) : QSize());
                EXPECT_EQ(requested("/favicon.ico"), excess != 0);
            }
        }
    }
}

TEST_F(WebIconResolverOverHTTP, cutsEndlessBodiesOffWhileTheyArrive) {
    LoopbackHttpServer::Response endless;
    endless.streamedBytes = 5'000'000'000;
    server.route("/apple-touch-icon.png", endless);
    endless.undeclaredLength = true;
    server.route("/apple-touch-icon-precomposed.png", endless);
    server.route("/favicon-512x512.png", png(imageBytes(12, 12)));
    // The full ten seconds a transfer may last: only the byte limit can stop it early.
    WebIconResolver patient;

    EXPECT_EQ(imageSize(resolve(server.url(QStringLiteral("/")), &patient)), QSize(12, 12));
    // Socket buffers let some megabytes more through; reading on until the time is up
    // moves several times this much here.
    constexpr qint64 ceiling = WebIconResolver::maxIconBytes + 19'000'000;
    EXPECT_LT(server.bodyBytesSent("/apple-touch-icon.png"), ceiling);
    EXPECT_LT(server.bodyBytesSent("/apple-touch-icon-precomposed.png"), ceiling);
}

TEST_F(WebIconResolverOverHTTP, followsRedirectsReadingReferencesAgainstTheFinalPage) {
    server.route("/", LoopbackHttpServer::redirect(302, "/home/index.html"));
    server.route("/home/index.html", html(R"(<link rel="icon" href="icon.png">)"));
    server.route("/home/icon.png", LoopbackHttpServer::redirect(301, "/static/icon.png"));
    server.route("/static/icon.png", png(imageBytes(40, 40)));
    server.route("/loop", LoopbackHttpServer::redirect(302, "/loop"));

    EXPECT_EQ(imageSize(resolve(server.url(QStringLiteral("/")))), QSize(40, 40));
    EXPECT_EQ(server.requestedTargets(),
              (Targets{"/", "/home/index.html", "/home/icon.png", "/static/icon.png"}));

    server.clearRequests();
    WebIconResolver fresh(nullptr, quick);
    EXPECT_EQ(resolve(server.url(QStringLiteral("/loop")), &fresh), std::nullopt);
    const Targets targets = server.requestedTargets();
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "/loop"),
              WebIconResolver::maxRedirects + 1);
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

    EXPECT_EQ(imageSize(resolve(server.url(QStringLiteral("/")), &impatient)), QSize(14, 14));
    EXPECT_LT(server.bodyBytesSent("/apple-touch-icon-precomposed.png"), 100);
}

TEST_F(WebIconResolverOverHTTP, endsLookupsWhoseNetworkClientGoesAway) {
    LoopbackHttpServer::Response silent;
    silent.delay = std::chrono::seconds(30);
    server.route("/", silent);
    auto* session = new QNetworkAccessManager;
    WebIconResolver borrowing(session, quick);
    const QFuture<WebIconData> lookup = borrowing.iconData(server.url(QStringLiteral("/")));
    ASSERT_TRUE(waitUntil([&] { return !server.requests().empty(); }));

    delete session;

    EXPECT_EQ(waitForResult(lookup), std::make_optional(WebIconData()));
    EXPECT_EQ(server.requestedTargets(), Targets{"/"});
}

TEST(WebIconResolver, followsRedirectsOnlyToHttpAndNeverDownFromHttps) {
    const std::vector<std::tuple<const char*, const char*, bool>> cases{
        {"http://a.example/", "https://b.example/", true},
        {"https://a.example/", "https://b.example/x", true},
        {"https://a.example/", "http://a.example/", false},
        {"http://a.example/", "ftp://a.example/", false},
    };
    for (const auto& [from, to, allowed] : cases) {
        SCOPED_TRACE(std::string(from) + " -> " + to);
        EXPECT_EQ(WebIconResolver::allowsRedirect(QUrl(QString::fromLatin1(from)),
                                                  QUrl(QString::fromLatin1(to))),
                  allowed);
    }
}

} // namespace
