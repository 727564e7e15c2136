#pragma once

#include "QuorixMacCore/Platform/InstalledApplications.h"

#include <QStringList>

namespace quorix {

/// Installed applications as the freedesktop.org desktop entries directly inside the
/// `applications` folders of the XDG data directories, each known by its desktop-entry ID
/// ("org.mozilla.firefox" for "org.mozilla.firefox.desktop").
class DesktopEntryApplications final : public InstalledApplications {
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

    explicit DesktopEntryApplications(Configuration configuration);

    std::vector<InstalledApplication> offeredApplications() const override;
    std::optional<QString> iconName(const QString& id) const override;
    QString messagesLocale() const override { return m_configuration.messagesLocale; }

private:
    const Configuration m_configuration;
};

} // namespace quorix
