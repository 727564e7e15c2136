#include "QuorixMacCore/Storage/MacEditorLayoutStore.h"

#include "QuorixMacCore/Platform/RasterImages.h"
#include "QuorixMacCore/Storage/LayoutIconDataCompactor.h"
#include "QuorixMacCore/Support/InMemoryUserDefaults.h"
#include "QuorixMacCore/Support/TestFiles.h"
#include "QuorixMacCore/Support/TestImages.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quorix {
namespace {

using test::decodedImage;
using test::encodedImage;
using test::readFile;

const QString layoutKey = QString(MacEditorLayoutStore::defaultKey);

LayoutRecord layoutWithIcons(std::vector<IconRef> icons) {
    PageRecord page{UUID::random(), "Page", 0, GradientPreset::custom, {}, 3, 5};
    for (IconRef& icon : icons) {
        page.buttons.push_back({UUID::random(),
                                0,
                                std::move(icon),
                                {"#000000", "#ffffff", 135},
                                ActionSpec::launchApp("org.example.App")});
    }
    return {UUID::random(),
            {std::move(page)},
            Theme::liquidGlass,
            Date(std::chrono::seconds(1'780'000'000))};
}

const Bytes& customData(const LayoutRecord& layout) {
    return std::get<IconRef::Custom>(layout.pages.at(0).buttons.at(0).icon.value).data;
}

QByteArray encoded(const LayoutRecord& layout) {
    return QByteArray::fromStdString(ProtocolJSON::encode(layout).value());
}

class MacEditorLayoutStoreTest : public ::testing::Test {
protected:
    MacEditorLayoutStore store() const {
        return {defaults, layoutKey, std::make_shared<RootedApplicationDirectories>(root.path())};
    }

    QTemporaryDir root;
    std::shared_ptr<testsupport::InMemoryUserDefaults> defaults =
        std::make_shared<testsupport::InMemoryUserDefaults>();
    // Flat halves: tiny as a PNG.
    Bytes flatPhoto = encodedImage(test::twoToneImage(2000, 1000, Qt::red, Qt::blue), "jpeg", 95);
};

TEST_F(MacEditorLayoutStoreTest, replacesAnIconOnlyByASmallerPNGOfAtMost512Pixels) {
    // Coarse noise: its PNG is far larger than the small JPEG.
    const Bytes noisyPhoto = encodedImage(test::noiseImage(2000, 1000), "jpeg", 5);
    ASSERT_GT(RasterImages::normalizedPNGData(noisyPhoto, 512)->size(), noisyPhoto.size());
    // As phones send them: uncompressed, megabytes.
    const Bytes tiffPhoto = encodedImage(test::twoToneImage(2000, 1100, Qt::red, Qt::blue), "tiff");
    ASSERT_GT(tiffPhoto.size(), 6'000'000U);
    const std::tuple<const char*, Bytes, std::optional<QSize>> cases[] = {
        {"large photo that shrinks", flatPhoto, QSize(512, 256)},
        {"TIFF photo", tiffPhoto, QSize(512, 282)},
        {"large photo whose PNG would be larger", noisyPhoto, std::nullopt},
        // Stored without compression: re-encoding shrinks both, but only one is too large.
        {"icon at the limit",
         encodedImage(test::twoToneImage(512, 512, Qt::green, Qt::red), "png", -1, 0),
         std::nullopt},
        {"icon a pixel over the limit",
         encodedImage(test::twoToneImage(100, 513, Qt::green, Qt::red), "png", -1, 0),
         QSize(100, 512)},
        {"bytes that are no image", Bytes{'{', '}'}, std::nullopt},
    };
    for (const auto& [name, data, replacedBy] : cases) {
        SCOPED_TRACE(name);
        const LayoutRecord original = layoutWithIcons(
            {IconRef::custom(data), IconRef::sfSymbol("star"), IconRef::appIcon("a.b")});
        const LayoutIconDataCompactor::Compacted compacted =
            LayoutIconDataCompactor::compact(original);

        EXPECT_EQ(compacted.changed, replacedBy.has_value());
        EXPECT_EQ(compacted.layout.updatedAt, original.updatedAt);
        if (!replacedBy) {
            EXPECT_EQ(compacted.layout, original);
            continue;
        }
        const std::optional<QImage> png = decodedImage(customData(compacted.layout), "png");
        ASSERT_TRUE(png);
        EXPECT_EQ(png->size(), *replacedBy);
    }
}

TEST_F(MacEditorLayoutStoreTest, rewritesAnOversizedStoredLayoutOnceOnLoad) {
    defaults->setRaw(layoutKey, encoded(layoutWithIcons({IconRef::custom(flatPhoto)})));

    const std::optional<LayoutRecord> first = store().load();
    ASSERT_TRUE(first);
    EXPECT_EQ(decodedImage(customData(*first), "png")->size(), QSize(512, 256));
    EXPECT_EQ(defaults->data(layoutKey), encoded(*first));

    defaults->setRaw(layoutKey, encoded(*first) + " ");
    EXPECT_EQ(store().load(), first);
    EXPECT_EQ(defaults->data(layoutKey), encoded(*first) + " ") << "nothing left to rewrite";
}

TEST_F(MacEditorLayoutStoreTest, keepsEachUndecodableValueBeforeASaveReplacesIt) {
    const QByteArray unreadable = R"({"id": "not a layout"})";
    defaults->setRaw(layoutKey, unreadable);
    EXPECT_FALSE(store().load());
    EXPECT_EQ(defaults->data(layoutKey), unreadable);
    EXPECT_EQ(readFile(root.filePath(QStringLiteral(
                  "Application Support/QuorixMacHelper/editor-layout.unreadable.json"))),
              unreadable);

    const LayoutRecord replacement = layoutWithIcons({});
    store().save(replacement);
    EXPECT_EQ(store().load(), replacement);
    EXPECT_EQ(readFile(store().unreadableCopyPath()), unreadable);

    // A different one met by a save gets its own copy; what the store wrote itself is no loss.
    const QByteArray binary = "\xff\xfe not JSON";
    defaults->setRaw(layoutKey, binary);
    store().save(replacement);
    store().save(replacement);
    EXPECT_EQ(readFile(store().unreadableCopyPath(2)), binary);
    EXPECT_FALSE(QFile::exists(store().unreadableCopyPath(3)));
}

} // namespace
} // namespace quorix
