#include "QuorixMacCore/Editor/WebIconResolver.h"

#include "QuorixMacCore/Editor/EditorLogging.h"
#include "QuorixMacCore/Editor/WebBrandIcons.h"
#include "QuorixMacCore/Platform/RasterImages.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPromise>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <array>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

namespace quorix {

struct WebIconCache {
    mutable std::mutex lock;
    std::map<QString, Bytes> dataByHost;
    // Lookups under way: the buttons of one site asking at once (at start-up, say) share
    // one instead of each fetching the site.
    std::map<QString, QFuture<WebIconData>> lookupsByHost;

    WebIconData find(const QString& host) const {
        const std::scoped_lock guard(lock);
        const auto found = dataByHost.find(host);
        if (found == dataByHost.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    /// The icon held for `host`, else the lookup under way for it, else the one `start`
    /// begins (`start` must not finish it before returning).
    QFuture<WebIconData> findOrStart(const QString& host,
                                     const std::function<QFuture<WebIconData>()>& start) {
        const std::scoped_lock guard(lock);
        if (const auto found = dataByHost.find(host); found != dataByHost.end()) {
            return QtFuture::makeReadyFuture(WebIconData(found->second));
        }
        if (const auto running = lookupsByHost.find(host); running != lookupsByHost.end()) {
            return running->second;
        }
        QFuture<WebIconData> started = start();
        lookupsByHost.emplace(host, started);
        return started;
    }

    /// Failures are not kept, so a later call tries again.
    void lookupFinished(const QString& host, const WebIconData& result) {
        const std::scoped_lock guard(lock);
        lookupsByHost.erase(host);
        if (result) {
            dataByHost.insert_or_assign(host, *result);
        }
    }
};

namespace {

struct FallbackFile {
    QLatin1String name;
    int score = 0;
};

// Tried when a page declares nothing better; most sites serve at least one of these.
constexpr std::array<FallbackFile, 5> fallbackFiles{{
    {QLatin1String("apple-touch-icon.png"), 620},
    {QLatin1String("apple-touch-icon-precomposed.png"), 600},
    {QLatin1String("favicon-512x512.png"), 540},
    {QLatin1String("favicon-192x192.png"), 520},
    {QLatin1String("favicon.ico"), 500},
}};
static_assert(fallbackFiles.size() == 5);

// The network client reads ahead of us only this far, so a body over its limit stops
// arriving soon after the limit instead of filling memory while we catch up.
constexpr qint64 readBufferBytes = qint64{256} * 1024;

bool isFetchable(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("https") || scheme == QLatin1String("http");
}

QString decodedText(const QByteArray& body) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(body);
    if (!utf8.hasError()) {
        return text;
    }
    return QString::fromLatin1(body);
}

struct ParsedPage {
    std::vector<WebIconCandidate> candidates;
    std::vector<QUrl> manifests;
};

struct Download {
    QByteArray body;
    // Where the body came from after redirects: the base for the references it holds.
    QUrl url;
};

/// One `iconData` call: a chain of requests, one at a time, on the thread of the network
/// client. Deletes itself when it has delivered its result.
class IconLookup final : public QObject {
public:
    using DownloadHandler = std::function<void(std::optional<Download>)>;

    IconLookup(QUrl pageURL, QString host, std::shared_ptr<WebIconCache> cache,
               QPointer<QNetworkAccessManager> session, WebIconResolver::Timeouts timeouts)
        : m_pageURL(std::move(pageURL))
        , m_host(std::move(host))
        , m_cache(std::move(cache))
        , m_session(std::move(session))
        , m_timeouts(timeouts) {
        m_resourceTimer.setSingleShot(true);
        connect(&m_resourceTimer, &QTimer::timeout, this,
                [this] { completeDownload(std::nullopt); });
        m_promise.start();
    }

    ~IconLookup() override {
        if (!m_finished) {
            deliver(std::nullopt);
        }
    }

    QFuture<WebIconData> future() { return m_promise.future(); }

    void start() {
        m_candidates = WebIconResolver::fallbackCandidates(m_pageURL);
        download(m_pageURL, WebIconResolver::maxPageBytes, WebIconResolver::pageAccept,
                 [this](std::optional<Download> page) { pageArrived(std::move(page)); });
    }

private:
    void pageArrived(std::optional<Download> page) {
        if (!page) {
            tryCandidates();
            return;
        }
        QtConcurrent::run([page = std::move(*page)] {
            const QString html = decodedText(page.body);
            return ParsedPage{WebIconParser::iconCandidatesFromHTML(html, page.url),
                              WebIconParser::manifestURLs(html, page.url)};
        }).then(this, [this](ParsedPage parsed) {
            m_candidates.insert(m_candidates.end(), parsed.candidates.begin(),
                                parsed.candidates.end());
            if (parsed.manifests.size() > WebIconResolver::maxManifestsPerPage) {
                parsed.manifests.resize(WebIconResolver::maxManifestsPerPage);
            }
            m_manifests = std::move(parsed.manifests);
            fetchNextManifest();
        });
    }

    void fetchNextManifest() {
        if (m_nextManifest >= m_manifests.size()) {
            tryCandidates();
            return;
        }
        const QUrl url = m_manifests[m_nextManifest++];
        download(url, WebIconResolver::maxManifestBytes, WebIconResolver::manifestAccept,
                 [this](std::optional<Download> manifest) {
                     if (!manifest) {
                         fetchNextManifest();
                         return;
                     }
                     QtConcurrent::run([manifest = std::move(*manifest)] {
                         return WebIconParser::iconCandidatesFromManifestData(manifest.body,
                                                                              manifest.url);
                     }).then(this, [this](std::vector<WebIconCandidate> candidates) {
                         m_candidates.insert(m_candidates.end(), candidates.begin(),
                                             candidates.end());
                         fetchNextManifest();
                     });
                 });
    }

    void tryCandidates() {
        m_candidates = ranked(deduplicatedByURL(m_candidates));
        m_nextCandidate = 0;
        tryNextCandidate();
    }

    void tryNextCandidate() {
        if (m_nextCandidate >= m_candidates.size()) {
            qCDebug(lcEditor) << "No readable site icon for" << m_host;
            finish(std::nullopt);
            return;
        }
        const QUrl url = m_candidates[m_nextCandidate++].url;
        download(url, WebIconResolver::maxIconBytes, WebIconResolver::iconAccept,
                 [this](std::optional<Download> image) {
                     if (!image) {
                         tryNextCandidate();
                         return;
                     }
                     QtConcurrent::run([body = std::move(image->body)] {
                         return RasterImages::normalizedPNGData(
                             std::span(reinterpret_cast<const std::uint8_t*>(body.constData()),
                                       static_cast<std::size_t>(body.size())),
                             WebIconResolver::maxPixelSide);
                     }).then(this, [this](WebIconData png) {
                         if (!png) {
                             tryNextCandidate();
                             return;
                         }
                         finish(std::move(png));
                     });
                 });
    }

    void finish(WebIconData result) {
        deliver(std::move(result));
        deleteLater();
    }

    void deliver(WebIconData result) {
        m_finished = true;
        m_cache->lookupFinished(m_host, result);
        m_promise.addResult(std::move(result));
        m_promise.finish();
    }

    void download(const QUrl& url, qint64 maxBytes, const char* accept, DownloadHandler handler) {
        m_handler = std::move(handler);
        ++m_download;
        if (!isFetchable(url) || !m_session) {
            // Asynchronous even when refused, so a long list of unusable candidates
            // cannot recurse.
            failLater();
            return;
        }
        QNetworkRequest request(url);
        request.setRawHeader("Accept", accept);
        request.setRawHeader("User-Agent", WebIconResolver::userAgent);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
        request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
        request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute,
                             QNetworkRequest::Manual);
        // The client refuses https to http and non-HTTP targets itself under this policy;
        // asking it to wait for our verdict instead makes it resend requests whenever a
        // server closes the connection after a redirect.
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::NoLessSafeRedirectPolicy);
        request.setMaximumRedirectsAllowed(WebIconResolver::maxRedirects);
        request.setTransferTimeout(static_cast<int>(m_timeouts.request.count()));

        m_body.clear();
        m_limit = maxBytes;
        m_currentURL = url;
        m_redirects = 0;
        m_reply = m_session->get(request);
        m_reply->setReadBufferSize(readBufferBytes);
        connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] { checkDeclaredLength(); });
        connect(m_reply, &QNetworkReply::readyRead, this, [this] { readAvailable(); });
        connect(m_reply, &QNetworkReply::redirected, this,
                [this](const QUrl& target) { redirect(target); });
        connect(m_reply, &QNetworkReply::finished, this, [this] { replyFinished(); });
        // The client takes its replies down with it. Carry on only once it is gone, so the
        // next request does not reach a client in the middle of its destruction.
        connect(m_reply, &QObject::destroyed, this, [this] { failLater(); });
        m_resourceTimer.start(m_timeouts.resource);
    }

    // Fails the current download from the event loop, unless it has ended by then.
    void failLater() {
        QMetaObject::invokeMethod(
            this,
            [this, download = m_download] {
                if (download == m_download) {
                    completeDownload(std::nullopt);
                }
            },
            Qt::QueuedConnection);
    }

    void checkDeclaredLength() {
        if (!m_reply) {
            return;
        }
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray encoding = m_reply->rawHeader("Content-Encoding").trimmed().toLower();
        // A compressed length says nothing certain about the body we would keep.
        if ((status >= 300 && status < 400) || (!encoding.isEmpty() && encoding != "identity")) {
            return;
        }
        bool ok = false;
        const qlonglong declared =
            m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
        if (ok && declared > m_limit) {
            completeDownload(std::nullopt);
        }
    }

    void readAvailable() {
        while (m_reply && m_reply->bytesAvailable() > 0) {
            const QByteArray chunk =
                m_reply->read(std::min(m_reply->bytesAvailable(), m_limit + 1 - m_body.size()));
            m_body += chunk;
            if (m_body.size() > m_limit) {
                completeDownload(std::nullopt);
                return;
            }
            if (chunk.isEmpty()) {
                return;
            }
        }
    }

    // The client has already decided to follow; a redirect our own rule refuses ends the
    // request here all the same.
    void redirect(const QUrl& target) {
        const QUrl next = m_currentURL.resolved(target);
        if (++m_redirects > WebIconResolver::maxRedirects ||
            !WebIconResolver::allowsRedirect(m_currentURL, next)) {
            completeDownload(std::nullopt);
            return;
        }
        m_currentURL = next;
        m_body.clear();
    }

    void replyFinished() {
        readAvailable();
        if (!m_reply) {
            return;
        }
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (m_reply->error() != QNetworkReply::NoError || status < 200 || status > 299) {
            completeDownload(std::nullopt);
            return;
        }
        completeDownload(Download{std::exchange(m_body, {}), m_reply->url()});
    }

    void completeDownload(std::optional<Download> result) {
        m_resourceTimer.stop();
        if (QNetworkReply* reply = m_reply.data()) {
            m_reply = nullptr;
            reply->disconnect(this);
            if (reply->isRunning()) {
                reply->abort();
            }
            reply->deleteLater();
        }
        m_body.clear();
        if (DownloadHandler handler = std::exchange(m_handler, {})) {
            handler(std::move(result));
        }
    }

    QUrl m_pageURL;
    QString m_host;
    std::shared_ptr<WebIconCache> m_cache;
    QPointer<QNetworkAccessManager> m_session;
    WebIconResolver::Timeouts m_timeouts;
    QPromise<WebIconData> m_promise;
    bool m_finished = false;

    std::vector<WebIconCandidate> m_candidates;
    std::size_t m_nextCandidate = 0;
    std::vector<QUrl> m_manifests;
    std::size_t m_nextManifest = 0;

    // Tells a late failure notice of one download from the next download.
    quint64 m_download = 0;
    QPointer<QNetworkReply> m_reply;
    DownloadHandler m_handler;
    QByteArray m_body;
    qint64 m_limit = 0;
    QUrl m_currentURL;
    int m_redirects = 0;
    QTimer m_resourceTimer{this};
};

} // namespace

WebIconResolver::WebIconResolver(QNetworkAccessManager* session, Timeouts timeouts)
    : m_cache(std::make_shared<WebIconCache>())
    , m_timeouts(timeouts) {
    if (session == nullptr) {
        m_ownedSession = new QNetworkAccessManager();
        m_ownedSession->setAutoDeleteReplies(false);
        if (QCoreApplication* application = QCoreApplication::instance();
            application != nullptr && application->thread() != QThread::currentThread()) {
            m_ownedSession->moveToThread(application->thread());
        }
        session = m_ownedSession;
    }
    m_session = session;
}

WebIconResolver::~WebIconResolver() {
    if (m_ownedSession == nullptr) {
        return;
    }
    if (m_ownedSession->thread() == QThread::currentThread()) {
        delete m_ownedSession;
    } else {
        m_ownedSession->deleteLater();
    }
}

QFuture<WebIconData> WebIconResolver::iconData(const URL& url) {
    return iconData(toQUrl(url));
}

QFuture<WebIconData> WebIconResolver::iconData(const QUrl& url) {
    const std::optional<QUrl> pageURL = webIconPageURL(url);
    if (!pageURL) {
        return QtFuture::makeReadyFuture(WebIconData());
    }
    const QString host = pageURL->host().toLower();
    if (host.isEmpty()) {
        return QtFuture::makeReadyFuture(WebIconData());
    }
    const QPointer<QNetworkAccessManager> session = m_session;
    if (!session) {
        return QtFuture::makeReadyFuture(m_cache->find(host));
    }
    return m_cache->findOrStart(host, [&] {
        auto* lookup = new IconLookup(*pageURL, host, m_cache, session, m_timeouts);
        QFuture<WebIconData> future = lookup->future();
        lookup->moveToThread(session->thread());
        QMetaObject::invokeMethod(
            lookup, [lookup] { lookup->start(); }, Qt::QueuedConnection);
        return future;
    });
}

WebIconData WebIconResolver::cachedIconData(const QString& host) const {
    return m_cache->find(host.toLower());
}

std::vector<WebIconCandidate> WebIconResolver::fallbackCandidates(const QUrl& pageURL) {
    const std::optional<QUrl> origin = webIconOriginURL(pageURL);
    if (!origin) {
        return {};
    }
    std::vector<WebIconCandidate> candidates;
    candidates.reserve(fallbackFiles.size());
    for (const FallbackFile& file : fallbackFiles) {
        QUrl url = *origin;
        url.setPath(QLatin1Char('/') + file.name);
        candidates.push_back({url, file.score});
    }
    return candidates;
}

bool WebIconResolver::allowsRedirect(const QUrl& from, const QUrl& to) {
    if (!isFetchable(to) || to.host().isEmpty()) {
        return false;
    }
    return !(from.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 &&
             to.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0);
}

} // namespace quorix
