#include "QuorixMacCore/Editor/WebIconImageNormalizer.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <array>
#include <gtest/gtest.h>

using namespace quorix;

namespace {

// Left half red, right half blue, so a turn shows in the pixels.
QImage halves(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, Qt::red);
    painter.fillRect(width / 2, 0, width - width / 2, height, Qt::blue);
    return image;
}

QByteArray
encoded(const QImage& image, const char* format,
        QImageIOHandler::Transformations transformation = QImageIOHandler::TransformationNone) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setTransformation(transformation);
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    return data;
}

QImage decodedPNG(const QByteArray& data) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    return reader.read();
}

struct SizeCase {
    const char* name;
    QByteArray data;
    double maxPixelSide;
    QSize expected;
};

TEST(WebIconImageNormalizer, boundsTheLongerSideAndKeepsSmallImages) {
    const std::array<SizeCase, 7> cases{{
        {"wide PNG", encoded(halves(1024, 512), "png"), 512, QSize(512, 256)},
        {"tall JPEG", encoded(halves(300, 900), "jpeg"), 512, QSize(171, 512)},
        {"small PNG keeps its size", encoded(halves(100, 50), "png"), 512, QSize(100, 50)},
        {"exactly the bound", encoded(halves(512, 512), "png"), 512, QSize(512, 512)},
        {"fractional bound is whole pixels", encoded(halves(400, 400), "png"), 100.9,
         QSize(100, 100)},
        {"icon file", encoded(halves(64, 64), "ico"), 32, QSize(32, 32)},
        {"WebP", encoded(halves(800, 200), "webp"), 512, QSize(512, 128)},
    }};
    for (const SizeCase& row : cases) {
        SCOPED_TRACE(row.name);
        const std::optional<QByteArray> png =
            WebIconImageNormalizer::normalizedPNGData(row.data, row.maxPixelSide);
        ASSERT_TRUE(png.has_value());
        EXPECT_TRUE(png->startsWith("\x89PNG\r\n\x1a\n"));
        EXPECT_EQ(decodedPNG(*png).size(), row.expected);
    }
}

TEST(WebIconImageNormalizer, turnsImagesUprightAsTheirOrientationTagSays) {
    // Stored 800x400 with the tag "turn 90° clockwise to show": shown 400x800, the red
    // left half on top.
    const QByteArray jpeg =
        encoded(halves(800, 400), "jpeg", QImageIOHandler::TransformationRotate90);

    const std::optional<QByteArray> png = WebIconImageNormalizer::normalizedPNGData(jpeg, 512);

    ASSERT_TRUE(png.has_value());
    const QImage upright = decodedPNG(*png);
    ASSERT_EQ(upright.size(), QSize(256, 512));
    EXPECT_GT(qRed(upright.pixel(128, 64)), 200);
    EXPECT_GT(qBlue(upright.pixel(128, 448)), 200);
}

TEST(WebIconImageNormalizer, refusesWhatIsNoImage) {
    const QByteArray png = encoded(halves(10, 10), "png");
    const std::array<std::pair<const char*, QByteArray>, 4> inputs{{
        {"empty", QByteArray()},
        {"text", QByteArray("<html>not an icon</html>")},
        {"truncated PNG", png.left(png.size() / 2)},
        {"cut-off markup", QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\"")},
    }};
    for (const auto& [name, data] : inputs) {
        SCOPED_TRACE(name);
        EXPECT_EQ(WebIconImageNormalizer::normalizedPNGData(data, 512), std::nullopt);
    }
    EXPECT_EQ(WebIconImageNormalizer::normalizedPNGData(png, 0), std::nullopt);
    EXPECT_EQ(WebIconImageNormalizer::normalizedPNGData(png, -5), std::nullopt);
}

} // namespace
