#include "QuorixMacCore/Editor/WebIconParser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <array>
#include <unordered_map>

namespace quorix {

namespace {

struct LinkScore {
    // Every listed rel token must be present.
    std::array<QLatin1String, 2> requiredTokens;
    int score = 0;
};

// First matching row wins, so the more specific spellings come first.
constexpr std::array<LinkScore, 4> linkScores{{
    {{QLatin1String("apple-touch-icon-precomposed"), QLatin1String()}, 1000},
    {{QLatin1String("apple-touch-icon"), QLatin1String()}, 960},
    {{QLatin1String("icon"), QLatin1String("shortcut")}, 760},
    {{QLatin1String("icon"), QLatin1String()}, 730},
}};
static_assert(linkScores.size() == 4);

constexpr int manifestIconScore = 880;
// Maskable-only artwork is cropped by its platform and looks wrong on a plain tile.
constexpr int maskableOnlyPenalty = -120;
constexpr int anySizeScore = 96;
constexpr int largestScoredSide = 512;

bool isNameStart(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || u == u'_' || u == u':';
}

bool isNameCharacter(QChar c) {
    const char16_t u = c.unicode();
    return isNameStart(c) || (u >= u'0' && u <= u'9') || u == u'-' || u == u'.';
}

// The ASCII blanks of regular-expression `\s`.
bool isBlank(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\n' || u == u'\v' || u == u'\f' || u == u'\r';
}

bool isWordCharacter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') ||
           u == u'_';
}

QStringList tokens(const QString& text) {
    QStringList result;
    QString current;
    for (const QChar c : text) {
        if (c.isSpace()) {
            if (!current.isEmpty()) {
                result.append(current);
                current.clear();
            }
        } else {
            current.append(c);
        }
    }
    if (!current.isEmpty()) {
        result.append(current);
    }
    return result;
}

std::optional<QUrl> resolvedAbsolute(const QString& reference, const QUrl& base) {
    const QUrl relative(reference, QUrl::StrictMode);
    if (!relative.isValid()) {
        return std::nullopt;
    }
    QUrl absolute = base.resolved(relative);
    if (!absolute.isValid() || absolute.isRelative()) {
        return std::nullopt;
    }
    return absolute;
}

std::optional<QString> value(const std::map<QString, QString>& attributes, QLatin1String name) {
    const auto found = attributes.find(QString(name));
    if (found == attributes.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<int> linkBaseScore(const QStringList& relTokens) {
    for (const LinkScore& row : linkScores) {
        const bool matches = std::all_of(
            row.requiredTokens.begin(), row.requiredTokens.end(), [&](QLatin1String token) {
                return token.isEmpty() || relTokens.contains(QString(token));
            });
        if (matches) {
            return row.score;
        }
    }
    return std::nullopt;
}

std::optional<QString> jsonString(const QJsonObject& object, QLatin1String key) {
    const QJsonValue found = object.value(key);
    if (!found.isString()) {
        return std::nullopt;
    }
    return found.toString();
}

} // namespace

QString webIconAbsoluteString(const QUrl& url) {
    return url.toString(QUrl::FullyEncoded);
}

std::optional<QUrl> webIconPageURL(const QUrl& url) {
    QUrl page = url;
    if (page.scheme().isEmpty()) {
        if (page.host().isEmpty() && !page.path().startsWith(u'/')) {
            // "example.com/news" parses as a path; what the user meant is a host.
            page = QUrl(QStringLiteral("https://") + url.toString(), QUrl::TolerantMode);
        } else {
            page.setScheme(QStringLiteral("https"));
        }
    }
    if (page.host().isEmpty()) {
        return std::nullopt;
    }
    page.setFragment(QString());
    if (!page.isValid()) {
        return std::nullopt;
    }
    return page;
}

std::optional<QUrl> webIconOriginURL(const QUrl& pageURL) {
    QUrl origin;
    origin.setScheme(pageURL.scheme().isEmpty() ? QStringLiteral("https") : pageURL.scheme());
    origin.setUserInfo(pageURL.userInfo());
    origin.setHost(pageURL.host());
    origin.setPort(pageURL.port());
    if (origin.host().isEmpty() || !origin.isValid()) {
        return std::nullopt;
    }
    return origin;
}

std::vector<WebIconCandidate> deduplicatedByURL(const std::vector<WebIconCandidate>& candidates) {
    std::vector<WebIconCandidate> result;
    std::unordered_map<QString, std::size_t> indexByURL;
    for (const WebIconCandidate& candidate : candidates) {
        const auto [found, inserted] =
            indexByURL.try_emplace(webIconAbsoluteString(candidate.url), result.size());
        if (inserted) {
            result.push_back(candidate);
        } else if (candidate.score > result[found->second].score) {
            result[found->second] = candidate;
        }
    }
    return result;
}

std::vector<WebIconCandidate> ranked(std::vector<WebIconCandidate> candidates) {
    std::vector<std::pair<QString, WebIconCandidate>> keyed;
    keyed.reserve(candidates.size());
    for (WebIconCandidate& candidate : candidates) {
        keyed.emplace_back(webIconAbsoluteString(candidate.url), std::move(candidate));
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        if (a.second.score != b.second.score) {
            return a.second.score > b.second.score;
        }
        return a.first < b.first;
    });
    std::vector<WebIconCandidate> result;
    result.reserve(keyed.size());
    for (auto& entry : keyed) {
        result.push_back(std::move(entry.second));
    }
    return result;
}

std::vector<QUrl> deduplicated(const std::vector<QUrl>& urls) {
    std::vector<QUrl> result;
    std::unordered_map<QString, bool> seen;
    for (const QUrl& url : urls) {
        if (seen.try_emplace(webIconAbsoluteString(url), true).second) {
            result.push_back(url);
        }
    }
    return result;
}

namespace WebIconParser {

std::vector<QString> linkTags(const QString& html) {
    // Equivalent to matching "<link\b[^>]*>" case-insensitively, but linear: once no
    // '>' follows an opening, no later opening can close either, so the scan stops
    // instead of rescanning the rest of a large page for every "<link".
    static constexpr QLatin1String opening("<link");
    std::vector<QString> result;
    qsizetype from = 0;
    while (true) {
        const qsizetype start = html.indexOf(opening, from, Qt::CaseInsensitive);
        if (start < 0) {
            break;
        }
        const qsizetype afterName = start + opening.size();
        if (afterName < html.size() && isWordCharacter(html.at(afterName))) {
            from = afterName;
            continue;
        }
        const qsizetype end = html.indexOf(u'>', afterName);
        if (end < 0) {
            break;
        }
        result.push_back(html.mid(start, end - start + 1));
        from = end + 1;
    }
    return result;
}

std::map<QString, QString> attributesInTag(const QString& tag) {
    // A hand-written equivalent of matching
    //   ([A-Za-z_:][-A-Za-z0-9_:.]*)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"'>]+))
    // repeatedly. A failed attempt resumes after the whole name, because every later
    // start inside the name meets the same tail and fails the same way; that keeps a
    // hostile tag from costing quadratic time.
    std::map<QString, QString> attributes;
    const qsizetype length = tag.size();
    qsizetype i = 0;
    while (i < length) {
        if (!isNameStart(tag.at(i))) {
            ++i;
            continue;
        }
        qsizetype nameEnd = i;
        while (nameEnd < length && isNameCharacter(tag.at(nameEnd))) {
            ++nameEnd;
        }
        qsizetype k = nameEnd;
        while (k < length && isBlank(tag.at(k))) {
            ++k;
        }
        if (k >= length || tag.at(k) != u'=') {
            i = nameEnd;
            continue;
        }
        ++k;
        while (k < length && isBlank(tag.at(k))) {
            ++k;
        }
        std::optional<QString> attributeValue;
        qsizetype next = k;
        if (k < length && (tag.at(k) == u'"' || tag.at(k) == u'\'')) {
            const qsizetype close = tag.indexOf(tag.at(k), k + 1);
            if (close >= 0) {
                attributeValue = tag.mid(k + 1, close - k - 1);
                next = close + 1;
            }
        } else {
            qsizetype end = k;
            while (end < length && !isBlank(tag.at(end)) && tag.at(end) != u'"' &&
                   tag.at(end) != u'\'' && tag.at(end) != u'>') {
                ++end;
            }
            if (end > k) {
                attributeValue = tag.mid(k, end - k);
                next = end;
            }
        }
        if (!attributeValue) {
            i = nameEnd;
            continue;
        }
        attributes.insert_or_assign(tag.mid(i, nameEnd - i).toLower(), *attributeValue);
        i = next;
    }
    return attributes;
}

int sizeScore(const std::optional<QString>& sizes) {
    if (!sizes || sizes->isEmpty()) {
        return 0;
    }
    if (sizes->toLower().contains(QLatin1String("any"))) {
        return anySizeScore;
    }
    std::optional<qlonglong> largest;
    QString piece;
    const auto takePiece = [&] {
        if (piece.isEmpty()) {
            return;
        }
        bool ok = false;
        const qlonglong number = piece.toLongLong(&ok, 10);
        if (ok && (!largest || number > *largest)) {
            largest = number;
        }
        piece.clear();
    };
    for (const QChar c : *sizes) {
        if (c == u'x' || c == u'X' || c.isSpace()) {
            takePiece();
        } else {
            piece.append(c);
        }
    }
    takePiece();
    if (!largest) {
        return 0;
    }
    return static_cast<int>(std::min<qlonglong>(*largest, largestScoredSide) / 4);
}

int typeScore(const std::optional<QString>& type) {
    if (!type) {
        return 0;
    }
    const QString lower = type->toLower();
    if (lower.contains(QLatin1String("png"))) {
        return 80;
    }
    if (lower.contains(QLatin1String("webp")) || lower.contains(QLatin1String("jpeg")) ||
        lower.contains(QLatin1String("jpg"))) {
        return 40;
    }
    if (lower.contains(QLatin1String("svg"))) {
        return -40;
    }
    return 0;
}

std::vector<WebIconCandidate> iconCandidatesFromHTML(const QString& html, const QUrl& pageURL) {
    std::vector<WebIconCandidate> candidates;
    for (const QString& tag : linkTags(html)) {
        const std::map<QString, QString> attributes = attributesInTag(tag);
        const std::optional<QString> rel = value(attributes, QLatin1String("rel"));
        const std::optional<QString> href = value(attributes, QLatin1String("href"));
        if (!rel || !href) {
            continue;
        }
        const std::optional<QUrl> url = resolvedAbsolute(*href, pageURL);
        if (!url) {
            continue;
        }
        const std::optional<int> base = linkBaseScore(tokens(rel->toLower()));
        if (!base) {
            continue;
        }
        candidates.push_back({*url, *base + sizeScore(value(attributes, QLatin1String("sizes"))) +
                                        typeScore(value(attributes, QLatin1String("type")))});
    }
    return ranked(deduplicatedByURL(candidates));
}

std::vector<QUrl> manifestURLs(const QString& html, const QUrl& pageURL) {
    std::vector<QUrl> urls;
    for (const QString& tag : linkTags(html)) {
        const std::map<QString, QString> attributes = attributesInTag(tag);
        const std::optional<QString> rel = value(attributes, QLatin1String("rel"));
        const std::optional<QString> href = value(attributes, QLatin1String("href"));
        if (!rel || !href || !tokens(rel->toLower()).contains(QLatin1String("manifest"))) {
            continue;
        }
        if (const std::optional<QUrl> url = resolvedAbsolute(*href, pageURL)) {
            urls.push_back(*url);
        }
    }
    return deduplicated(urls);
}

std::vector<WebIconCandidate> iconCandidatesFromManifestData(const QByteArray& data,
                                                             const QUrl& manifestURL) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return {};
    }
    const QJsonValue icons = document.object().value(QLatin1String("icons"));
    if (!icons.isArray()) {
        return {};
    }
    const QJsonArray entries = icons.toArray();
    if (!std::all_of(entries.begin(), entries.end(),
                     [](const QJsonValue& entry) { return entry.isObject(); })) {
        return {};
    }
    std::vector<WebIconCandidate> candidates;
    for (const QJsonValue entryValue : entries) {
        const QJsonObject entry = entryValue.toObject();
        const std::optional<QString> source = jsonString(entry, QLatin1String("src"));
        if (!source) {
            continue;
        }
        const std::optional<QUrl> url = resolvedAbsolute(*source, manifestURL);
        if (!url) {
            continue;
        }
        const QString purpose =
            jsonString(entry, QLatin1String("purpose")).value_or(QString()).toLower();
        const bool maskableOnly =
            purpose.contains(QLatin1String("maskable")) && !purpose.contains(QLatin1String("any"));
        candidates.push_back({*url, manifestIconScore +
                                        sizeScore(jsonString(entry, QLatin1String("sizes"))) +
                                        typeScore(jsonString(entry, QLatin1String("type"))) +
                                        (maskableOnly ? maskableOnlyPenalty : 0)});
    }
    return ranked(deduplicatedByURL(candidates));
}

} // namespace WebIconParser

} // namespace quorix
