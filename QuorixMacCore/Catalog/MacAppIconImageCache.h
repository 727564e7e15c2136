#pragma once

#include "QuorixMacCore/Platform/InstalledApplications.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>

#include <chrono>
#include <memory>

class QThreadPool;

namespace quorix {

/// Icons of installed applications for drawing in the editor, at most 128 pixels on their
/// longer side, keyed by bundle id.
///
/// Lives on the main thread. Asking never waits: the answer is what the cache
/// holds, and an icon it lacks is rendered on a worker thread, announced by
/// `renderFinished` when done.
class MacAppIconImageCache final : public QObject {
    Q_OBJECT

public:
    static constexpr int maxPixelSize = 128;
    static constexpr qsizetype maxEntries = 80;
    /// An application without an icon is looked for again after this, in case it has been
    /// installed since; until then it is reported missing at once.
    static constexpr std::chrono::seconds missingRetryInterval{30};

    enum class Status {
        /// Not known yet: a render is under way.
        rendering,
        ready,
        /// No installed application with that id, or its icon cannot be read.
        missing,
    };
    struct Lookup {
        Status status = Status::rendering;
        /// Set when ready.
        QImage image;
    };

    /// The cache the editor's views share, over the user's installed applications; it lives
    /// as long as the process.
    static MacAppIconImageCache& shared();

    /// Renders on `taskPool`, the application's global pool when none is given.
    explicit MacAppIconImageCache(std::shared_ptr<const InstalledApplications>
                                      installedApplications = systemInstalledApplications(),
                                  QThreadPool* taskPool = nullptr, QObject* parent = nullptr);
    ~MacAppIconImageCache() override;

    /// What the cache holds for the id; starts a render when it holds nothing (or a
    /// missing result has grown old) and none is under way.
    Lookup image(const QString& bundleID);
    /// Whether a render is under way.
    bool isRendering() const { return !m_rendering.isEmpty(); }

Q_SIGNALS:
    /// A render for the id ended, with an icon or without one.
    void renderFinished(const QString& bundleID);

private:
    void startRender(const QString& bundleID);
    void finishRender(const QString& bundleID, const QImage& image);

    const std::shared_ptr<const InstalledApplications> m_installedApplications;
    QThreadPool* const m_taskPool;
    QCache<QString, QImage> m_images;
    QHash<QString, std::chrono::steady_clock::time_point> m_missingSince;
    QSet<QString> m_rendering;
};

} // namespace quorix
