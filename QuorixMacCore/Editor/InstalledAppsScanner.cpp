#include "QuorixMacCore/Editor/InstalledAppsScanner.h"

#include "QuorixMacCore/Editor/AppIconRendering.h"
#include "QuorixMacCore/Platform/Linux/DesktopEntry.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <set>

namespace quorix {

namespace {

const QLatin1String desktopSuffix(".desktop");

QStringList absolutePaths(const QString& list) {
    QStringList paths;
    for (const QString& path : list.split(u':', Qt::SkipEmptyParts)) {
        // Relative entries are invalid in these variables and must not resolve against
        // whatever the working directory happens to be.
        if (QDir::isAbsolutePath(path)) {
            paths.append(path);
        }
    }
    return paths;
}

bool isOfferedApplication(const DesktopEntry& entry) {
    return entry.value(u"Type") == QLatin1String("Application") &&
           !entry.booleanValue(u"NoDisplay") && !entry.booleanValue(u"Hidden");
}

// A bundle ID can arrive from a phone's layout; it names a file in our folders, so it
// must not be able to point anywhere else.
bool isPlausibleDesktopID(const QString& id) {
    return !id.isEmpty() && !id.startsWith(u'.') && !id.contains(u'/') && !id.contains(u'\0');
}

} // namespace

InstalledAppsScanner::Configuration InstalledAppsScanner::Configuration::fromEnvironment() {
    Configuration configuration;

    QStringList dataDirectories = absolutePaths(qEnvironmentVariable("XDG_DATA_HOME"));
    if (dataDirectories.isEmpty()) {
        dataDirectories.append(QDir::homePath() + QLatin1String("/.local/share"));
    }
    QStringList systemDirectories = absolutePaths(qEnvironmentVariable("XDG_DATA_DIRS"));
    if (systemDirectories.isEmpty()) {
        systemDirectories = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    }
    dataDirectories.append(systemDirectories);
    for (const QString& directory : std::as_const(dataDirectories)) {
        configuration.applicationDirectories.append(directory + QLatin1String("/applications"));
    }

    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty()) {
            configuration.messagesLocale = value;
            break;
        }
    }
    return configuration;
}

InstalledAppsScanner::InstalledAppsScanner(Configuration configuration)
    : m_configuration(std::move(configuration)) {}

std::vector<AppInfo> InstalledAppsScanner::scan() {
    {
        std::scoped_lock lock(m_cacheLock);
        if (m_cachedApps) {
            return *m_cachedApps;
        }
    }
    std::vector<AppInfo> scanned = fullScan();
    std::scoped_lock lock(m_cacheLock);
    // Two first calls may both have scanned; the first stored result stays.
    if (!m_cachedApps) {
        m_cachedApps = std::move(scanned);
    }
    return *m_cachedApps;
}

std::vector<AppInfo> InstalledAppsScanner::fullScan() const {
    std::set<QString> claimedIDs;
    std::vector<AppInfo> apps;
    for (const QString& directoryPath : m_configuration.applicationDirectories) {
        const QDir directory(directoryPath);
        // Sorted so that the result does not depend on the file system's listing order.
        const QStringList files = directory.entryList(QDir::Files, QDir::Name);
        for (const QString& file : files) {
            if (!file.endsWith(desktopSuffix, Qt::CaseSensitive)) {
                continue;
            }
            const QString id = file.chopped(desktopSuffix.size());
            if (id.isEmpty() || claimedIDs.count(id) != 0) {
                continue;
            }
            const auto entry = DesktopEntry::read(directory.filePath(file));
            if (!entry) {
                continue;
            }
            // The first readable entry owns its ID even when it is not offered: a user's
            // copy marked Hidden or NoDisplay is how one removes a system application
            // from menus, so the system copy must stay hidden too.
            claimedIDs.insert(id);
            if (!isOfferedApplication(*entry)) {
                continue;
            }
            const QString name =
                entry->localizedValue(u"Name", m_configuration.messagesLocale).value_or(id);
            apps.push_back(AppInfo{name.toStdString(), id.toStdString(), std::string()});
        }
    }

    const QString localeName = m_configuration.messagesLocale;
    QCollator collator(localeName.isEmpty() ? QLocale::c() : QLocale(localeName));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(apps.begin(), apps.end(), [&collator](const AppInfo& a, const AppInfo& b) {
        return collator.compare(QString::fromStdString(a.name), QString::fromStdString(b.name)) < 0;
    });
    return apps;
}

std::optional<Bytes> InstalledAppsScanner::iconData(const std::string& bundleID, int maxPixelSize) {
    {
        std::scoped_lock lock(m_cacheLock);
        const auto cached = m_cachedIconDataByBundleID.find(bundleID);
        if (cached != m_cachedIconDataByBundleID.end()) {
            return cached->second;
        }
    }
    const auto iconName = iconNameForBundleID(bundleID);
    if (!iconName) {
        return std::nullopt;
    }
    auto data = AppIconRendering::normalizedIconPNGData(*iconName, maxPixelSize);
    if (!data) {
        return std::nullopt;
    }
    std::scoped_lock lock(m_cacheLock);
    return m_cachedIconDataByBundleID.try_emplace(bundleID, std::move(*data)).first->second;
}

std::optional<QString>
InstalledAppsScanner::iconNameForBundleID(const std::string& bundleID) const {
    const QString id = QString::fromStdString(bundleID);
    if (!isPlausibleDesktopID(id)) {
        return std::nullopt;
    }
    for (const QString& directoryPath : m_configuration.applicationDirectories) {
        const QString path = QDir(directoryPath).filePath(id + desktopSuffix);
        if (!QFileInfo(path).isFile()) {
            continue;
        }
        const auto entry = DesktopEntry::read(path);
        if (!entry) {
            continue;
        }
        // Hidden means deleted; NoDisplay applications are installed and keep their icon.
        if (entry->value(u"Type") != QLatin1String("Application") ||
            entry->booleanValue(u"Hidden")) {
            return std::nullopt;
        }
        const auto icon = entry->value(u"Icon");
        if (!icon || icon->isEmpty()) {
            return std::nullopt;
        }
        return icon;
    }
    return std::nullopt;
}

} // namespace quorix
