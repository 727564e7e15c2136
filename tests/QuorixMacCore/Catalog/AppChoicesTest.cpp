#include "QuorixMacCore/Catalog/AppChoices.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quorix {
namespace {

class FixedApplicationFiles final : public ApplicationFiles {
public:
    ApplicationFile describe(const QString&) const override { return file; }
    ApplicationFile file;
};

TEST(FileSystemAppChoice, takesTheFilesDescriptionWithItsIconAtMost512Pixels) {
    QTemporaryDir directory;
    const QString icon = directory.filePath(QStringLiteral("icon.png"));
    QImage large(800, 400, QImage::Format_ARGB32);
    large.fill(Qt::red);
    ASSERT_TRUE(large.save(icon));
    FixedApplicationFiles files;
    files.file = {QStringLiteral("Notes"), QStringLiteral("org.example.Notes"), icon};

    const auto withIcon = FileSystemAppChoice::fromPath(QStringLiteral("/x/notes.desktop"), files);
    EXPECT_EQ(withIcon.name, "Notes");
    EXPECT_EQ(withIcon.bundleID, "org.example.Notes");
    EXPECT_EQ(withIcon.fallbackPath, "/x/notes.desktop");
    ASSERT_TRUE(withIcon.iconData);
    const QImage stored = QImage::fromData(withIcon.iconData->data(),
                                           static_cast<int>(withIcon.iconData->size()), "PNG");
    EXPECT_EQ(stored.size(), QSize(512, 256));

    for (const std::optional<QString>& missing :
         {std::optional<QString>(),
          std::optional(directory.filePath(QStringLiteral("none.png")))}) {
        files.file.iconName = missing;
        EXPECT_EQ(FileSystemAppChoice::fromPath(QStringLiteral("/x/y"), files).iconData,
                  std::nullopt);
    }
}

} // namespace
} // namespace quorix
