#include "QuorixMacCore/Catalog/InstalledAppsScanner.h"

#include "QuorixMacCore/Platform/Linux/DesktopEntryApplications.h"
#include "QuorixMacCore/Support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>

#include <gtest/gtest.h>

namespace quorix {
namespace {

class InstalledAppsScannerTest : public ::testing::Test {
protected:
    QString at(const char* path) const { return root.filePath(QString::fromUtf8(path)); }

    void write(const char* path, const QByteArray& contents) const {
        test::writeFile(at(path), contents);
    }
    void writeApp(const char* path, const char* name, const QByteArray& extra = {}) const {
        write(path, "[Desktop Entry]\nType=Application\n" +
                        (name ? "Name=" + QByteArray(name) + "\n" : QByteArray()) + extra);
    }
    QByteArray iconLine(const char* path) const { return "Icon=" + at(path).toUtf8() + "\n"; }
    void writeImage(const char* path, QSize size) const {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::red);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(at(path)).absolutePath()));
        ASSERT_TRUE(image.save(at(path), "PNG"));
    }

    std::shared_ptr<const InstalledApplications> configuration(const char* locale = "C") const {
        return std::make_shared<DesktopEntryApplications>(DesktopEntryApplications::Configuration{
            {at("user/applications"), at("system/applications"), at("missing/applications")},
            QString::fromLatin1(locale)});
    }

    QTemporaryDir root;
};

// Invalid for no data.
QSize pngSize(const std::optional<Bytes>& data) {
    return data ? QImage::fromData(*data, "PNG").size() : QSize();
}

TEST_F(InstalledAppsScannerTest, listsWhatTheUserWouldSeeInTheirMenus) {
    writeApp("user/applications/org.example.Editor.desktop", "User Editor");
    writeApp("user/applications/removed.desktop", "Removed", "Hidden=true\n");
    writeApp("user/applications/quiet.desktop", "Quiet", "NoDisplay=true\n");
    write("user/applications/site.desktop", "[Desktop Entry]\nType=Link\nName=Site\n");
    writeApp("user/applications/unnamed.desktop", nullptr);
    writeApp("user/applications/.secret.desktop", "Secret");
    writeApp("user/applications/shouting.DESKTOP", "Shouting");
    writeApp("user/applications/nested/deep.desktop", "Deep");
    write("user/applications/broken.desktop", "Name=No group at all\n");

    writeApp("system/applications/org.example.Editor.desktop", "System Editor");
    writeApp("system/applications/removed.desktop", "Removed From System");
    writeApp("system/applications/broken.desktop", "fixed by system");
    writeApp("system/applications/cherry.desktop", "cherry", "Name[ja]=さくらんぼ\n");
    writeApp("system/applications/banana.desktop", "Banana");
    writeApp("system/applications/apple.desktop", "apple");
    writeApp("system/applications/also-apple.desktop", "Apple");

    const std::vector<AppInfo> expected{{"Apple", "also-apple", ""},
                                        {"apple", "apple", ""},
                                        {"Banana", "banana", ""},
                                        {"cherry", "cherry", ""},
                                        {"fixed by system", "broken", ""},
                                        {"unnamed", "unnamed", ""},
                                        {"User Editor", "org.example.Editor", ""}};
    EXPECT_EQ(InstalledAppsScanner(configuration()).scan(), expected);

    const auto japanese = InstalledAppsScanner(configuration("ja_JP.UTF-8")).scan();
    EXPECT_EQ(japanese.back().name, "さくらんぼ");
}

TEST_F(InstalledAppsScannerTest, keepsItsFirstCatalogueForItsLife) {
    writeApp("system/applications/one.desktop", "One");
    InstalledAppsScanner scanner(configuration());
    // The editor and the server's task pool share one scanner and may ask at once.
    std::vector<QFuture<std::vector<AppInfo>>> firstCalls;
    for (int i = 0; i < 4; ++i) {
        firstCalls.push_back(QtConcurrent::run([&scanner] { return scanner.scan(); }));
    }
    for (auto& call : firstCalls) {
        EXPECT_EQ(call.result().size(), 1u);
    }
    writeApp("system/applications/two.desktop", "Two");
    EXPECT_EQ(scanner.scan().size(), 1u);
    EXPECT_EQ(InstalledAppsScanner(configuration()).scan().size(), 2u);
}

TEST_F(InstalledAppsScannerTest, rendersFileAndThemeIconsOffTheMainThreadAndKeepsTheFirst) {
    writeImage("icons/wide.png", {1024, 512});
    write("icons/vector.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='32' height='16'>"
                              "<rect width='32' height='16' fill='blue'/></svg>");
    write("themes/made-up/index.theme", "[Icon Theme]\nName=Made up\nDirectories=48x48/apps\n\n"
                                        "[48x48/apps]\nSize=48\nType=Fixed\n");
    writeImage("themes/made-up/48x48/apps/made-up-app.png", {48, 48});
    const QStringList savedPaths = QIcon::themeSearchPaths();
    const QString savedTheme = QIcon::themeName();
    QIcon::setThemeSearchPaths({at("themes")});
    QIcon::setThemeName(QStringLiteral("made-up"));
    const std::tuple<const char*, QByteArray, int, QSize> cases[] = {
        {"wide", iconLine("icons/wide.png"), 512, QSize(512, 256)},
        {"vector", iconLine("icons/vector.svg"), 512, QSize(512, 256)},
        {"themed", "Icon=made-up-app\n", 512, QSize(48, 48)},
        {"suffixed", "Icon=made-up-app.png\n", 32, QSize(32, 32)},
        {"unthemed", "Icon=no-such-icon\n", 512, QSize()},
        {"late", iconLine("icons/late.png"), 512, QSize()},
    };
    for (const auto& [id, line, size, expected] : cases) {
        writeApp(("system/applications/" + QByteArray(id) + ".desktop").constData(), id, line);
    }
    writeApp("user/applications/removed.desktop", "Removed", "Hidden=true\n");
    writeApp("system/applications/removed.desktop", "Removed", iconLine("icons/wide.png"));
    writeApp("escape.desktop", "Escape", iconLine("icons/wide.png"));

    InstalledAppsScanner scanner(configuration());
    for (const auto& [id, line, size, expected] : cases) {
        EXPECT_EQ(pngSize(QtConcurrent::run([&] { return scanner.iconData(id, size); }).result()),
                  expected)
            << id;
    }
    EXPECT_EQ(pngSize(scanner.iconData("wide", 64)), QSize(512, 256));
    EXPECT_EQ(pngSize(InstalledAppsScanner(configuration()).iconData("wide", 64)), QSize(64, 32));
    // A missing icon is not remembered: once the file appears, it is found.
    writeImage("icons/late.png", {16, 16});
    EXPECT_EQ(pngSize(scanner.iconData("late", 512)), QSize(16, 16));
    for (const char* id : {"removed", "unknown", "", "../../escape", ".hidden"}) {
        EXPECT_EQ(scanner.iconData(id, 512), std::nullopt) << id;
    }
    QIcon::setThemeSearchPaths(savedPaths);
    QIcon::setThemeName(savedTheme);
}

TEST(DesktopEntryApplications, configurationFromEnvironmentPutsTheUserFirst) {
    const QByteArray savedHome = qgetenv("XDG_DATA_HOME");
    const QByteArray savedDirs = qgetenv("XDG_DATA_DIRS");
    const auto directories = [](const char* home, const char* dirs) {
        qputenv("XDG_DATA_HOME", home);
        qputenv("XDG_DATA_DIRS", dirs);
        return DesktopEntryApplications::Configuration::fromEnvironment().applicationDirectories;
    };
    EXPECT_EQ(directories("/home/me/data", "/opt/a:relative/b::/opt/c"),
              (QStringList{QStringLiteral("/home/me/data/applications"),
                           QStringLiteral("/opt/a/applications"),
                           QStringLiteral("/opt/c/applications")}));
    EXPECT_EQ(directories("relative", ""),
              (QStringList{QDir::homePath() + QStringLiteral("/.local/share/applications"),
                           QStringLiteral("/usr/local/share/applications"),
                           QStringLiteral("/usr/share/applications")}));
    qputenv("XDG_DATA_HOME", savedHome);
    qputenv("XDG_DATA_DIRS", savedDirs);
}

} // namespace
} // namespace quorix
