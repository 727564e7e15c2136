#pragma once

#include "QuorixProtocol/Models.h"

#include <QString>
#include <QStringList>

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quorix {

/// The catalogue of installed applications that the editor offers and the phone asks
/// for: the desktop entries directly inside the `applications` folders of the XDG data
/// directories, each known by its desktop-entry ID ("org.mozilla.firefox" for
/// "org.mozilla.firefox.desktop"), which stands in for a bundle identifier.
///
/// One instance is shared by the editor and the server. Both caches live for the
/// instance's life; `scan` and `iconData` may be called from any thread and block
/// their caller, so callers keep them off the main thread.
class InstalledAppsScanner {
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

    explicit InstalledAppsScanner(Configuration configuration = Configuration::fromEnvironment());

    InstalledAppsScanner(const InstalledAppsScanner&) = delete;
    InstalledAppsScanner& operator=(const InstalledAppsScanner&) = delete;

    /// The applications sorted by name (case-insensitive, for the configured locale),
    /// each with an empty `iconBase64`. Scans on the first call; later calls return the
    /// first result.
    std::vector<AppInfo> scan();

    /// PNG of the application's icon at most `maxPixelSize` on its longer side, or
    /// nothing when no application has that ID or its icon cannot be rendered. The
    /// first rendering for an ID is kept and returned for every later size.
    std::optional<Bytes> iconData(const std::string& bundleID, int maxPixelSize);

private:
    std::vector<AppInfo> fullScan() const;
    /// The "Icon" value of the entry that owns `bundleID`; nothing when there is none or
    /// the entry is not an application.
    std::optional<QString> iconNameForBundleID(const std::string& bundleID) const;

    const Configuration m_configuration;

    std::mutex m_cacheLock;
    std::optional<std::vector<AppInfo>> m_cachedApps;
    std::map<std::string, Bytes> m_cachedIconDataByBundleID;
};

} // namespace quorix
