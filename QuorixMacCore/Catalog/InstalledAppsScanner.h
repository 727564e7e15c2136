#pragma once

#include "QuorixMacCore/Platform/InstalledApplications.h"
#include "QuorixProtocol/Models.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quorix {

/// The catalogue of installed applications that the editor offers and the phone asks
/// for, sorted for display, with their icons rendered for buttons.
///
/// One instance is shared by the editor and the server. Both caches live for the
/// instance's life; every operation may be called from any thread, and `scan` and
/// `iconData` block their caller, so callers keep them off the main thread.
class InstalledAppsScanner {
public:
    explicit InstalledAppsScanner(std::shared_ptr<const InstalledApplications>
                                      installedApplications = systemInstalledApplications());

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

    /// What `iconData` has kept for the ID, without rendering anything: cheap enough for
    /// the main thread.
    std::optional<Bytes> cachedIconData(const std::string& bundleID);

private:
    std::vector<AppInfo> fullScan() const;

    const std::shared_ptr<const InstalledApplications> m_installedApplications;

    std::mutex m_cacheLock;
    std::optional<std::vector<AppInfo>> m_cachedApps;
    std::map<std::string, Bytes> m_cachedIconDataByBundleID;
};

} // namespace quorix
