#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <map>
#include <optional>
#include <vector>

namespace quorix {

/// A place an icon of a site may be downloaded from; a higher score is a better icon.
struct WebIconCandidate {
    /// Absolute.
    QUrl url;
    int score = 0;

    bool operator==(const WebIconCandidate&) const = default;
};

/// The text form candidates are compared, deduplicated and ordered by.
QString webIconAbsoluteString(const QUrl& url);

/// The page a site icon is looked up for: `url` without its fragment, with the scheme
/// "https" when it has none (a bare host name such as "example.com" counts as a host).
/// Nothing when no host can be found.
std::optional<QUrl> webIconPageURL(const QUrl& url);

/// The root of the page's site (scheme, user, host and port; no path, query or fragment).
std::optional<QUrl> webIconOriginURL(const QUrl& pageURL);

/// One candidate per URL: the highest score wins, the earlier one on a tie. The order of
/// the result is unspecified.
std::vector<WebIconCandidate> deduplicatedByURL(const std::vector<WebIconCandidate>& candidates);

/// Best first; equal scores by ascending URL text. Stable.
std::vector<WebIconCandidate> ranked(std::vector<WebIconCandidate> candidates);

/// The URLs in their order without repetitions (by URL text, the first one kept).
std::vector<QUrl> deduplicated(const std::vector<QUrl>& urls);

/// Finds declared site icons in page HTML and web app manifests. Pure text processing,
/// safe from any thread.
namespace WebIconParser {

/// Every icon a page declares through its link elements, deduplicated and ranked.
std::vector<WebIconCandidate> iconCandidatesFromHTML(const QString& html, const QUrl& pageURL);

/// The web app manifests a page links to, in document order without repetitions.
std::vector<QUrl> manifestURLs(const QString& html, const QUrl& pageURL);

/// Every icon a web app manifest lists, deduplicated and ranked. Anything but a JSON
/// object with an array of objects under "icons" gives none.
std::vector<WebIconCandidate> iconCandidatesFromManifestData(const QByteArray& data,
                                                             const QUrl& manifestURL);

/// The text of every link element, in document order.
std::vector<QString> linkTags(const QString& html);

/// The attributes of one tag that carry a value: names lower-cased, values verbatim,
/// a later attribute replacing an earlier one of the same name.
std::map<QString, QString> attributesInTag(const QString& tag);

/// What a `sizes` value adds to a score: 96 for "any", else a quarter of the largest
/// dimension up to 512.
int sizeScore(const std::optional<QString>& sizes);

/// What a media `type` adds to a score: PNG over WebP and JPEG over unknown over SVG.
int typeScore(const std::optional<QString>& type);

} // namespace WebIconParser

} // namespace quorix
