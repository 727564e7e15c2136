#include "QuorixMacCore/Platform/Linux/DesktopEntryApplications.h"

#include "QuorixMacCore/Platform/Linux/DesktopEntry.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <set>
#include <utility>

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

// The first word of an Exec value that is not "env" or one of its VAR=value settings;
// words may be quoted with double quotes, inside which a backslash escapes the next
// character.
std::optional<QString> programOfExec(const QString& exec) {
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted) {
            if (c == u'\\' && i + 1 < exec.size()) {
                word.append(exec.at(++i));
            } else if (c == u'"') {
                quoted = false;
            } else {
                word.append(c);
            }
        } else if (c == u'"') {
            quoted = true;
            inWord = true;
        } else if (c == u' ' || c == u'\t') {
            if (inWord) {
                words.append(std::exchange(word, QString()));
                inWord = false;
            }
        } else {
            word.append(c);
            inWord = true;
        }
    }
    if (inWord) {
        words.append(word);
    }
    qsizetype first = 0;
    if (!words.isEmpty() && words.first() == QLatin1String("env")) {
        first = 1;
        while (first < words.size() && words.at(first).contains(u'=')) {
            ++first;
        }
    }
    if (first >= words.size() || words.at(first).isEmpty()) {
        return std::nullopt;
    }
    return words.at(first);
}

std::optional<QString> nonEmpty(std::optional<QString> value) {
    if (value && value->isEmpty()) {
        return std::nullopt;
    }
    return value;
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

std::vector<DesktopEntryApplications::Entry> DesktopEntryApplications::offeredEntries() const {
    std::set<QString> claimedIDs;
    std::vector<Entry> entries;
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
            const auto exec = entry->value(u"Exec");
            entries.push_back(
                {id, directory.filePath(file),
                 entry->localizedValue(u"Name", m_configuration.messagesLocale).value_or(id),
                 nonEmpty(entry->value(u"Icon")), nonEmpty(entry->value(u"StartupWMClass")),
                 exec ? programOfExec(*exec) : std::nullopt});
        }
    }
    return entries;
}

std::vector<InstalledApplication> DesktopEntryApplications::offeredApplications() const {
    std::vector<InstalledApplication> apps;
    for (Entry& entry : offeredEntries()) {
        apps.push_back({std::move(entry.id), std::move(entry.name)});
    }
    return apps;
}

ApplicationFile DesktopEntryApplications::describe(const QString& path) const {
    const QFileInfo file(path);
    if (file.isDir()) {
        return {file.fileName(), QString(), QStringLiteral("folder")};
    }
    if (!file.fileName().endsWith(desktopSuffix)) {
        return {file.fileName(), QString(), QStringLiteral("application-x-executable")};
    }
    const QString id = file.fileName().chopped(desktopSuffix.size());
    const auto entry = DesktopEntry::read(path);
    if (!entry) {
        return {id, QString(), QStringLiteral("application-x-executable")};
    }
    const QString folder = file.canonicalPath();
    const bool installed = std::any_of(
        m_configuration.applicationDirectories.begin(),
        m_configuration.applicationDirectories.end(), [&folder](const QString& directory) {
            const QString canonical = QFileInfo(directory).canonicalFilePath();
            return !canonical.isEmpty() && canonical == folder;
        });
    const auto name = nonEmpty(entry->localizedValue(u"Name", m_configuration.messagesLocale));
    return {name.value_or(id), installed ? id : QString(), nonEmpty(entry->value(u"Icon"))};
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
        auto icon = entry->value(u"Icon");
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

std::shared_ptr<const ApplicationFiles> systemApplicationFiles() {
    return std::make_shared<DesktopEntryApplications>(
        DesktopEntryApplications::Configuration::fromEnvironment());
}

} // namespace quorix
