#pragma once

#include "QuorixMacApp/QuickPanel/QuickPanelGridMetrics.h"
#include "QuorixProtocol/Models.h"

#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

class QPainter;

namespace quorix {

class MacAppIconImageCache;
class QuickPanelPictures;

/// What an opening knows of a page before it draws it.
struct QuickPanelPageSource {
    UUID id;
    GradientPreset gradient = GradientPreset::custom;
};

/// The pages of one opening of the quick panel, each drawn once into a picture (background,
/// pattern and tiles) so that a frame of the moving strip only copies pictures.
///
/// A page's buttons are read when it is first drawn or clicked, so that opening the panel
/// does not copy every custom icon of the layout. Icons come from local sources only:
/// symbols, custom image data, installed applications' icons and the built-in brand tiles;
/// a site icon is never fetched here. Application icons and custom pictures not decoded yet
/// are made in the background: a page drawn while some were on their way shows placeholders
/// in their places and is drawn again when they are in. Main thread only.
class QuickPanelPageCache final : public QObject {
    Q_OBJECT

public:
    /// The buttons of the page with the id, as the panel shows them; none for a page that is
    /// gone.
    using ButtonLoader = std::function<std::vector<QuorixButtonRecord>(const UUID& pageID)>;
    QuickPanelPageCache(MacAppIconImageCache& appIcons, QuickPanelPictures& pictures,
                        QObject* parent = nullptr);
    ~QuickPanelPageCache() override;

    /// Starts over with `pages`, drawn at `size` for `devicePixelRatio`.
    void reset(const std::vector<QuickPanelPageSource>& pages, ButtonLoader loadButtons, QSize size,
               qreal devicePixelRatio);
    /// Drops every page and its picture.
    void clear();

    int pageCount() const { return int(m_pages.size()); }
    /// The buttons shown on the page, in tile order.
    const std::vector<QuorixButtonRecord>& buttons(int index);
    const QuickPanelGridMetrics& metrics(int index);

    /// The page's picture, drawn now if it is not yet.
    const QPixmap& picture(int index);
    bool hasPicture(int index) const;

    /// Paints the icon into `frame` as the tiles show it; sets `waiting` when an
    /// application's icon or a custom picture is still on its way.
    void paintIcon(QPainter& painter, const QRectF& frame, const IconRef& icon, bool& waiting);

Q_SIGNALS:
    /// A page's picture was dropped because icons on it arrived.
    void pageChanged(int index);

private:
    struct Page {
        QuickPanelPageSource source;
        std::optional<std::vector<QuorixButtonRecord>> buttons;
        QuickPanelGridMetrics metrics;
        QPixmap picture;
        /// Applications whose icons were on their way when the picture was drawn.
        std::set<QString> waitingFor;
        /// Whether custom pictures were.
        bool waitingForPictures = false;
    };

    Page& loaded(int index);
    const QPixmap& background(GradientPreset preset);
    void applicationIconArrived(const QString& bundleID);
    void picturesArrived();
    void redrawPagesWhere(const std::function<bool(const Page&)>& stale);

    MacAppIconImageCache& m_appIcons;
    QuickPanelPictures& m_pictures;
    ButtonLoader m_loadButtons;
    std::vector<Page> m_pages;
    std::map<GradientPreset, QPixmap> m_backgrounds;
    QSize m_size;
    qreal m_devicePixelRatio = 1;
};

} // namespace quorix
