#include "QuorixMacCore/Platform/Linux/DesktopEntry.h"

#include <QFile>

#include <array>

namespace quorix {

namespace {

const QLatin1String desktopEntryGroup("[Desktop Entry]");

QString unescaped(QStringView raw) {
    QString result;
    result.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c != u'\\' || i + 1 == raw.size()) {
            result.append(c);
            continue;
        }
        const QChar next = raw[++i];
        switch (next.unicode()) {
        case u's':
            result.append(u' ');
            break;
        case u'n':
            result.append(u'\n');
            break;
        case u't':
            result.append(u'\t');
            break;
        case u'r':
            result.append(u'\r');
            break;
        case u'\\':
            result.append(u'\\');
            break;
        default:
            // Other escapes (such as "\;" in lists) belong to the value's own syntax.
            result.append(c);
            result.append(next);
            break;
        }
    }
    return result;
}

struct LocaleParts {
    QString language;
    QString country;
    QString modifier;
};

LocaleParts splitLocale(QStringView locale) {
    LocaleParts parts;
    QStringView rest = locale;
    if (const qsizetype at = rest.indexOf(u'@'); at >= 0) {
        parts.modifier = rest.mid(at + 1).toString();
        rest = rest.left(at);
    }
    if (const qsizetype dot = rest.indexOf(u'.'); dot >= 0) {
        rest = rest.left(dot);
    }
    if (const qsizetype underscore = rest.indexOf(u'_'); underscore >= 0) {
        parts.country = rest.mid(underscore + 1).toString();
        rest = rest.left(underscore);
    }
    parts.language = rest.toString();
    if (parts.language == QLatin1String("C") || parts.language == QLatin1String("POSIX")) {
        parts.language.clear();
    }
    return parts;
}

} // namespace

std::optional<DesktopEntry> DesktopEntry::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    // Read one byte past the limit rather than trusting size(): special files report 0.
    const QByteArray contents = file.read(maxFileBytes + 1);
    if (contents.size() > maxFileBytes) {
        return std::nullopt;
    }
    return parse(contents);
}

std::optional<DesktopEntry> DesktopEntry::parse(QByteArrayView contents) {
    const QString text = QString::fromUtf8(contents);
    DesktopEntry entry;
    bool inGroup = false;
    bool seenGroup = false;
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            if (inGroup) {
                break;
            }
            inGroup = line == desktopEntryGroup;
            seenGroup = seenGroup || inGroup;
            continue;
        }
        if (!inGroup) {
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0) {
            continue;
        }
        const QString key = line.left(equals).trimmed().toString();
        // Keys may not repeat within a group; the first one is the one that counts.
        if (!key.isEmpty() && !entry.m_values.contains(key)) {
            entry.m_values.insert(key, unescaped(line.mid(equals + 1).trimmed()));
        }
    }
    if (!seenGroup) {
        return std::nullopt;
    }
    return entry;
}

std::optional<QString> DesktopEntry::value(QStringView key) const {
    const auto found = m_values.constFind(key.toString());
    if (found == m_values.constEnd()) {
        return std::nullopt;
    }
    return *found;
}

std::optional<QString> DesktopEntry::localizedValue(QStringView key, QStringView locale) const {
    const LocaleParts parts = splitLocale(locale);
    if (!parts.language.isEmpty()) {
        const QString lang = parts.language;
        const QString langCountry =
            parts.country.isEmpty() ? QString() : lang + u'_' + parts.country;
        const QString suffixModifier =
            parts.modifier.isEmpty() ? QString() : QString(u'@' + parts.modifier);
        const std::array<QString, 4> candidates{
            langCountry.isEmpty() || suffixModifier.isEmpty() ? QString()
                                                              : langCountry + suffixModifier,
            langCountry,
            suffixModifier.isEmpty() ? QString() : lang + suffixModifier,
            lang,
        };
        for (const QString& candidate : candidates) {
            if (candidate.isEmpty()) {
                continue;
            }
            if (auto found = value(key.toString() + u'[' + candidate + u']')) {
                return found;
            }
        }
    }
    return value(key);
}

bool DesktopEntry::booleanValue(QStringView key) const {
    const auto found = value(key);
    return found && *found == QLatin1String("true");
}

} // namespace quorix
