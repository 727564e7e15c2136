#include "QuorixMacCore/Editor/WebIconImageNormalizer.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <gtest/gtest.h>

using namespace quorix;

namespace {

// Left half red, right half blue, so a turn shows in the pixels.
QByteArray halves(int width, int height, const char* format,
                  QImageIOHandler::Transformations turn = QImageIOHandler::TransformationNone) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, Qt::red);
    painter.fillRect(width / 2, 0, width - width / 2, height, Qt::blue);
    painter.end();
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setTransformation(turn);
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    return data;
}

QImage normalized(const QByteArray& data, double maxPixelSide) {
    const std::optional<QByteArray> png =
        WebIconImageNormalizer::normalizedPNGData(data, maxPixelSide);
    return png && png->startsWith("\x89PNG\r\n\x1a\n") ? QImage::fromData(*png, "png") : QImage();
}

TEST(WebIconImageNormalizer, boundsTheLongerSideAndKeepsSmallImages) {
    const std::vector<std::tuple<QByteArray, double, QSize>> cases{
        {halves(1024, 512, "png"), 512, QSize(512, 256)},
        {halves(300, 900, "jpeg"), 512, QSize(171, 512)},
        {halves(100, 50, "png"), 512, QSize(100, 50)},
        {halves(400, 400, "png"), 100.9, QSize(100, 100)},
        {halves(64, 64, "ico"), 32, QSize(32, 32)},
        {halves(800, 200, "webp"), 512, QSize(512, 128)},
    };
    for (const auto& [data, maxPixelSide, expected] : cases) {
        EXPECT_EQ(normalized(data, maxPixelSide).size(), expected) << maxPixelSide;
    }
}

TEST(WebIconImageNormalizer, turnsImagesUprightAsTheirOrientationTagSays) {
    // Stored 800x400, tagged "turn 90° clockwise to show": shown 400x800, red half on top.
    const QImage upright =
        normalized(halves(800, 400, "jpeg", QImageIOHandler::TransformationRotate90), 512);
    ASSERT_EQ(upright.size(), QSize(256, 512));
    EXPECT_GT(qRed(upright.pixel(128, 64)), 200);
    EXPECT_GT(qBlue(upright.pixel(128, 448)), 200);
}

TEST(WebIconImageNormalizer, refusesWhatIsNoImageAndVectorFormats) {
    const QByteArray png = halves(10, 10, "png");
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
