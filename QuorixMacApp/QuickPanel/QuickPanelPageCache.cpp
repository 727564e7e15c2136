#include "QuorixMacApp/QuickPanel/QuickPanelPageCache.h"

#include "QuorixMacApp/QuickPanel/QuickPanelArtwork.h"
#include "QuorixMacApp/QuickPanel/QuickPanelPictures.h"
#include "QuorixMacCore/Artwork/BrandArtwork.h"
#include "QuorixMacCore/Catalog/MacAppIconImageCache.h"

#include <QPainter>
#include <QTimer>

namespace quorix {

namespace {

// Stand-ins for pictures that cannot be had.
constexpr std::string_view missingPictureSymbol = "app";
constexpr std::string_view siteSymbol = "globe";

QPixmap emptyPicture(QSize size, qreal devicePixelRatio) {
    QPixmap picture(size * devicePixelRatio);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(Qt::transparent);
    return picture;
}

} // namespace

QuickPanelPageCache::QuickPanelPageCache(MacAppIconImageCache& appIcons,
                                         QuickPanelPictures& pictures, QObject* parent)
    : QObject(parent)
    , m_appIcons(appIcons)
    , m_pictures(pictures) {
    connect(&appIcons, &MacAppIconImageCache::renderFinished, this,
            &QuickPanelPageCache::applicationIconArrived);
    connect(&pictures, &QuickPanelPictures::decoded, this, &QuickPanelPageCache::picturesArrived);
}

QuickPanelPageCache::~QuickPanelPageCache() = default;

void QuickPanelPageCache::reset(const std::vector<QuickPanelPageSource>& pages,
                                ButtonLoader loadButtons, QSize size, qreal devicePixelRatio) {
    clear();
    m_loadButtons = std::move(loadButtons);
    m_size = size;
    m_devicePixelRatio = devicePixelRatio;
    m_pages.reserve(pages.size());
    for (const QuickPanelPageSource& source : pages) {
        m_pages.push_back(Page{source, std::nullopt, {}, {}, {}, false});
    }
}

void QuickPanelPageCache::clear() {
    m_pages.clear();
    m_backgrounds.clear();
}

QuickPanelPageCache::Page& QuickPanelPageCache::loaded(int index) {
    Page& page = m_pages[std::size_t(index)];
    if (!page.buttons) {
        page.buttons = m_loadButtons(page.source.id);
        page.metrics = QuickPanelGridMetrics::metrics(m_size.width(), int(page.buttons->size()));
    }
    return page;
}

const std::vector<QuorixButtonRecord>& QuickPanelPageCache::buttons(int index) {
    return *loaded(index).buttons;
}

const QuickPanelGridMetrics& QuickPanelPageCache::metrics(int index) {
    return loaded(index).metrics;
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
    Page& page = loaded(index);
    if (!page.picture.isNull()) {
        return page.picture;
    }
    page.picture = background(page.source.gradient);
    page.waitingFor.clear();
    page.waitingForPictures = false;
    QPainter painter(&page.picture);
    painter.setRenderHint(QPainter::Antialiasing);
    for (std::size_t k = 0; k < page.buttons->size(); ++k) {
        const IconRef& icon = (*page.buttons)[k].icon;
        bool waiting = false;
        paintIcon(painter, page.metrics.tileRect(m_size.width(), int(k)), icon, waiting);
        if (!waiting) {
            continue;
        }
        if (const auto* app = std::get_if<IconRef::AppIcon>(&icon.value)) {
            page.waitingFor.insert(QString::fromStdString(app->bundleID));
        } else {
            page.waitingForPictures = true;
        }
    }
    return page.picture;
}

void QuickPanelPageCache::paintIcon(QPainter& painter, const QRectF& frame, const IconRef& icon,
                                    bool& waiting) {
    const auto pictureOrSymbol = [&](const QImage& image) {
        if (!image.isNull()) {
            QuickPanelArtwork::paintImageTile(painter, frame, image);
        } else {
            QuickPanelArtwork::paintSymbol(painter, frame, missingPictureSymbol, false);
        }
    };
    std::visit(Overloaded{
                   [&](const IconRef::SFSymbol& symbol) {
                       QuickPanelArtwork::paintSymbol(painter, frame, symbol.name, true);
                   },
                   [&](const IconRef::Custom& custom) {
                       const qreal ratio = painter.device() != nullptr
                                               ? painter.device()->devicePixelRatioF()
                                               : 1.0;
                       const int side = QuickPanelPictures::pixelSide(
                           std::min(frame.width(), frame.height()), ratio);
                       if (const auto image = m_pictures.find(custom.data, side)) {
                           pictureOrSymbol(*image);
                       } else {
                           // Decoding a page of large pictures would hold the panel's
                           // first frame back, even beside it on other cores: it starts
                           // once the frame is out, and the page is drawn again when the
                           // pictures are in.
                           waiting = true;
                           QTimer::singleShot(0, &m_pictures,
                                              [pictures = &m_pictures, data = custom.data, side] {
                                                  pictures->decode({data}, side);
                                              });
                           QuickPanelArtwork::paintImagePlaceholder(painter, frame);
                       }
                   },
                   [&](const IconRef::AppIcon& app) {
                       MacAppIconImageCache::Lookup lookup =
                           m_appIcons.image(QString::fromStdString(app.bundleID));
                       switch (lookup.status) {
                       case MacAppIconImageCache::Status::ready:
                           pictureOrSymbol(lookup.image);
                           break;
                       case MacAppIconImageCache::Status::rendering:
                           waiting = true;
                           QuickPanelArtwork::paintImagePlaceholder(painter, frame);
                           break;
                       case MacAppIconImageCache::Status::missing:
                           pictureOrSymbol(QImage());
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
    redrawPagesWhere([&](const Page& page) { return page.waitingFor.count(bundleID) != 0; });
}

void QuickPanelPageCache::picturesArrived() {
    // Once for the whole batch: each drawing of a page costs a frame's time.
    if (!m_pictures.isDecoding()) {
        redrawPagesWhere([](const Page& page) { return page.waitingForPictures; });
    }
}

void QuickPanelPageCache::redrawPagesWhere(const std::function<bool(const Page&)>& stale) {
    for (std::size_t index = 0; index < m_pages.size(); ++index) {
        Page& page = m_pages[index];
        if (stale(page)) {
            page.picture = QPixmap();
            page.waitingFor.clear();
            page.waitingForPictures = false;
            Q_EMIT pageChanged(int(index));
        }
    }
}

} // namespace quorix
