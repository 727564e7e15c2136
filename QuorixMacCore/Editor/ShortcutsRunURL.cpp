#include "QuorixMacCore/Editor/ShortcutsRunURL.h"

#include "QuorixMacCore/Editor/WebBrandIcons.h"

#include <QByteArray>
#include <QString>

namespace quorix {

namespace {
constexpr std::string_view bareRunURL = "shortcuts://run-shortcut";
}

URL shortcutsRunURL(std::string_view name) {
    // Everything but the unreserved characters is encoded, "&", "=" and "+" included, so
    // any name reads back unchanged whatever query convention the reader follows.
    const QByteArray encoded =
        QByteArray(name.data(), static_cast<qsizetype>(name.size())).toPercentEncoding();
    std::string text(bareRunURL);
    text += "?name=";
    text.append(encoded.constData(), static_cast<std::size_t>(encoded.size()));
    if (std::optional<URL> url = URL::parse(text)) {
        return *url;
    }
    return URL::parse(bareRunURL).value();
}

bool isShortcutsRunURL(const URL& url) {
    const QUrl parsed = toQUrl(url);
    return parsed.scheme().toLower() == QLatin1String("shortcuts") &&
           parsed.host().toLower() == QLatin1String("run-shortcut");
}

std::string shortcutRunName(const URL& url) {
    const QUrl parsed = toQUrl(url);
    if (!parsed.isValid() || !parsed.hasQuery()) {
        return {};
    }
    const QByteArray query = parsed.query(QUrl::FullyEncoded).toLatin1();
    for (const QByteArray& item : query.split('&')) {
        const qsizetype equals = item.indexOf('=');
        const QByteArray name =
            QByteArray::fromPercentEncoding(equals < 0 ? item : item.left(equals));
        if (name != "name") {
            continue;
        }
        if (equals < 0) {
            return {};
        }
        return QByteArray::fromPercentEncoding(item.mid(equals + 1)).toStdString();
    }
    return {};
}

} // namespace quorix
