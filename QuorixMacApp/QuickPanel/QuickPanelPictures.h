#pragma once

#include "QuorixProtocol/Foundation.h"

#include <QByteArray>
#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>

#include <optional>
#include <vector>

class QThreadPool;

namespace quorix {

/// Custom pictures of buttons, decoded in the background at the size the quick panel's tiles
/// show them, and kept across openings. Decoding a page of large pictures would cost an
/// opening more than everything else, so the page the panel would open on is decoded ahead.
/// Main thread only; decoding runs on the pool.
class QuickPanelPictures final : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype maxDecodedBytes = qsizetype{16} * 1024 * 1024;

    /// Decodes on `taskPool`, the global pool when none is given.
    explicit QuickPanelPictures(QThreadPool* taskPool = nullptr, QObject* parent = nullptr);

    /// The pixels on the longer side of a picture in a tile of `tileSize` points.
    static int pixelSide(qreal tileSize, qreal devicePixelRatio);

    /// The picture decoded at `pixelSide`: null when the data is no picture, nothing when it
    /// has not been decoded.
    std::optional<QImage> find(const Bytes& data, int pixelSide) const;
    /// Decodes what is missing and not under way; `decoded` follows for each.
    void decode(std::vector<Bytes> pictures, int pixelSide);

    /// Whether decoding is under way.
    bool isDecoding() const { return !m_pending.isEmpty(); }

Q_SIGNALS:
    /// A picture was decoded, or found to be none.
    void decoded();

private:
    void store(const QByteArray& key, const QImage& image);

    QThreadPool* const m_taskPool;
    QCache<QByteArray, QImage> m_decoded;
    QSet<QByteArray> m_pending;
};

} // namespace quorix
