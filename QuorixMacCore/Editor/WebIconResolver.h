#pragma once

#include "QuorixMacCore/Editor/WebIconParser.h"
#include "QuorixProtocol/Foundation.h"

#include <QFuture>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

class QNetworkAccessManager;

namespace quorix {

/// PNG bytes of a site icon, or nothing.
using WebIconData = std::optional<Bytes>;

/// Finds the icon of the web site a URL belongs to.
class WebIconResolving {
public:
    virtual ~WebIconResolving() = default;

    /// PNG bytes of the best readable icon of the site `url` belongs to (longer side at
    /// most 512 pixels), or nothing. Never blocks: call it from any thread, the main one
    /// included. The future always finishes with a value and is never cancelled; attach
    /// continuations with a context object to get the result on the thread you want.
    virtual QFuture<WebIconData> iconData(const URL& url) = 0;
};

struct WebIconCache;

/// How long one icon request may take.
struct WebIconTimeouts {
    /// Idle time without any bytes moving.
    std::chrono::milliseconds request{5000};
    /// The whole life of the request, redirects included.
    std::chrono::milliseconds resource{10000};
};

/// Looks site icons up over HTTP: well-known root files, the page's link elements and
/// its web app manifests, best candidate first, and remembers the first icon that
/// decodes for each host for the life of the resolver. Calls for a host whose lookup is
/// under way share it, whichever page of the site they name. Failures are not
/// remembered, so a later call tries again. One resolver is meant to serve the whole
/// program (the controller hands its own around), so that each site is fetched once.
///
/// Requests carry no cookies, credentials or cached data; every request of one lookup
/// runs after the previous one, and bodies over their limit are cut off while they
/// arrive. Redirects are followed a few times, never from https to http.
class WebIconResolver final : public WebIconResolving {
public:
    using Timeouts = WebIconTimeouts;

    static constexpr qint64 maxIconBytes = 5'000'000;
    static constexpr qint64 maxPageBytes = 2'000'000;
    static constexpr qint64 maxManifestBytes = 1'000'000;
    static constexpr std::size_t maxManifestsPerPage = 3;
    static constexpr int maxPixelSide = 512;
    static constexpr int maxRedirects = 5;

    static constexpr const char* userAgent = "Quorix/1.0";
    static constexpr const char* iconAccept =
        "image/png,image/webp,image/jpeg,image/x-icon,image/*,*/*;q=0.8";
    static constexpr const char* pageAccept = "text/html,application/xhtml+xml";
    static constexpr const char* manifestAccept = "*/*";

    /// Uses `session` (not owned) or, when none is given, a network client of its own.
    /// Lookups run on the thread `session` belongs to; those still running when it goes
    /// away finish with nothing.
    explicit WebIconResolver(QNetworkAccessManager* session = nullptr, Timeouts timeouts = {});
    ~WebIconResolver() override;
    WebIconResolver(const WebIconResolver&) = delete;
    WebIconResolver& operator=(const WebIconResolver&) = delete;

    QFuture<WebIconData> iconData(const URL& url) override;
    QFuture<WebIconData> iconData(const QUrl& url);

    /// What the cache holds for `host` (any letter case), without network access.
    WebIconData cachedIconData(const QString& host) const;

    /// The well-known root files of the page's site with their scores, in table order.
    static std::vector<WebIconCandidate> fallbackCandidates(const QUrl& pageURL);

    /// Whether a request may follow a redirect from `from` to `to`.
    static bool allowsRedirect(const QUrl& from, const QUrl& to);

private:
    std::shared_ptr<WebIconCache> m_cache;
    QNetworkAccessManager* m_ownedSession = nullptr;
    QPointer<QNetworkAccessManager> m_session;
    Timeouts m_timeouts;
};

} // namespace quorix
