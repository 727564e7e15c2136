#include "QuorixMacCore/EditorWindow/IconArtwork.h"

#include "QuorixMacCore/Artwork/BrandArtwork.h"
#include "QuorixMacCore/Artwork/SymbolGlyphs.h"
#include "QuorixMacCore/EditorWindow/IconArtworkView.h"
#include "QuorixMacEditorWindow/Support/EditorFixture.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <gtest/gtest.h>

namespace quorix {
namespace {

using test::url;

constexpr int side = 40;
const QColor symbolColour(30, 60, 200);

QImage blank() {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage drawn(const std::function<void(QPainter&)>& paint) {
    QImage image = blank();
    QPainter painter(&image);
    paint(painter);
    return image;
}

QImage symbolAt(const char* name, qreal share) {
    return drawn([&](QPainter& painter) {
        const qreal inset = side * (1 - share) / 2;
        SymbolGlyphs::paintSymbol(painter, QRectF(inset, inset, side * share, side * share), name,
                                  symbolColour);
    });
}

QByteArray png(QColor colour, QSize size = {64, 64}) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

Bytes bytes(const QByteArray& data) {
    return Bytes(data.begin(), data.end());
}

class IconArtworkTest : public ::testing::Test {
protected:
    QImage render(const IconRef& icon) {
        return drawn([&](QPainter& painter) {
            paintIconArtwork(painter, QRectF(0, 0, side, side), icon, symbolColour, f.artwork);
        });
    }
    /// The icon once every picture it waits for has arrived.
    QImage settled(const IconRef& icon) {
        render(icon);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !f.artwork.isBusy(); }));
        return render(icon);
    }

    QTemporaryDir directory;
    test::EditorFixture f;
};

TEST_F(IconArtworkTest, drawsEachKindOrItsStandIn) {
    const QString iconFile = directory.filePath(QStringLiteral("app.png"));
    ASSERT_TRUE(QImage::fromData(png(Qt::green)).save(iconFile));
    f.applications->icons[QStringLiteral("org.example.Installed")] = iconFile;

    struct Case {
        const char* what;
        IconRef icon;
        QImage expected;
    };
    const std::vector<Case> cases{
        {"symbol", IconRef::sfSymbol("trash"), symbolAt("trash", 1)},
        {"unknown symbol", IconRef::sfSymbol("no.such"), symbolAt("category", 1)},
        {"undecodable image", IconRef::custom({1, 2, 3}), symbolAt("photo", 0.56)},
        {"vector image", IconRef::custom(bytes("<svg xmlns='http://www.w3.org/2000/svg'/>")),
         symbolAt("photo", 0.56)},
        {"missing application", IconRef::appIcon("org.example.Missing"),
         symbolAt("app.fill", 0.58)},
        {"brand site", IconRef::favicon(url("https://m.youtube.com/watch")),
         drawn([](QPainter& painter) {
             BrandArtwork::paintTile(painter, QRectF(0, 0, side, side),
                                     BrandArtwork::Brand::youTube);
         })},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(settled(c.icon), c.expected) << c.what;
    }
    for (const auto& [what, icon, colour] :
         {std::tuple{"custom image", IconRef::custom(bytes(png(Qt::red))), QColor(Qt::red)},
          std::tuple{"application", IconRef::appIcon("org.example.Installed"),
                     QColor(Qt::green)}}) {
        EXPECT_EQ(settled(icon).pixelColor(side / 2, side / 2), colour) << what;
    }
    EXPECT_TRUE(f.resolver.requests.empty()) << "brand sites are never fetched";
}

TEST_F(IconArtworkTest, showsASitesIconOnlyOnceFetchedAndTheGlobeWhenThereIsNone) {
    const IconRef withIcon = IconRef::favicon(url("https://example.org/page"));
    const IconRef without = IconRef::favicon(url("https://example.net"));
    EXPECT_EQ(render(withIcon), blank());
    EXPECT_EQ(render(withIcon), blank());
    EXPECT_EQ(render(without), blank());
    ASSERT_EQ(f.resolver.requests,
              (std::vector<std::string>{"https://example.org/page", "https://example.net"}));

    QSignalSpy arrived(&f.artwork, &IconArtworkCache::pictureArrived);
    f.resolver.answer(0, bytes(png(Qt::blue, {512, 512})));
    f.resolver.answer(1, std::nullopt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return arrived.size() == 2; }));
    EXPECT_EQ(render(withIcon).pixelColor(side / 2, side / 2), QColor(Qt::blue));
    EXPECT_EQ(render(without), symbolAt("globe", 0.58));
    EXPECT_EQ(f.resolver.requests.size(), 2U) << "neither address is asked for again";
}

TEST_F(IconArtworkTest, viewsRepaintWhenTheirPictureArrives) {
    IconArtworkView view(f.state);
    view.setArtworkSize(30);
    view.setSymbolColor(symbolColour);
    view.setIcon(IconRef::favicon(url("https://example.org")));
    EXPECT_EQ(view.size(), QSize(30, 30));
    const auto centre = [&] { return view.grab().toImage().pixelColor(15, 15); };
    EXPECT_EQ(centre(), view.palette().color(QPalette::Window));
    f.resolver.answer(0, bytes(png(Qt::blue)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return centre() == QColor(Qt::blue); }));
}

} // namespace
} // namespace quorix
