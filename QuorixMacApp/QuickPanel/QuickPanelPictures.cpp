#include "QuorixMacApp/QuickPanel/QuickPanelPictures.h"

#include "QuorixMacApp/QuickPanel/QuickPanelArtwork.h"
#include "QuorixMacCore/Platform/RasterImages.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <QtMath>

namespace quorix {

namespace {

QByteArray keyOf(const Bytes& data, int pixelSide) {
    return QByteArray::number(quint64(qHashBits(data.data(), data.size())), 16) + '/' +
           QByteArray::number(qulonglong(data.size())) + '/' + QByteArray::number(pixelSide);
}

QImage decodedPicture(const Bytes& data, int pixelSide) {
    auto image = RasterImages::decodedImage(data, pixelSide);
    return image ? std::move(image).value() : QImage();
}

} // namespace

QuickPanelPictures::QuickPanelPictures(QThreadPool* taskPool, QObject* parent)
    : QObject(parent)
    , m_taskPool(taskPool != nullptr ? taskPool : QThreadPool::globalInstance())
    , m_decoded(maxDecodedBytes) {}

int QuickPanelPictures::pixelSide(qreal tileSize, qreal devicePixelRatio) {
    const QRectF picture = QuickPanelArtwork::imageTileRect(QRectF(0, 0, tileSize, tileSize));
    return std::max(1, qCeil(picture.width() * devicePixelRatio));
}

std::optional<QImage> QuickPanelPictures::find(const Bytes& data, int pixelSide) const {
    if (const QImage* image = m_decoded.object(keyOf(data, pixelSide))) {
        return *image;
    }
    return std::nullopt;
}

void QuickPanelPictures::store(const QByteArray& key, const QImage& image) {
    m_pending.remove(key);
    m_decoded.insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes()));
    Q_EMIT decoded();
}

void QuickPanelPictures::decode(std::vector<Bytes> pictures, int pixelSide) {
    for (Bytes& data : pictures) {
        QByteArray key = keyOf(data, pixelSide);
        if (m_decoded.contains(key) || m_pending.contains(key)) {
            continue;
        }
        m_pending.insert(key);
        m_taskPool->start([self = QPointer(this), key, data = std::move(data), pixelSide] {
            QImage image = decodedPicture(data, pixelSide);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, key, image = std::move(image)] {
                    if (self) {
                        self->store(key, image);
                    }
                },
                Qt::QueuedConnection);
        });
    }
}

} // namespace quorix
