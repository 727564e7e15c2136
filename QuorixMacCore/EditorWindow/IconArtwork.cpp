#include "QuorixMacCore/EditorWindow/IconArtwork.h"

#include "QuorixMacCore/Artwork/BrandArtwork.h"
#include "QuorixMacCore/Artwork/SymbolGlyphs.h"
#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/Platform/RasterImages.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QThreadPool>
#include <QtMath>

#include <array>

namespace quorix {

namespace {

// Share of the square that the stand-in symbols take, as the editor has always drawn them.
constexpr qreal undecodablePhotoShare = 0.56;
constexpr qreal missingAppShare = 0.58;
constexpr qreal missingSiteShare = 0.58;
// How strongly a picture still on its way is hinted at.
constexpr qreal placeholderOpacity = 0.12;

// Custom icons come from phones and image files: the one bounded, raster-only path reads
// them, decoded straight to the size drawn, since a full-size icon per row would cost
// megabytes.
QImage decodedPicture(std::span<const std::uint8_t> bytes, int pixelSize) {
    auto decoded = RasterImages::decodedImage(bytes, pixelSize);
    return decoded ? std::move(decoded).value() : QImage();
}

QByteArray customKey(const Bytes& data, int pixelSize) {
    const auto hash = qHashBits(data.data(), data.size());
    return "custom/" + QByteArray::number(quint64(hash), 16) + '/' +
           QByteArray::number(qulonglong(data.size())) + '/' + QByteArray::number(pixelSize);
}

QByteArray remoteKey(const URL& url) {
    return "site/" + QByteArray::fromStdString(url.absoluteString());
}

int pixelSizeFor(const QPainter& painter, const QRectF& rect) {
    const qreal ratio = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;
    return std::max(1, qCeil(std::max(rect.width(), rect.height()) * ratio));
}

QRectF centredShare(const QRectF& rect, qreal share) {
    const QSizeF size = rect.size() * share;
    return QRectF(rect.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

void paintPicture(QPainter& painter, const QRectF& rect, const QImage& image) {
    const QSizeF fitted = QSizeF(image.size()).scaled(rect.size(), Qt::KeepAspectRatio);
    const QRectF target(rect.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted);
    const qreal radius = std::min(target.width(), target.height()) * BrandArtwork::tileCornerRatio;
    QPainterPath clip;
    clip.addRoundedRect(target, radius, radius);
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.setClipPath(clip, Qt::IntersectClip);
    painter.drawImage(target, image);
    painter.restore();
}

void paintPlaceholder(QPainter& painter, const QRectF& rect, const QColor& color) {
    QColor faint = color;
    faint.setAlphaF(float(placeholderOpacity));
    const qreal radius = std::min(rect.width(), rect.height()) * BrandArtwork::tileCornerRatio;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(faint);
    painter.drawRoundedRect(rect, radius, radius);
    painter.restore();
}

/// Paints a picture, the placeholder while it is on its way, or `paintFailure`.
template <typename Failure>
void paintPictureOr(QPainter& painter, const QRectF& rect, const IconArtworkCache::Picture& picture,
                    const QColor& placeholderColor, Failure paintFailure) {
    switch (picture.status) {
    case IconArtworkCache::Status::ready:
        paintPicture(painter, rect, picture.image);
        break;
    case IconArtworkCache::Status::pending:
        paintPlaceholder(painter, rect, placeholderColor);
        break;
    case IconArtworkCache::Status::failed:
        paintFailure();
        break;
    }
}

} // namespace

struct IconArtworkCache::Decoded {
    /// Null when the picture failed.
    QImage image;
};

IconArtworkCache& IconArtworkCache::of(MacEditorState& state) {
    if (auto* existing =
            state.findChild<IconArtworkCache*>(QString(), Qt::FindDirectChildrenOnly)) {
        return *existing;
    }
    return *new IconArtworkCache(state, MacAppIconImageCache::shared());
}

IconArtworkCache::IconArtworkCache(MacEditorState& state, MacAppIconImageCache& appIcons,
                                   QThreadPool* taskPool)
    : QObject(&state)
    , m_state(state)
    , m_appIcons(appIcons)
    , m_taskPool(taskPool != nullptr ? taskPool : QThreadPool::globalInstance())
    , m_decoded(maxDecodedBytes) {
    connect(&appIcons, &MacAppIconImageCache::renderFinished, this,
            &IconArtworkCache::pictureArrived);
}

IconArtworkCache::~IconArtworkCache() = default;

IconArtworkCache::Picture IconArtworkCache::picture(const QByteArray& key) const {
    if (const Decoded* decoded = m_decoded.object(key)) {
        if (decoded->image.isNull()) {
            return {Status::failed, QImage()};
        }
        return {Status::ready, decoded->image};
    }
    return {Status::pending, QImage()};
}

void IconArtworkCache::store(const QByteArray& key, const QImage& image) {
    m_pending.remove(key);
    const qsizetype cost = std::max<qsizetype>(1, image.sizeInBytes());
    m_decoded.insert(key, new Decoded{image}, cost);
    Q_EMIT pictureArrived();
}

IconArtworkCache::Picture IconArtworkCache::customImage(const Bytes& data, int pixelSize) {
    QByteArray key = customKey(data, pixelSize);
    Picture found = picture(key);
    if (found.status != Status::pending || m_pending.contains(key)) {
        return found;
    }
    m_pending.insert(key);
    m_taskPool->start([self = QPointer(this), key, bytes = data, pixelSize] {
        handBack(self, key, decodedPicture(bytes, pixelSize));
    });
    return found;
}

IconArtworkCache::Picture IconArtworkCache::remoteWebIcon(const URL& url) {
    QByteArray key = remoteKey(url);
    Picture found = picture(key);
    if (found.status != Status::pending || m_pending.contains(key)) {
        return found;
    }
    m_pending.insert(key);
    // The resolver answers on its own thread; the decoding goes to the pool, not there.
    m_state.webIconResolver()->iconData(url).then(
        QtFuture::Launch::Sync, [self = QPointer(this), key, pool = m_taskPool](WebIconData data) {
            pool->start([self, key, data = std::move(data)] {
                handBack(self, key, data ? decodedPicture(*data, remoteIconPixelSize) : QImage());
            });
        });
    return found;
}

void IconArtworkCache::handBack(const QPointer<IconArtworkCache>& cache, const QByteArray& key,
                                const QImage& image) {
    // The cache may be gone by the time the picture is back on the main thread.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [cache, key, image] {
            if (cache) {
                cache->store(key, image);
            }
        },
        Qt::QueuedConnection);
}

IconArtworkCache::Picture IconArtworkCache::applicationIcon(const std::string& bundleID) {
    if (const std::optional<AppInfo> app = m_state.appInfo(bundleID);
        app && !app->iconBase64.empty()) {
        if (const std::optional<Bytes> data = Base64::decode(app->iconBase64)) {
            Picture fromCatalogue = customImage(*data, MacAppIconImageCache::maxPixelSize);
            if (fromCatalogue.status != Status::failed) {
                return fromCatalogue;
            }
        }
    }
    MacAppIconImageCache::Lookup lookup = m_appIcons.image(QString::fromStdString(bundleID));
    switch (lookup.status) {
    case MacAppIconImageCache::Status::ready:
        return {Status::ready, std::move(lookup.image)};
    case MacAppIconImageCache::Status::rendering:
        return {Status::pending, QImage()};
    case MacAppIconImageCache::Status::missing:
        break;
    }
    return {Status::failed, QImage()};
}

void paintIconArtwork(QPainter& painter, const QRectF& rect, const IconRef& icon,
                      const QColor& symbolColor, IconArtworkCache& cache) {
    std::visit(Overloaded{
                   [&](const IconRef::SFSymbol& symbol) {
                       SymbolGlyphs::paintSymbol(painter, rect, symbol.name, symbolColor);
                   },
                   [&](const IconRef::Custom& custom) {
                       paintPictureOr(painter, rect,
                                      cache.customImage(custom.data, pixelSizeFor(painter, rect)),
                                      symbolColor, [&] {
                                          SymbolGlyphs::paintSymbol(
                                              painter, centredShare(rect, undecodablePhotoShare),
                                              "photo", symbolColor);
                                      });
                   },
                   [&](const IconRef::AppIcon& app) {
                       paintPictureOr(
                           painter, rect, cache.applicationIcon(app.bundleID), symbolColor, [&] {
                               SymbolGlyphs::paintSymbol(painter,
                                                         centredShare(rect, missingAppShare),
                                                         "app.fill", symbolColor);
                           });
                   },
                   [&](const IconRef::Favicon& favicon) {
                       if (const auto brand = BrandArtwork::editorBrand(favicon.url)) {
                           BrandArtwork::paintTile(painter, rect, *brand);
                       } else {
                           paintRemoteWebIcon(painter, rect, favicon.url, symbolColor, cache);
                       }
                   },
               },
               icon.value);
}

void paintRemoteWebIcon(QPainter& painter, const QRectF& rect, const URL& url,
                        const QColor& symbolColor, IconArtworkCache& cache) {
    const IconArtworkCache::Picture picture = cache.remoteWebIcon(url);
    switch (picture.status) {
    case IconArtworkCache::Status::ready:
        paintPicture(painter, rect, picture.image);
        break;
    case IconArtworkCache::Status::pending:
        break;
    case IconArtworkCache::Status::failed:
        SymbolGlyphs::paintSymbol(painter, centredShare(rect, missingSiteShare), "globe",
                                  symbolColor);
        break;
    }
}

} // namespace quorix
