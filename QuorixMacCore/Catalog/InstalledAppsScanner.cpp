#include "QuorixMacCore/Catalog/InstalledAppsScanner.h"

#include "QuorixMacCore/Catalog/AppIconRendering.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>

namespace quorix {

InstalledAppsScanner::InstalledAppsScanner(
    std::shared_ptr<const InstalledApplications> installedApplications)
    : m_installedApplications(std::move(installedApplications)) {}

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
    std::vector<AppInfo> apps;
    for (const InstalledApplication& app : m_installedApplications->offeredApplications()) {
        apps.push_back(AppInfo{app.name.toStdString(), app.id.toStdString(), std::string()});
    }
    const QString localeName = m_installedApplications->messagesLocale();
    QCollator collator(localeName.isEmpty() ? QLocale::c() : QLocale(localeName));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(apps.begin(), apps.end(), [&collator](const AppInfo& a, const AppInfo& b) {
        return collator.compare(QString::fromStdString(a.name), QString::fromStdString(b.name)) < 0;
    });
    return apps;
}

std::optional<Bytes> InstalledAppsScanner::cachedIconData(const std::string& bundleID) {
    std::scoped_lock lock(m_cacheLock);
    const auto cached = m_cachedIconDataByBundleID.find(bundleID);
    if (cached == m_cachedIconDataByBundleID.end()) {
        return std::nullopt;
    }
    return cached->second;
}

std::optional<Bytes> InstalledAppsScanner::iconData(const std::string& bundleID, int maxPixelSize) {
    if (std::optional<Bytes> cached = cachedIconData(bundleID)) {
        return cached;
    }
    const auto iconName = m_installedApplications->iconName(QString::fromStdString(bundleID));
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

} // namespace quorix
