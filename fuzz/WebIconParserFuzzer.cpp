#include "FuzzSupport.h"
#include "QuorixMacCore/Editor/WebIconParser.h"

#include <set>

namespace {

using namespace quorix;
using fuzz::require;

void checkCandidates(const std::vector<WebIconCandidate>& candidates) {
    std::set<QString> seen;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const WebIconCandidate& candidate = candidates[i];
        require(candidate.url.isValid() && !candidate.url.isRelative(),
                "a candidate can be downloaded as it is");
        require(seen.insert(webIconAbsoluteString(candidate.url)).second,
                "a candidate appears once");
        require(i == 0 || candidates[i - 1].score >= candidate.score, "candidates come best first");
    }
}

} // namespace

// The input is read both as a page and as a manifest, as the resolver reads what a site
// sends.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString html = QString::fromUtf8(bytes);
    const QUrl page(QStringLiteral("https://example.com/news/today.html"));

    for (const QString& tag : WebIconParser::linkTags(html)) {
        require(tag.startsWith(QLatin1String("<link"), Qt::CaseInsensitive) && tag.endsWith(u'>'),
                "a link tag runs from its opening to the first '>'");
    }
    checkCandidates(WebIconParser::iconCandidatesFromHTML(html, page));
    for (const QUrl& manifest : WebIconParser::manifestURLs(html, page)) {
        require(manifest.isValid() && !manifest.isRelative(), "a manifest can be downloaded");
    }
    checkCandidates(WebIconParser::iconCandidatesFromManifestData(
        bytes, QUrl(QStringLiteral("https://cdn.example.com/app/manifest.json"))));
    return 0;
}
