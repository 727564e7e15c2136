#include "QuorixMacCore/Platform/RasterImages.h"

#include "QuorixMacCore/Support/TestImages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <variant>

namespace quorix {
namespace {

using test::encodedImage;
using test::twoToneImage;

Bytes twoTone(int width, int height, const char* format) {
    return encodedImage(twoToneImage(width, height, Qt::red, Qt::blue), format);
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
            return jpeg;
        }
    }
    ADD_FAILURE() << "no frame header";
    return jpeg;
}

const Bytes svg = [] {
    const char text[] = R"(<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64">
        <rect width="64" height="64" fill="red"/></svg>)";
    return Bytes(text, text + sizeof text - 1);
}();

// Qt writes no GIF: a one-pixel one by hand.
const Bytes gif{'G', 'I',  'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xff, 0xff, 0xff, 0,   0,
                0,   0x2c, 0,   0,   0,   0,   1, 0, 1, 0, 0,    2, 2, 0x44, 1,    0,    0x3b};

using Outcome = std::variant<QSize, RasterImageError>;

Outcome outcome(const Expected<QImage, RasterImageError>& decoded) {
    return decoded ? Outcome(decoded->size()) : Outcome(decoded.error());
}

TEST(RasterImages, decodesRasterFormatsToTheirFittedSizeAndRefusesTheRest) {
    ASSERT_FALSE(QImage::fromData(svg.data(), int(svg.size())).isNull())
        << "the SVG reader is installed, so refusing is ours";
    const Bytes png = twoTone(10, 10, "png");
    const Bytes smallJPEG = twoTone(16, 16, "jpeg");
    const std::tuple<const char*, Bytes, int, Outcome> cases[] = {
        {"JPEG", twoTone(300, 900, "jpeg"), 512, QSize(171, 512)},
        {"PNG, small enough", twoTone(100, 50, "png"), 512, QSize(100, 50)},
        {"GIF", gif, 512, QSize(1, 1)},
        {"ICO", twoTone(64, 64, "ico"), 32, QSize(32, 32)},
        {"WebP", twoTone(1024, 1000, "webp"), 512, QSize(512, 500)},
        {"BMP", twoTone(513, 1, "bmp"), 512, QSize(512, 1)},
        {"TIFF", twoTone(2000, 1000, "tiff"), 512, QSize(512, 256)},
        {"turned by its Exif tag", test::withExifOrientation(twoTone(800, 400, "jpeg"), 6), 512,
         QSize(256, 512)},
        {"at the pixel limit", withAnnouncedSize(smallJPEG, 8192, 8192), 512, QSize(512, 512)},
        {"over the pixel limit", withAnnouncedSize(smallJPEG, 8192, 8193), 512,
         RasterImageError::tooManyPixels},
        {"hostile header", withAnnouncedSize(smallJPEG, 60000, 60000), 512,
         RasterImageError::tooManyPixels},
        {"SVG", svg, 512, RasterImageError::notRaster},
        {"text", Bytes{'<', 'p', '>'}, 512, RasterImageError::notRaster},
        {"nothing", Bytes{}, 512, RasterImageError::notRaster},
        {"cut off", Bytes(png.begin(), png.begin() + png.size() / 2), 512,
         RasterImageError::undecodable},
        {"no side to fit into", png, 0, RasterImageError::undecodable},
    };
    QTemporaryDir directory;
    for (const auto& [name, data, maxPixelSide, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(outcome(RasterImages::decodedImage(data, maxPixelSide)), expected);

        // A file says the same, whatever its name claims.
        const QString path = directory.filePath(QStringLiteral("image.png"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(reinterpret_cast<const char*>(data.data()), qint64(data.size()));
        file.close();
        EXPECT_EQ(outcome(RasterImages::decodedImage(path, maxPixelSide)), expected);

        const std::optional<Bytes> normalized = RasterImages::normalizedPNGData(data, maxPixelSide);
        const QSize* size = std::get_if<QSize>(&expected);
        EXPECT_EQ(normalized.has_value(), size != nullptr);
        if (normalized && size) {
            EXPECT_EQ(test::decodedImage(*normalized, "png")->size(), *size);
        }
    }
    EXPECT_EQ(outcome(RasterImages::decodedImage(directory.filePath(QStringLiteral("none")), 9)),
              Outcome(RasterImageError::undecodable));
}

TEST(RasterImages, turnsImagesUprightAsTheirOrientationTagSays) {
    // Stored 800x400 red over blue, tagged "turn 90° clockwise to show": red on the right.
    const auto upright =
        RasterImages::decodedImage(test::withExifOrientation(twoTone(800, 400, "jpeg"), 6), 512);
    ASSERT_TRUE(upright);
    EXPECT_GT(qRed(upright->pixel(192, 256)), 200);
    EXPECT_GT(qBlue(upright->pixel(64, 256)), 200);
}

TEST(RasterImages, fitsWithinReadsOnlyTheHeaderOfRasterImages) {
    const std::tuple<Bytes, int, bool> cases[] = {
        {twoTone(512, 300, "png"), 512, true},
        {twoTone(300, 513, "png"), 512, false},
        {twoTone(20, 20, "tiff"), 20, true},
        {withAnnouncedSize(twoTone(16, 16, "jpeg"), 600, 16), 512, false},
        {svg, 512, false},
        {Bytes{1, 2, 3}, 512, false},
    };
    for (const auto& [data, maxPixelSide, fits] : cases) {
        EXPECT_EQ(RasterImages::fitsWithin(data, maxPixelSide), fits) << maxPixelSide;
    }
}

TEST(RasterImages, fittedSizeShrinksTheLongerSideToTheLimitAndNeverEnlarges) {
    const std::tuple<QSize, int, QSize> cases[] = {
        {QSize(1024, 512), 512, QSize(512, 256)},
        {QSize(1000, 600), 512, QSize(512, 307)},
        {QSize(64, 64), 512, QSize(64, 64)},
        {QSize(10000, 1), 100, QSize(100, 1)},
        {QSize(0, 10), 512, QSize()},
        {QSize(10, 10), 0, QSize()},
    };
    for (const auto& [source, maxPixelSide, fitted] : cases) {
        EXPECT_EQ(RasterImages::fittedSize(source, maxPixelSide), fitted) << maxPixelSide;
    }
}

} // namespace
} // namespace quorix
