#pragma once

#include "QuorixMacCore/Platform/ApplicationFiles.h"
#include "QuorixMacCore/Platform/InstalledApplications.h"

#include <QStringList>

namespace quorix {

/// Installed applications as the freedesktop.org desktop entries directly inside the
/// `applications` folders of the XDG data directories, each known by its desktop-entry ID
/// ("org.mozilla.firefox" for "org.mozilla.firefox.desktop").
class DesktopEntryApplications final : public InstalledApplications, public ApplicationFiles {
public:
    struct Configuration {
        /// Folders holding desktop entries, highest precedence first: an entry hides
        /// any entry with the same ID in a later folder.
        QStringList applicationDirectories;
        /// POSIX locale whose names are shown ("ja_JP.UTF-8"); "C" or empty shows the
        /// untranslated names.
        QString messagesLocale;

        /// The user's folder ($XDG_DATA_HOME, else ~/.local/share) then $XDG_DATA_DIRS
        /// (else /usr/local/share and /usr/share), each with "applications" appended;
        /// relative paths are ignored. The locale of LC_ALL, else LC_MESSAGES, else LANG.
        static Configuration fromEnvironment();
    };

    /// What an offered entry tells about the application it starts.
    struct Entry {
        QString id;
        /// The entry file.
        QString path;
        QString name;
        std::optional<QString> icon;
        /// The WM_CLASS its windows carry, when the entry says.
        std::optional<QString> startupWMClass;
        /// The program the entry starts: the first word of Exec after any "env VAR=value"
        /// prefix, as written (a bare name is looked up in PATH by whoever starts it).
        std::optional<QString> program;

        bool operator==(const Entry&) const = default;
    };

    explicit DesktopEntryApplications(Configuration configuration);

    /// The entries behind `offeredApplications`, in the same order.
    std::vector<Entry> offeredEntries() const;

    std::vector<InstalledApplication> offeredApplications() const override;
    std::optional<QString> iconName(const QString& id) const override;
    QString messagesLocale() const override { return m_configuration.messagesLocale; }

    /// The bundle ID is given only to an entry directly inside one of the configured
    /// folders; an executable gets the generic icon "application-x-executable".
    ApplicationFile describe(const QString& path) const override;

private:
    const Configuration m_configuration;
};

} // namespace quorix
