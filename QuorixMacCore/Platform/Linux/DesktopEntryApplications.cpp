#include "QuorixMacCore/Platform/Linux/DesktopEntryApplications.h"

#include "QuorixMacCore/Platform/Linux/DesktopEntry.h"

#include <QDir>
#include <QFileInfo>

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

// An ID can arrive from a phone's layout; it names a file in our folders, so it must not
// be able to point anywhere else.
bool isPlausibleDesktopID(const QString& id) {
    return !id.isEmpty() && !id.startsWith(u'.') && !id.contains(u'/') && !id.contains(u'\0');
}

} // namespace

DesktopEntryApplications::Configuration DesktopEntryApplications::Configuration::fromEnvironment() {
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

DesktopEntryApplications::DesktopEntryApplications(Configuration configuration)
    : m_configuration(std::move(configuration)) {}

std::vector<InstalledApplication> DesktopEntryApplications::offeredApplications() const {
    std::set<QString> claimedIDs;
    std::vector<InstalledApplication> apps;
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
            apps.push_back(
                {id, entry->localizedValue(u"Name", m_configuration.messagesLocale).value_or(id)});
        }
    }
    return apps;
}

std::optional<QString> DesktopEntryApplications::iconName(const QString& id) const {
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

std::shared_ptr<const InstalledApplications> systemInstalledApplications() {
    return std::make_shared<DesktopEntryApplications>(
        DesktopEntryApplications::Configuration::fromEnvironment());
}

} // namespace quorix
