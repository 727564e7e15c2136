#include "QuorixMacCore/Artwork/SymbolGlyphs.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QRegularExpression>

#include <gtest/gtest.h>
#include <map>

namespace quorix {
namespace {

// The font package's own list of glyph names and code points.
constexpr const char* codepointList =
    "/usr/share/fonts-material-design-icons-iconfont/scss/_variables.scss";

std::map<std::string, char16_t> codepointsByGlyphName() {
    QFile file(QString::fromLatin1(codepointList));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    std::map<std::string, char16_t> codepoints;
    static const QRegularExpression entry(QStringLiteral("\"([a-z0-9_]+)\": ([0-9a-f]{4})"));
    const QString text = QString::fromUtf8(file.readAll());
    for (auto match = entry.globalMatch(text); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        codepoints[found.captured(1).toStdString()] =
            char16_t(found.captured(2).toUInt(nullptr, 16));
    }
    return codepoints;
}

TEST(SymbolGlyphs, everyGlyphIsTheFontsGlyphOfThatNameAndPresentInIt) {
    const auto codepoints = codepointsByGlyphName();
    ASSERT_FALSE(codepoints.empty()) << "cannot read " << codepointList;
    const QRawFont raw(QString(SymbolGlyphs::fontPath), 24);
    ASSERT_TRUE(raw.isValid()) << "cannot read " << QString(SymbolGlyphs::fontPath).toStdString();
    ASSERT_GE(QFontDatabase::addApplicationFont(QString(SymbolGlyphs::fontPath)), 0);
    const QFontMetrics metrics{QFont(QString(SymbolGlyphs::fontFamily))};

    std::vector<SymbolGlyphs::SymbolGlyph> glyphs(SymbolGlyphs::table().begin(),
                                                  SymbolGlyphs::table().end());
    glyphs.push_back(SymbolGlyphs::fallbackGlyph);
    for (const SymbolGlyphs::SymbolGlyph& glyph : glyphs) {
        SCOPED_TRACE(std::string(glyph.symbolName) + " as " + std::string(glyph.glyphName));
        const auto named = codepoints.find(std::string(glyph.glyphName));
        ASSERT_NE(named, codepoints.end());
        EXPECT_EQ(named->second, glyph.codepoint);
        EXPECT_TRUE(raw.supportsCharacter(QChar(glyph.codepoint)));
        EXPECT_TRUE(metrics.inFont(QChar(glyph.codepoint)));
    }
}

TEST(SymbolGlyphs, knowsEverySymbolTheProgramDrawsAndFallsBackForOthers) {
    for (const char* name : {"trash",
                             "plus",
                             "globe",
                             "keyboard",
                             "sparkles",
                             "app",
                             "app.fill",
                             "photo",
                             "photo.on.rectangle",
                             "folder",
                             "info.circle",
                             "xmark.circle.fill",
                             "plus.circle.fill",
                             "chevron.down",
                             "checkmark",
                             "qrcode.viewfinder",
                             "rectangle.grid.3x2",
                             "rectangle.badge.plus",
                             "rectangle.on.rectangle",
                             "play.rectangle.on.rectangle",
                             "play.fill",
                             "mic.slash.fill",
                             "hand.tap.fill",
                             "hand.point.up.left.fill",
                             "cursorarrow.click.2"}) {
        EXPECT_TRUE(SymbolGlyphs::isKnown(name)) << name;
    }
    EXPECT_GE(SymbolGlyphs::table().size(), 100U);
    for (const char* unknown : {"", "no.such.symbol", "Trash", "trash "}) {
        EXPECT_EQ(&SymbolGlyphs::glyph(unknown), &SymbolGlyphs::fallbackGlyph) << unknown;
    }
}

struct Painted {
    int inside = 0;
    int outside = 0;
    int offColour = 0;
};

Painted paintedPixels(const QImage& image, const QRect& inside, QColor colour) {
    Painted painted;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() == 0) {
                continue;
            }
            ++(inside.contains(x, y) ? painted.inside : painted.outside);
            // Edge pixels are partly covered; full ones must be exactly the colour.
            if (pixel.alpha() == 255 && pixel.rgb() != colour.rgb()) {
                ++painted.offColour;
            }
        }
    }
    return painted;
}

TEST(SymbolGlyphs, paintsOnlyInsideItsRectInItsColourAtTheDevicePixelRatio) {
    struct Case {
        QRectF rect;
        qreal ratio;
    };
    const QColor colour(20, 90, 200);
    for (const Case& c : {Case{{8, 4, 20, 30}, 1}, Case{{10, 0, 40, 12}, 3}}) {
        SCOPED_TRACE(c.ratio);
        QImage image(QSize(64, 48) * c.ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(c.ratio);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        SymbolGlyphs::paintSymbol(painter, c.rect, "trash", colour);
        painter.end();
        const QRectF pixels(c.rect.topLeft() * c.ratio, c.rect.size() * c.ratio);
        const Painted painted = paintedPixels(image, pixels.toAlignedRect(), colour);
        // The glyph is square: it fills the shorter side.
        const qreal glyphSide = std::min(pixels.width(), pixels.height());
        EXPECT_GT(painted.inside, glyphSide * glyphSide / 4);
        EXPECT_EQ(painted.outside, 0);
        EXPECT_EQ(painted.offColour, 0);
    }

    const QPixmap pixmap = SymbolGlyphs::symbolPixmap("globe", colour, 18, 2);
    EXPECT_EQ(pixmap.size(), QSize(36, 36));
    EXPECT_EQ(pixmap.devicePixelRatio(), 2);
    EXPECT_GT(paintedPixels(pixmap.toImage(), QRect(0, 0, 36, 36), colour).inside, 100);
}

} // namespace
} // namespace quorix
