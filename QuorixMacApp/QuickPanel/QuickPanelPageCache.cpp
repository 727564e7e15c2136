#include "QuorixMacApp/QuickPanel/QuickPanelPageCache.h"

#include "QuorixMacApp/QuickPanel/QuickPanelArtwork.h"
#include "QuorixMacApp/QuickPanel/QuickPanelPages.h"
#include "QuorixMacCore/Artwork/BrandArtwork.h"
#include "QuorixMacCore/Catalog/MacAppIconImageCache.h"
#include "QuorixMacCore/Platform/RasterImages.h"

#include <QPainter>
#include <QtMath>

namespace quorix {

namespace {

template <typename... Cases>
struct Overloaded : Cases... {
    using Cases::operator()...;
};

// Stand-ins for pictures that cannot be had.
constexpr std::string_view missingPictureSymbol = "app";
constexpr std::string_view siteSymbol = "globe";

QPixmap emptyPicture(QSize size, qreal devicePixelRatio) {
    QPixmap picture(size * devicePixelRatio);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(Qt::transparent);
    return picture;
}

int pixelSide(const QPainter& painter, const QRectF& rect) {
    const qreal ratio = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;
    return std::max(1, qCeil(std::max(rect.width(), rect.height()) * ratio));
}

} // namespace

QuickPanelPageCache::QuickPanelPageCache(MacAppIconImageCache& appIcons, QObject* parent)
    : QObject(parent)
    , m_appIcons(appIcons) {
    connect(&appIcons, &MacAppIconImageCache::renderFinished, this,
            &QuickPanelPageCache::applicationIconArrived);
}

void QuickPanelPageCache::reset(std::vector<PageRecord> pages, QSize size, qreal devicePixelRatio) {
    clear();
    m_size = size;
    m_devicePixelRatio = devicePixelRatio;
    m_pages.reserve(pages.size());
    for (PageRecord& record : pages) {
        Page page;
        page.buttons = QuickPanelPages::shownButtons(record);
        page.metrics = QuickPanelGridMetrics::metrics(size.width(), int(page.buttons.size()));
        page.record = std::move(record);
        m_pages.push_back(std::move(page));
    }
}

void QuickPanelPageCache::clear() {
    m_pages.clear();
    m_backgrounds.clear();
}

const std::vector<QuorixButtonRecord>& QuickPanelPageCache::buttons(int index) const {
    return m_pages[std::size_t(index)].buttons;
}

const QuickPanelGridMetrics& QuickPanelPageCache::metrics(int index) const {
    return m_pages[std::size_t(index)].metrics;
}

bool QuickPanelPageCache::hasPicture(int index) const {
    return !m_pages[std::size_t(index)].picture.isNull();
}

const QPixmap& QuickPanelPageCache::background(GradientPreset preset) {
    auto [found, isNew] = m_backgrounds.try_emplace(preset);
    if (isNew) {
        found->second = emptyPicture(m_size, m_devicePixelRatio);
        QPainter painter(&found->second);
        QuickPanelArtwork::paintBackground(painter, QRectF(QPointF(0, 0), QSizeF(m_size)), preset);
    }
    return found->second;
}

const QPixmap& QuickPanelPageCache::picture(int index) {
    Page& page = m_pages[std::size_t(index)];
    if (!page.picture.isNull()) {
        return page.picture;
    }
    page.picture = background(page.record.gradient);
    page.waitingFor.clear();
    QPainter painter(&page.picture);
    painter.setRenderHint(QPainter::Antialiasing);
    for (std::size_t k = 0; k < page.buttons.size(); ++k) {
        const IconRef& icon = page.buttons[k].icon;
        bool waiting = false;
        paintIcon(painter, page.metrics.tileRect(m_size.width(), int(k)), icon, m_appIcons,
                  waiting);
        if (waiting) {
            page.waitingFor.insert(
                QString::fromStdString(std::get<IconRef::AppIcon>(icon.value).bundleID));
        }
    }
    return page.picture;
}

void QuickPanelPageCache::paintIcon(QPainter& painter, const QRectF& frame, const IconRef& icon,
                                    MacAppIconImageCache& appIcons, bool& waiting) {
    const auto pictureOrSymbol = [&](const std::optional<QImage>& image) {
        if (image && !image->isNull()) {
            QuickPanelArtwork::paintImageTile(painter, frame, *image);
        } else {
            QuickPanelArtwork::paintSymbol(painter, frame, missingPictureSymbol, false);
        }
    };
    std::visit(Overloaded{
                   [&](const IconRef::SFSymbol& symbol) {
                       QuickPanelArtwork::paintSymbol(painter, frame, symbol.name, true);
                   },
                   [&](const IconRef::Custom& custom) {
                       const int side = pixelSide(painter, QuickPanelArtwork::imageTileRect(frame));
                       auto decoded = RasterImages::decodedImage(custom.data, side);
                       pictureOrSymbol(decoded ? std::optional<QImage>(std::move(decoded).value())
                                               : std::nullopt);
                   },
                   [&](const IconRef::AppIcon& app) {
                       MacAppIconImageCache::Lookup lookup =
                           appIcons.image(QString::fromStdString(app.bundleID));
                       switch (lookup.status) {
                       case MacAppIconImageCache::Status::ready:
                           pictureOrSymbol(std::move(lookup.image));
                           break;
                       case MacAppIconImageCache::Status::rendering:
                           waiting = true;
                           QuickPanelArtwork::paintImagePlaceholder(painter, frame);
                           break;
                       case MacAppIconImageCache::Status::missing:
                           pictureOrSymbol(std::nullopt);
                           break;
                       }
                   },
                   [&](const IconRef::Favicon& favicon) {
                       if (const auto brand = BrandArtwork::quickPanelBrand(favicon.url)) {
                           BrandArtwork::paintTile(painter, frame, *brand);
                       } else {
                           QuickPanelArtwork::paintSymbol(painter, frame, siteSymbol, false);
                       }
                   },
               },
               icon.value);
}

void QuickPanelPageCache::applicationIconArrived(const QString& bundleID) {
    for (std::size_t index = 0; index < m_pages.size(); ++index) {
        Page& page = m_pages[index];
        if (page.waitingFor.count(bundleID) != 0) {
            page.picture = QPixmap();
            page.waitingFor.clear();
            Q_EMIT pageChanged(int(index));
        }
    }
}

} // namespace quorix
