#include "QuorixMacCore/Control/MacEditorLayoutStore.h"

#include "QuorixMacCore/Control/LayoutIconDataCompactor.h"
#include "QuorixMacCore/Control/MacIconDataNormalizer.h"
#include "QuorixMacCore/Platform/Linux/SettingsUserDefaults.h"
#include "QuorixMacCore/Support/InMemoryUserDefaults.h"
#include "QuorixMacCore/Support/TestImages.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quorix {
namespace {

using test::decodedImage;
using test::encodedImage;

const QString layoutKey = QString(MacEditorLayoutStore::defaultKey);

LayoutRecord layoutWithIcons(std::vector<IconRef> icons) {
    PageRecord page{UUID::random(), "Page", 0, GradientPreset::custom, {}, 3, 5};
    for (IconRef& icon : icons) {
        page.buttons.push_back({UUID::random(),
                                static_cast<std::int64_t>(page.buttons.size()),
                                std::move(icon),
                                {"#000000", "#ffffff", 135},
                                ActionSpec::launchApp("org.example.App")});
    }
    return {UUID::random(),
            {std::move(page)},
            Theme::liquidGlass,
            Date(std::chrono::seconds(1'780'000'000))};
}

const Bytes& customData(const LayoutRecord& layout, std::size_t button = 0) {
    return std::get<IconRef::Custom>(layout.pages.at(0).buttons.at(button).icon.value).data;
}

QByteArray encoded(const LayoutRecord& layout) {
    return QByteArray::fromStdString(ProtocolJSON::encode(layout).value());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// Counts the writes of the layout's key.
class CountingUserDefaults final : public UserDefaults {
public:
    std::optional<QString> string(const QString& key) const override { return m_inner.string(key); }
    std::optional<QStringList> stringArray(const QString& key) const override {
        return m_inner.stringArray(key);
    }
    std::optional<QByteArray> data(const QString& key) const override { return m_inner.data(key); }
    void setString(const QString& key, const QString& value) override {
        m_inner.setString(key, value);
    }
    void setStringArray(const QString& key, const QStringList& value) override {
        m_inner.setStringArray(key, value);
    }
    void setData(const QString& key, const QByteArray& value) override {
        ++writes;
        m_inner.setData(key, value);
    }
    void remove(const QString& key) override { m_inner.remove(key); }
    bool synchronize() override { return m_inner.synchronize(); }

    void setRaw(const QString& key, const QVariant& value) { m_inner.setRaw(key, value); }

    int writes = 0;

private:
    testsupport::InMemoryUserDefaults m_inner;
};

// Images whose fate in the store is known.
struct Images {
    // Two flat halves: tiny as a PNG, much larger as a photo JPEG.
    Bytes flatPhoto = encodedImage(test::twoToneImage(2000, 1000, Qt::red, Qt::blue), "jpeg", 95);
    // Coarse noise: a 512 x 256 PNG of it is far larger than the small JPEG.
    Bytes noisyPhoto = encodedImage(test::noiseImage(2000, 1000), "jpeg", 5);
    // At the limit, and stored without compression, so a re-encoding would be smaller.
    Bytes uncompressedIcon =
        encodedImage(test::twoToneImage(512, 512, Qt::green, Qt::yellow), "png", -1, 0);
    // Stored landscape, shown portrait: the Exif tag asks for a quarter turn clockwise.
    Bytes turnedPhoto = test::withExifOrientation(
        encodedImage(test::twoToneImage(1000, 600, Qt::red, Qt::blue), "jpeg", 95), 6);
    Bytes notAnImage = test::toBytes("{\"this\": \"is not an image\"}");
};

class MacEditorLayoutStoreTest : public ::testing::Test {
protected:
    MacEditorLayoutStore store(QString key = layoutKey) const {
        return {defaults, std::move(key),
                std::make_shared<RootedApplicationDirectories>(root.path())};
    }

    QTemporaryDir root;
    std::shared_ptr<CountingUserDefaults> defaults = std::make_shared<CountingUserDefaults>();
    Images images;
};

TEST_F(MacEditorLayoutStoreTest, replacesAnIconOnlyByASmallerPNGOfAtMost512Pixels) {
    ASSERT_GT(MacIconDataNormalizer::normalizedPNGData(images.noisyPhoto, 512)->size(),
              images.noisyPhoto.size())
        << "the noisy photo must grow as a PNG for this test to mean anything";

    struct Case {
        const char* name;
        Bytes data;
        std::optional<QSize> replacedBy; // nothing: the data stays
    };
    const std::vector<Case> cases{
        {"a large photo that shrinks", images.flatPhoto, QSize(512, 256)},
        {"a large photo whose PNG would be larger", images.noisyPhoto, std::nullopt},
        {"an icon at the limit, even when a PNG would be smaller", images.uncompressedIcon,
         std::nullopt},
        {"a photo turned by its Exif tag", images.turnedPhoto, QSize(307, 512)},
        {"bytes that are no image", images.notAnImage, std::nullopt},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        const LayoutRecord original = layoutWithIcons({IconRef::custom(each.data)});
        const LayoutIconDataCompactor::Compacted compacted =
            LayoutIconDataCompactor::compact(original);

        EXPECT_EQ(compacted.changed, each.replacedBy.has_value());
        if (!each.replacedBy) {
            EXPECT_EQ(compacted.layout, original);
            continue;
        }
        const std::optional<QImage> png = decodedImage(customData(compacted.layout), "png");
        ASSERT_TRUE(png);
        EXPECT_EQ(png->size(), *each.replacedBy);
        EXPECT_EQ(compacted.layout.updatedAt, original.updatedAt);
    }
}

TEST_F(MacEditorLayoutStoreTest, turnsAPhotoUprightAsItsExifTagSays) {
    const std::optional<QImage> png =
        decodedImage(*MacIconDataNormalizer::normalizedPNGData(images.turnedPhoto, 512), "png");
    ASSERT_TRUE(png);
    ASSERT_EQ(png->size(), QSize(307, 512));
    // A quarter turn clockwise takes the red top to the right and the blue bottom to the left.
    const auto near = [](QColor actual, QColor expected) {
        return std::abs(actual.red() - expected.red()) < 40 &&
               std::abs(actual.blue() - expected.blue()) < 40;
    };
    EXPECT_TRUE(near(png->pixelColor(20, 256), Qt::blue));
    EXPECT_TRUE(near(png->pixelColor(286, 256), Qt::red));
}

TEST_F(MacEditorLayoutStoreTest, normalizerAnswersPerDesign) {
    EXPECT_EQ(MacIconDataNormalizer::normalizedPNGData(images.uncompressedIcon, 512),
              images.uncompressedIcon);
    EXPECT_FALSE(MacIconDataNormalizer::normalizedPNGData(images.notAnImage, 512));
    EXPECT_FALSE(MacIconDataNormalizer::normalizedPNGData(Bytes{}, 512));
    EXPECT_FALSE(MacIconDataNormalizer::downsampledPNGData(images.uncompressedIcon, 512));
    EXPECT_TRUE(MacIconDataNormalizer::downsampledPNGData(images.uncompressedIcon, 511));
}

TEST_F(MacEditorLayoutStoreTest, leavesIconsOtherThanCustomDataAlone) {
    const LayoutRecord original =
        layoutWithIcons({IconRef::sfSymbol("star"), IconRef::appIcon("org.example.App"),
                         IconRef::favicon(*URL::parse("https://example.org/favicon.ico"))});
    EXPECT_FALSE(LayoutIconDataCompactor::compact(original).changed);
}

TEST_F(MacEditorLayoutStoreTest, savesTheCompactedLayoutAndLeavesTheCallersValue) {
    const LayoutRecord original =
        layoutWithIcons({IconRef::custom(images.flatPhoto), IconRef::custom(images.noisyPhoto)});
    const LayoutRecord copy = original;

    store().save(original);

    EXPECT_EQ(original, copy);
    const std::optional<QByteArray> stored = defaults->data(layoutKey);
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, encoded(LayoutIconDataCompactor::compact(original).layout));
    const LayoutRecord loaded = ProtocolJSON::decodeLayout(stored->toStdString()).value();
    EXPECT_EQ(decodedImage(customData(loaded, 0), "png")->size(), QSize(512, 256));
    EXPECT_EQ(customData(loaded, 1), images.noisyPhoto);
}

TEST_F(MacEditorLayoutStoreTest, rewritesAnOversizedStoredLayoutOnceOnLoad) {
    const LayoutRecord original = layoutWithIcons({IconRef::custom(images.flatPhoto)});
    defaults->setRaw(layoutKey, encoded(original));

    const std::optional<LayoutRecord> first = store().load();
    ASSERT_TRUE(first);
    EXPECT_EQ(decodedImage(customData(*first), "png")->size(), QSize(512, 256));
    EXPECT_EQ(first->updatedAt, original.updatedAt);
    EXPECT_EQ(defaults->writes, 1);
    EXPECT_EQ(defaults->data(layoutKey), encoded(*first));

    EXPECT_EQ(store().load(), first);
    EXPECT_EQ(defaults->writes, 1);
}

TEST_F(MacEditorLayoutStoreTest, loadsNothingWithoutAStoredValue) {
    EXPECT_FALSE(store().load());
    EXPECT_EQ(defaults->writes, 0);
    EXPECT_FALSE(QFile::exists(store().unreadableCopyPath()));
}

TEST_F(MacEditorLayoutStoreTest, keepsAnUndecodableStoredValueBeforeTheNextSaveReplacesIt) {
    const QByteArray unreadable = R"({"id": "not a layout"})";
    defaults->setRaw(layoutKey, unreadable);
    const MacEditorLayoutStore layoutStore = store();

    EXPECT_FALSE(layoutStore.load());
    EXPECT_EQ(defaults->data(layoutKey), unreadable) << "loading never touches the value";
    const QString copyPath = root.filePath(
        QStringLiteral("Application Support/QuorixMacHelper/editor-layout.unreadable.json"));
    EXPECT_EQ(layoutStore.unreadableCopyPath(), copyPath);
    EXPECT_EQ(readFile(copyPath), unreadable);

    const LayoutRecord replacement = layoutWithIcons({IconRef::sfSymbol("star")});
    layoutStore.save(replacement);
    EXPECT_EQ(layoutStore.load(), replacement);
    EXPECT_EQ(readFile(copyPath), unreadable);
}

TEST_F(MacEditorLayoutStoreTest, keepsAnUndecodableValueThatASaveMeetsFirst) {
    const QByteArray first = "\xff\xfe not JSON";
    defaults->setRaw(layoutKey, first);
    store().save(layoutWithIcons({}));
    EXPECT_EQ(readFile(store().unreadableCopyPath()), first);

    // Text is no stored layout either, and a different value does not replace the first
    // copy.
    const QString second = QStringLiteral("{\"pages\": []}");
    defaults->setRaw(layoutKey, second);
    store().save(layoutWithIcons({}));
    EXPECT_EQ(readFile(store().unreadableCopyPath()), first);
    EXPECT_EQ(readFile(store().unreadableCopyPath(2)), second.toUtf8());

    // The value the store wrote itself is not copied by a later save.
    store().save(layoutWithIcons({}));
    EXPECT_FALSE(QFile::exists(store().unreadableCopyPath(3)));
}

TEST_F(MacEditorLayoutStoreTest, roundTripsThroughADefaultsFile) {
    auto fileDefaults =
        std::make_shared<SettingsUserDefaults>(root.filePath(QStringLiteral("defaults/standard")));
    const auto directories = std::make_shared<RootedApplicationDirectories>(root.path());
    const MacEditorLayoutStore layoutStore(fileDefaults, layoutKey, directories);
    const LayoutRecord layout =
        layoutWithIcons({IconRef::custom(images.uncompressedIcon), IconRef::sfSymbol("star")});

    layoutStore.save(layout);

    EXPECT_EQ(MacEditorLayoutStore(fileDefaults, layoutKey, directories).load(), layout);
}

} // namespace
} // namespace quorix
