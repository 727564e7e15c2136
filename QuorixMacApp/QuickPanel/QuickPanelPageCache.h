#pragma once

#include "QuorixMacApp/QuickPanel/QuickPanelGridMetrics.h"
#include "QuorixProtocol/Models.h"

#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QString>

#include <map>
#include <set>
#include <vector>

class QPainter;

namespace quorix {

class MacAppIconImageCache;

/// The pages of one opening of the quick panel, each drawn once into a picture (background,
/// pattern and tiles) so that a frame of the moving strip only copies pictures.
///
/// Icons come from local sources only: symbols, custom image data, installed applications'
/// icons and the built-in brand tiles; a site icon is never fetched here. Application icons
/// render in the background: a page drawn while one was on its way is drawn again when it
/// arrives. Main thread only.
class QuickPanelPageCache final : public QObject {
    Q_OBJECT

public:
    explicit QuickPanelPageCache(MacAppIconImageCache& appIcons, QObject* parent = nullptr);

    /// Starts over with `pages`, drawn at `size` for `devicePixelRatio`.
    void reset(std::vector<PageRecord> pages, QSize size, qreal devicePixelRatio);
    /// Drops every picture and page.
    void clear();

    int pageCount() const { return int(m_pages.size()); }
    const PageRecord& page(int index) const { return m_pages[std::size_t(index)].record; }
    /// The buttons shown on the page, in tile order.
    const std::vector<QuorixButtonRecord>& buttons(int index) const;
    const QuickPanelGridMetrics& metrics(int index) const;

    /// The page's picture, drawn now if it is not yet.
    const QPixmap& picture(int index);
    bool hasPicture(int index) const;

    /// Paints the icon into `frame` as the tiles show it; sets `waiting` when an
    /// application's icon is still on its way.
    static void paintIcon(QPainter& painter, const QRectF& frame, const IconRef& icon,
                          MacAppIconImageCache& appIcons, bool& waiting);

Q_SIGNALS:
    /// A page's picture was dropped because an application icon on it arrived.
    void pageChanged(int index);

private:
    struct Page {
        PageRecord record;
        std::vector<QuorixButtonRecord> buttons;
        QuickPanelGridMetrics metrics;
        QPixmap picture;
        /// Applications whose icons were on their way when the picture was drawn.
        std::set<QString> waitingFor;
    };

    const QPixmap& background(GradientPreset preset);
    void applicationIconArrived(const QString& bundleID);

    MacAppIconImageCache& m_appIcons;
    std::vector<Page> m_pages;
    std::map<GradientPreset, QPixmap> m_backgrounds;
    QSize m_size;
    qreal m_devicePixelRatio = 1;
};

} // namespace quorix
