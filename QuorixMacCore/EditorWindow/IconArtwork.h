#pragma once

#include "QuorixMacCore/Catalog/MacAppIconImageCache.h"
#include "QuorixProtocol/Models.h"

#include <QByteArray>
#include <QCache>
#include <QColor>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSet>
#include <QString>

class QPainter;
class QThreadPool;

namespace quorix {

class MacEditorState;

/// The decoded pictures behind the icons of one editor state: custom image data, site
/// icons fetched through the state's resolver, and installed applications' icons.
///
/// Lives on the main thread. Asking never waits: the answer is what the cache holds, and
/// what it lacks is decoded or fetched off the main thread and announced by
/// `pictureArrived`, so views repaint then.
class IconArtworkCache final : public QObject {
    Q_OBJECT

public:
    /// Bytes of decoded pixels kept for custom images and site icons together.
    static constexpr qsizetype maxDecodedBytes = qsizetype{24} * 1024 * 1024;
    /// Site icons are kept at most this large on their longer side.
    static constexpr int remoteIconPixelSize = 128;

    enum class Status {
        pending,
        ready,
        /// The data is no readable image, or the site offered none.
        failed,
    };
    struct Picture {
        Status status = Status::pending;
        /// Set when ready.
        QImage image;
    };

    /// The cache every view of `state` shares: the first one made as a child of the state,
    /// or, when there is none yet, a new one over the shared application icons.
    static IconArtworkCache& of(MacEditorState& state);

    /// A child of `state`; decodes on `taskPool` (the global pool when none is given), which
    /// must outlive the fetches the cache starts.
    IconArtworkCache(MacEditorState& state, MacAppIconImageCache& appIcons,
                     QThreadPool* taskPool = nullptr);
    ~IconArtworkCache() override;

    MacEditorState& state() const { return m_state; }

    /// Custom image data at most `pixelSize` on its longer side.
    Picture customImage(const Bytes& data, int pixelSize);
    /// The icon of the site `url` belongs to, fetched once per address.
    Picture remoteWebIcon(const URL& url);
    /// The application's icon from the installed-application catalogue, else from the
    /// application icon cache; failed when neither has one.
    Picture applicationIcon(const std::string& bundleID);

    /// Whether a picture is still being decoded, fetched or rendered.
    bool isBusy() const { return !m_pending.isEmpty() || m_appIcons.isRendering(); }

Q_SIGNALS:
    /// A picture became ready or failed.
    void pictureArrived();

private:
    struct Decoded;
    Picture picture(const QByteArray& key) const;
    /// Runs on any thread.
    static void handBack(const QPointer<IconArtworkCache>& cache, const QByteArray& key,
                         const QImage& image);
    void store(const QByteArray& key, const QImage& image);

    MacEditorState& m_state;
    MacAppIconImageCache& m_appIcons;
    QThreadPool* const m_taskPool;
    QCache<QByteArray, Decoded> m_decoded;
    QSet<QByteArray> m_pending;
};

/// Paints an icon as the editor shows it, filling the square `rect`: a system symbol in
/// `symbolColor`; custom image data (the symbol "photo" at 56 % when it does not decode);
/// an application's icon (the symbol "app.fill" at 58 % when it has none); for a web
/// address, the brand tile of a brand site, otherwise the site's icon. While a picture is
/// on its way a faint placeholder stands in, except for site icons, which show nothing
/// until they arrive.
void paintIconArtwork(QPainter& painter, const QRectF& rect, const IconRef& icon,
                      const QColor& symbolColor, IconArtworkCache& cache);

/// Paints the fetched icon of the site `url` belongs to: nothing until it arrives, the
/// symbol "globe" once the fetch has failed.
void paintRemoteWebIcon(QPainter& painter, const QRectF& rect, const URL& url,
                        const QColor& symbolColor, IconArtworkCache& cache);

} // namespace quorix
