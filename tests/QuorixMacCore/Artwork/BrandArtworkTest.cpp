#include "QuorixMacCore/Artwork/BrandArtwork.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace quorix {
namespace {

using BrandArtwork::Brand;

TEST(BrandArtwork, recognisesBrandHostsAndTheirSubdomainsButNoLookalikes) {
    // The editor's brand, then the quick panel's: the flea-market brand has a quick-panel
    // tile only, as its buttons fetch their icon.
    struct Case {
        const char* url;
        std::optional<Brand> editor;
        std::optional<Brand> quickPanel;
    };
    for (const Case& c : {
             Case{"https://x.com/home", Brand::x, Brand::x},
             Case{"https://mobile.twitter.com", Brand::x, Brand::x},
             Case{"https://WWW.YOUTUBE.COM/watch?v=1", Brand::youTube, Brand::youTube},
             Case{"https://m.youtube.com", Brand::youTube, Brand::youTube},
             Case{"https://youtu.be/abc", Brand::youTube, Brand::youTube},
             Case{"https://www.amazon.co.jp/dp/1", Brand::amazon, Brand::amazon},
             Case{"https://amzn.to/x", Brand::amazon, Brand::amazon},
             Case{"https://claude.ai/new", Brand::claude, Brand::claude},
             Case{"https://www.anthropic.com", Brand::claude, Brand::claude},
             Case{"https://jp.mercari.com/item/1", std::nullopt, Brand::mercari},
             Case{"https://mercari.jp", std::nullopt, Brand::mercari},
             Case{"https://notyoutube.com", std::nullopt, std::nullopt},
             Case{"https://youtube.com.example.net", std::nullopt, std::nullopt},
             Case{"https://myx.com", std::nullopt, std::nullopt},
             Case{"https://fakemercari.com", std::nullopt, std::nullopt},
             Case{"https://example.com/youtube.com", std::nullopt, std::nullopt},
             Case{"mailto:someone@youtube.com", std::nullopt, std::nullopt},
         }) {
        const URL url = *URL::parse(c.url);
        EXPECT_EQ(BrandArtwork::editorBrand(url), c.editor) << c.url;
        EXPECT_EQ(BrandArtwork::quickPanelBrand(url), c.quickPanel) << c.url;
    }
}

TEST(BrandArtwork, drawsARoundedTileInTheBrandColourWithItsMark) {
    struct Case {
        Brand brand;
        QColor tile;
        QColor mark;
    };
    for (const Case& c : {Case{Brand::x, Qt::black, Qt::white},
                          Case{Brand::youTube, Qt::white, QColor(0xff, 0x00, 0x33)},
                          Case{Brand::amazon, Qt::white, QColor(0xff, 0x99, 0x00)},
                          Case{Brand::claude, QColor(0xdc, 0x72, 0x58), Qt::white},
                          Case{Brand::mercari, QColor(0xff, 0x02, 0x11), Qt::white}}) {
        SCOPED_TRACE(int(c.brand));
        // A wide rect: the tile is the centred square.
        QImage image(140, 100, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        BrandArtwork::paintTile(painter, QRectF(0, 0, 140, 100), c.brand);
        painter.end();

        EXPECT_EQ(image.pixelColor(19, 50).alpha(), 0) << "left of the square";
        EXPECT_EQ(image.pixelColor(21, 1).alpha(), 0) << "rounded corner";
        EXPECT_EQ(image.pixelColor(70, 3), c.tile);
        int markPixels = 0;
        for (int y = 0; y < 100; ++y) {
            for (int x = 20; x < 120; ++x) {
                markPixels += image.pixelColor(x, y) == c.mark ? 1 : 0;
            }
        }
        EXPECT_GT(markPixels, 100);
    }
}

} // namespace
} // namespace quorix
