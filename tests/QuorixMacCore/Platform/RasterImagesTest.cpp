#include "QuorixMacCore/Platform/RasterImages.h"

#include "QuorixMacCore/Support/TestImages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <variant>

namespace quorix {
namespace {

Bytes twoTone(int width, int height, const char* format) {
    return test::encodedImage(test::twoToneImage(width, height, Qt::red, Qt::blue), format);
}

// The JPEG with the size in its frame header replaced: the header then promises far more
// than the data holds, as a hostile one would.
Bytes withAnnouncedSize(Bytes jpeg, int width, int height) {
    for (std::size_t at = 2; at + 9 < jpeg.size(); ++at) {
        if (jpeg[at] == 0xFF && jpeg[at + 1] == 0xC0) {
            jpeg[at + 5] = std::uint8_t(height >> 8);
            jpeg[at + 6] = std::uint8_t(height);
            jpeg[at + 7] = std::uint8_t(width >> 8);
            jpeg[at + 8] = std::uint8_t(width);
            break;
        }
    }
    return jpeg;
}

using Outcome = std::variant<QSize, RasterImageError>;

Outcome outcome(const Expected<QImage, RasterImageError>& decoded) {
    return decoded ? Outcome(decoded->size()) : Outcome(decoded.error());
}

TEST(RasterImages, decodesRasterFormatsToTheirFittedSizeAndRefusesTheRest) {
    const char svgText[] = R"(<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64">
        <rect width="64" height="64" fill="red"/></svg>)";
    const Bytes svg(svgText, svgText + sizeof svgText - 1);
    ASSERT_FALSE(QImage::fromData(svg).isNull()) << "the SVG reader is installed: refusing is ours";
    const Bytes png = twoTone(10, 10, "png");
    const Bytes smallJPEG = twoTone(16, 16, "jpeg");
    const std::tuple<const char*, Bytes, int, Outcome> cases[] = {
        {"JPEG", twoTone(300, 900, "jpeg"), 512, QSize(171, 512)},
        {"PNG, small enough", twoTone(100, 50, "png"), 512, QSize(100, 50)},
        {"ICO", twoTone(64, 64, "ico"), 32, QSize(32, 32)},
        {"WebP", twoTone(1024, 1000, "webp"), 512, QSize(512, 500)},
        {"TIFF", twoTone(2000, 1000, "tiff"), 512, QSize(512, 256)},
        {"at the pixel limit", withAnnouncedSize(smallJPEG, 8192, 8192), 512, QSize(512, 512)},
        {"over the pixel limit", withAnnouncedSize(smallJPEG, 8192, 8193), 512,
         RasterImageError::tooManyPixels},
        {"hostile header", withAnnouncedSize(smallJPEG, 60000, 60000), 512,
         RasterImageError::tooManyPixels},
        {"SVG", svg, 512, RasterImageError::notRaster},
        {"text", Bytes{'<', 'p', '>'}, 512, RasterImageError::notRaster},
        {"cut off", Bytes(png.begin(), png.begin() + png.size() / 2), 512,
         RasterImageError::undecodable},
        {"no side to fit into", png, 0, RasterImageError::undecodable},
    };
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("image.png"));
    for (const auto& [name, data, maxPixelSide, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(outcome(RasterImages::decodedImage(data, maxPixelSide)), expected);
        // A file says the same, whatever its name claims.
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(reinterpret_cast<const char*>(data.data()), qint64(data.size()));
        file.close();
        EXPECT_EQ(outcome(RasterImages::decodedImage(path, maxPixelSide)), expected);
    }
}

TEST(RasterImages, turnsImagesUprightAsTheirOrientationTagSays) {
    // Stored 800x400 red over blue, tagged "turn 90° clockwise to show": red on the right.
    const auto upright =
        RasterImages::decodedImage(test::withExifOrientation(twoTone(800, 400, "jpeg"), 6), 512);
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->size(), QSize(256, 512));
    EXPECT_GT(qRed(upright->pixel(192, 256)), 200);
    EXPECT_GT(qBlue(upright->pixel(64, 256)), 200);
}

} // namespace
} // namespace quorix
