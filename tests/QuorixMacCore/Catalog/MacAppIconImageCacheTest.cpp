#include "QuorixMacCore/Catalog/MacAppIconImageCache.h"

#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <gtest/gtest.h>
#include <map>

namespace quorix {
namespace {

/// Applications whose icons are image files, counting the lookups.
class IconFileApplications final : public InstalledApplications {
public:
    std::vector<InstalledApplication> offeredApplications() const override { return {}; }
    std::optional<QString> iconName(const QString& id) const override {
        ++lookups;
        const auto found = icons.find(id);
        return found == icons.end() ? std::nullopt : std::optional<QString>(found->second);
    }
    QString messagesLocale() const override { return {}; }

    std::map<QString, QString> icons;
    mutable std::atomic<int> lookups{0};
};

class MacAppIconImageCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        QImage large(512, 256, QImage::Format_ARGB32);
        large.fill(Qt::green);
        ASSERT_TRUE(large.save(directory.filePath(QStringLiteral("editor.png"))));
        applications->icons[QStringLiteral("org.example.Editor")] =
            directory.filePath(QStringLiteral("editor.png"));
    }

    /// Asks until the answer is no longer "rendering".
    MacAppIconImageCache::Lookup settled(const QString& id) {
        QSignalSpy finished(&cache, &MacAppIconImageCache::renderFinished);
        MacAppIconImageCache::Lookup lookup = cache.image(id);
        if (lookup.status == MacAppIconImageCache::Status::rendering) {
            EXPECT_TRUE(finished.wait(60'000));
            EXPECT_EQ(finished.takeFirst().at(0).toString(), id);
            lookup = cache.image(id);
        }
        return lookup;
    }

    QTemporaryDir directory;
    std::shared_ptr<IconFileApplications> applications = std::make_shared<IconFileApplications>();
    MacAppIconImageCache cache{applications};
};

TEST_F(MacAppIconImageCacheTest, rendersOnceOffTheCallersThreadAndServesFromMemory) {
    const QString id = QStringLiteral("org.example.Editor");
    EXPECT_EQ(cache.image(id).status, MacAppIconImageCache::Status::rendering);
    EXPECT_EQ(cache.image(id).status, MacAppIconImageCache::Status::rendering);
    const MacAppIconImageCache::Lookup ready = settled(id);
    ASSERT_EQ(ready.status, MacAppIconImageCache::Status::ready);
    EXPECT_EQ(ready.image.size(), QSize(128, 64));
    EXPECT_EQ(ready.image.pixelColor(64, 32), QColor(Qt::green));
    EXPECT_EQ(cache.image(id).status, MacAppIconImageCache::Status::ready);
    EXPECT_EQ(applications->lookups, 1);
}

TEST_F(MacAppIconImageCacheTest, reportsAMissingApplicationWithoutLookingAgainAtOnce) {
    for (const char* id : {"org.example.Missing", "org.example.Unreadable"}) {
        applications->lookups = 0;
        if (std::string_view(id) == "org.example.Unreadable") {
            applications->icons[QString::fromLatin1(id)] =
                directory.filePath(QStringLiteral("none.png"));
        }
        EXPECT_EQ(settled(QString::fromLatin1(id)).status, MacAppIconImageCache::Status::missing)
            << id;
        EXPECT_EQ(cache.image(QString::fromLatin1(id)).status,
                  MacAppIconImageCache::Status::missing);
        QCoreApplication::processEvents();
        EXPECT_EQ(applications->lookups, 1) << id;
    }
}

} // namespace
} // namespace quorix
