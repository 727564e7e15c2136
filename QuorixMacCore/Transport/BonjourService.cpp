#include "QuorixMacCore/Transport/BonjourService.h"

#include <QTextBoundaryFinder>

namespace quorix::BonjourService {

QString sanitizedServiceName(QStringView name) {
    const QStringView trimmed = name.trimmed();
    if (trimmed.isEmpty()) {
        return fallbackServiceName;
    }
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, trimmed.data(), trimmed.size());
    qsizetype characters = 0;
    while (graphemes.toNextBoundary() != -1) {
        if (++characters == maxServiceNameCharacters) {
            return trimmed.first(graphemes.position()).toString();
        }
    }
    return trimmed.toString();
}

} // namespace quorix::BonjourService
