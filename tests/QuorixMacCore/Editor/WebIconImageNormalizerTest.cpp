#include "QuorixMacCore/Editor/WebIconImageNormalizer.h"

#include "QuorixMacCore/Support/TestImages.h"

#include <gtest/gtest.h>

using namespace quorix;

namespace {

// Top half red, bottom half blue, so a turn shows in the pixels; tagged with an Exif
// orientation when one is given.
QByteArray twoTone(int width, int height, const char* format, std::uint8_t orientation = 0) {
    Bytes data = test::encodedImage(test::twoToneImage(width, height, Qt::red, Qt::blue), format);
    if (orientation != 0) {
        data = test::withExifOrientation(data, orientation);
    }
    return QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
}

QImage normalized(const QByteArray& data, double maxPixelSide) {
    const std::optional<QByteArray> png =
        WebIconImageNormalizer::normalizedPNGData(data, maxPixelSide);
    return png && png->startsWith("\x89PNG\r\n\x1a\n") ? QImage::fromData(*png, "png") : QImage();
}

TEST(WebIconImageNormalizer, boundsTheLongerSideAndKeepsSmallImages) {
    const std::vector<std::tuple<QByteArray, double, QSize>> cases{
        {twoTone(300, 900, "jpeg"), 512, QSize(171, 512)},
        {twoTone(100, 50, "png"), 512, QSize(100, 50)},
        {twoTone(400, 400, "png"), 100.9, QSize(100, 100)},
        {twoTone(64, 64, "ico"), 32, QSize(32, 32)},
    };
    for (const auto& [data, maxPixelSide, expected] : cases) {
        EXPECT_EQ(normalized(data, maxPixelSide).size(), expected) << maxPixelSide;
    }
}

TEST(WebIconImageNormalizer, turnsImagesUprightAsTheirOrientationTagSays) {
    // Stored 800x400, tagged "turn 90° clockwise to show": shown 400x800, red half on the right.
    const QImage upright = normalized(twoTone(800, 400, "jpeg", 6), 512);
    ASSERT_EQ(upright.size(), QSize(256, 512));
    EXPECT_GT(qRed(upright.pixel(192, 256)), 200);
    EXPECT_GT(qBlue(upright.pixel(64, 256)), 200);
}

TEST(WebIconImageNormalizer, refusesWhatIsNoImageAndVectorFormats) {
    const QByteArray png = twoTone(10, 10, "png");
    const QByteArray svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64">
        <rect width="64" height="64" fill="red"/></svg>)";
    ASSERT_FALSE(QImage::fromData(svg).isNull())
        << "the SVG reader is installed, so refusing is ours";
    for (const QByteArray& data :
         {svg, QByteArray(), QByteArray("<html>not an icon</html>"), png.left(png.size() / 2)}) {
        EXPECT_EQ(WebIconImageNormalizer::normalizedPNGData(data, 512), std::nullopt);
    }
    EXPECT_EQ(WebIconImageNormalizer::normalizedPNGData(png, 0), std::nullopt);
}

} // namespace
