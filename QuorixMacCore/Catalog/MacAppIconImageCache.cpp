#include "QuorixMacCore/Catalog/MacAppIconImageCache.h"

#include "QuorixMacCore/Catalog/AppIconRendering.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

namespace quorix {

MacAppIconImageCache& MacAppIconImageCache::shared() {
    // Views of every editor window share it, and render results may still be on their way
    // while the application object is torn down.
    static MacAppIconImageCache* const instance = new MacAppIconImageCache();
    return *instance;
}

MacAppIconImageCache::MacAppIconImageCache(
    std::shared_ptr<const InstalledApplications> installedApplications, QThreadPool* taskPool,
    QObject* parent)
    : QObject(parent)
    , m_installedApplications(std::move(installedApplications))
    , m_taskPool(taskPool != nullptr ? taskPool : QThreadPool::globalInstance())
    , m_images(maxEntries) {}

MacAppIconImageCache::~MacAppIconImageCache() = default;

MacAppIconImageCache::Lookup MacAppIconImageCache::image(const QString& bundleID) {
    if (const QImage* cached = m_images.object(bundleID)) {
        return {Status::ready, *cached};
    }
    const auto missing = m_missingSince.constFind(bundleID);
    const bool knownMissing = missing != m_missingSince.constEnd();
    if (!m_rendering.contains(bundleID) &&
        (!knownMissing || std::chrono::steady_clock::now() - *missing >= missingRetryInterval)) {
        startRender(bundleID);
    }
    return {knownMissing ? Status::missing : Status::rendering, QImage()};
}

void MacAppIconImageCache::startRender(const QString& bundleID) {
    m_rendering.insert(bundleID);
    m_taskPool->start([self = QPointer(this), applications = m_installedApplications, bundleID] {
        const std::optional<QString> icon = applications->iconName(bundleID);
        QImage image;
        if (icon) {
            image = AppIconRendering::normalizedIconImage(*icon, maxPixelSize).value_or(QImage());
        }
        // The cache may be gone by the time the result is back on the main thread.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, bundleID, image = std::move(image)] {
                if (self) {
                    self->finishRender(bundleID, image);
                }
            },
            Qt::QueuedConnection);
    });
}

void MacAppIconImageCache::finishRender(const QString& bundleID, const QImage& image) {
    m_rendering.remove(bundleID);
    if (image.isNull()) {
        m_missingSince.insert(bundleID, std::chrono::steady_clock::now());
    } else {
        m_missingSince.remove(bundleID);
        m_images.insert(bundleID, new QImage(image));
    }
    Q_EMIT renderFinished(bundleID);
}

} // namespace quorix
