#include "QuorixMacCore/Editor/InstalledAppsScanner.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>

#include <gtest/gtest.h>

namespace quorix {
namespace {

void writeFile(const QString& path, const QByteArray& contents) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(contents);
}

QByteArray application(const QByteArray& name, const QByteArray& extra = {}) {
    QByteArray text = "[Desktop Entry]\nType=Application\nExec=true\n";
    if (!name.isNull()) {
        text += "Name=" + name + "\n";
    }
    return text + extra;
}

void writeImage(const QString& path, QSize size) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    ASSERT_TRUE(image.save(path, "PNG")) << path.toStdString();
}

QSize pngSize(const std::optional<Bytes>& data) {
    if (!data) {
        return {};
    }
    QImage image;
    image.loadFromData(data->data(), int(data->size()), "PNG");
    return image.size();
}

std::vector<std::string> names(const std::vector<AppInfo>& apps) {
    std::vector<std::string> result;
    for (const AppInfo& app : apps) {
        result.push_back(app.name);
    }
    return result;
}

class InstalledAppsScannerTest : public ::testing::Test {
protected:
    QString at(const char* path) const { return root.filePath(QString::fromUtf8(path)); }
    QString user(const char* file = "") const {
        return at("user/applications/") + QString::fromUtf8(file);
    }
    QString system(const char* file = "") const {
        return at("system/applications/") + QString::fromUtf8(file);
    }

    InstalledAppsScanner::Configuration configuration(QString locale = QStringLiteral("C")) const {
        return {{user(), system(), at("missing/applications")}, std::move(locale)};
    }

    QTemporaryDir root;
};

TEST_F(InstalledAppsScannerTest, listsWhatTheUserWouldSeeInTheirMenus) {
    writeFile(user("/org.example.Editor.desktop"), application("User Editor"));
    writeFile(user("/removed.desktop"), application("Removed", "Hidden=true\n"));
    writeFile(user("/quiet.desktop"), application("Quiet", "NoDisplay=true\n"));
    writeFile(user("/website.desktop"), "[Desktop Entry]\nType=Link\nName=Site\nURL=x\n");
    writeFile(user("/unnamed.desktop"), application(QByteArray()));
    writeFile(user("/.secret.desktop"), application("Secret"));
    writeFile(user("/shouting.DESKTOP"), application("Shouting"));
    writeFile(user("/nested/deep.desktop"), application("Deep"));
    writeFile(user("/notes.txt"), application("Notes"));
    writeFile(user("/broken.desktop"), "Name=No group at all\n");

    writeFile(system("/org.example.Editor.desktop"), application("System Editor"));
    writeFile(system("/removed.desktop"), application("Removed From System"));
    writeFile(system("/quiet.desktop"), application("Quiet From System"));
    writeFile(system("/broken.desktop"), application("fixed by system"));
    writeFile(system("/cherry.desktop"), application("cherry"));
    writeFile(system("/banana.desktop"), application("Banana"));
    writeFile(system("/apple.desktop"), application("apple"));
    writeFile(system("/also-apple.desktop"), application("Apple"));

    InstalledAppsScanner scanner(configuration());
    const std::vector<AppInfo> apps = scanner.scan();

    EXPECT_EQ(names(apps), (std::vector<std::string>{"Apple", "apple", "Banana", "cherry",
                                                     "fixed by system", "unnamed", "User Editor"}));
    const auto editor = std::find_if(apps.begin(), apps.end(),
                                     [](const AppInfo& app) { return app.name == "User Editor"; });
    ASSERT_NE(editor, apps.end());
    EXPECT_EQ(editor->bundleID, "org.example.Editor");
    for (const AppInfo& app : apps) {
        EXPECT_EQ(app.iconBase64, "") << app.name;
    }
}

TEST_F(InstalledAppsScannerTest, equalNamesKeepTheirFolderOrder) {
    writeFile(user("/zeta.desktop"), application("Same"));
    writeFile(system("/alpha.desktop"), application("same"));
    InstalledAppsScanner scanner(configuration());
    const auto apps = scanner.scan();
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].bundleID, "zeta");
    EXPECT_EQ(apps[1].bundleID, "alpha");
}

TEST_F(InstalledAppsScannerTest, namesFollowTheConfiguredLocale) {
    writeFile(system("/calc.desktop"), application("Calculator", "Name[ja]=電卓\n"));
    EXPECT_EQ(InstalledAppsScanner(configuration(QStringLiteral("ja_JP.UTF-8"))).scan()[0].name,
              "電卓");
    EXPECT_EQ(InstalledAppsScanner(configuration(QStringLiteral("C"))).scan()[0].name,
              "Calculator");
}

TEST_F(InstalledAppsScannerTest, keepsItsFirstCatalogueForItsLife) {
    writeFile(system("/one.desktop"), application("One"));
    InstalledAppsScanner scanner(configuration());
    ASSERT_EQ(scanner.scan().size(), 1u);
    writeFile(system("/two.desktop"), application("Two"));
    EXPECT_EQ(scanner.scan().size(), 1u);
    EXPECT_EQ(InstalledAppsScanner(configuration()).scan().size(), 2u);
}

TEST_F(InstalledAppsScannerTest, iconsComeFromFilesAtTheirOwnSizeAtMost) {
    writeImage(at("icons/small.png"), {64, 64});
    writeImage(at("icons/wide.png"), {1024, 512});
    writeFile(at("icons/vector.svg"),
              "<svg xmlns='http://www.w3.org/2000/svg' width='32' height='16'>"
              "<rect width='32' height='16' fill='blue'/></svg>");
    writeFile(system("/small.desktop"),
              application("Small", "Icon=" + at("icons/small.png").toUtf8() + "\n"));
    writeFile(system("/wide.desktop"),
              application("Wide", "Icon=" + at("icons/wide.png").toUtf8() + "\n"));
    writeFile(system("/vector.desktop"),
              application("Vector", "Icon=" + at("icons/vector.svg").toUtf8() + "\n"));

    InstalledAppsScanner scanner(configuration());
    EXPECT_EQ(pngSize(scanner.iconData("small", 512)), QSize(64, 64));
    EXPECT_EQ(pngSize(scanner.iconData("wide", 512)), QSize(512, 256));
    EXPECT_EQ(pngSize(scanner.iconData("vector", 512)), QSize(512, 256));
    // The first rendering of an ID is the one kept.
    EXPECT_EQ(pngSize(scanner.iconData("wide", 64)), QSize(512, 256));
    EXPECT_EQ(pngSize(InstalledAppsScanner(configuration()).iconData("wide", 64)), QSize(64, 32));
}

TEST_F(InstalledAppsScannerTest, iconsComeFromTheIconTheme) {
    const QString themes = root.filePath(QStringLiteral("themes"));
    writeFile(themes + QStringLiteral("/made-up/index.theme"),
              "[Icon Theme]\nName=Made up\nDirectories=48x48/apps\n\n"
              "[48x48/apps]\nSize=48\nType=Fixed\n");
    writeImage(themes + QStringLiteral("/made-up/48x48/apps/made-up-app.png"), {48, 48});
    writeFile(system("/themed.desktop"), application("Themed", "Icon=made-up-app\n"));
    writeFile(system("/suffixed.desktop"), application("Suffixed", "Icon=made-up-app.png\n"));
    writeFile(system("/unthemed.desktop"), application("Unthemed", "Icon=no-such-icon\n"));

    const QStringList savedPaths = QIcon::themeSearchPaths();
    const QString savedTheme = QIcon::themeName();
    QIcon::setThemeSearchPaths({themes});
    QIcon::setThemeName(QStringLiteral("made-up"));

    InstalledAppsScanner scanner(configuration());
    // Off the main thread, as the editor and the server ask for icons.
    EXPECT_EQ(pngSize(QtConcurrent::run([&] { return scanner.iconData("themed", 512); }).result()),
              QSize(48, 48));
    EXPECT_EQ(pngSize(scanner.iconData("suffixed", 32)), QSize(32, 32));
    EXPECT_EQ(scanner.iconData("unthemed", 512), std::nullopt);

    QIcon::setThemeSearchPaths(savedPaths);
    QIcon::setThemeName(savedTheme);
}

TEST_F(InstalledAppsScannerTest, iconsOnlyForApplicationsThatExist) {
    const QString iconPath = root.filePath(QStringLiteral("icons/late.png"));
    const QByteArray icon = "Icon=" + iconPath.toUtf8() + "\n";
    writeImage(at("icons/late-other.png"), {16, 16});
    writeFile(user("/removed.desktop"), application("Removed", "Hidden=true\n" + icon));
    writeFile(system("/removed.desktop"), application("Removed", icon));
    writeFile(system("/quiet.desktop"), application("Quiet", "NoDisplay=true\n" + icon));
    writeFile(system("/late.desktop"), application("Late", icon));
    writeFile(system("/link.desktop"), "[Desktop Entry]\nType=Link\n" + icon);
    writeFile(at("escape.desktop"), application("Escape", icon));

    InstalledAppsScanner scanner(configuration());
    // A missing icon is not remembered: once the file appears, it is found.
    EXPECT_EQ(scanner.iconData("late", 512), std::nullopt);
    writeImage(iconPath, {16, 16});
    EXPECT_EQ(pngSize(scanner.iconData("late", 512)), QSize(16, 16));
    EXPECT_EQ(pngSize(scanner.iconData("quiet", 512)), QSize(16, 16));
    for (const char* id : {"removed", "link", "unknown", "", "../../escape", ".hidden"}) {
        EXPECT_EQ(scanner.iconData(id, 512), std::nullopt) << id;
    }
}

TEST(InstalledAppsScanner, configurationFromEnvironmentPutsTheUserFirst) {
    const QByteArray savedHome = qgetenv("XDG_DATA_HOME");
    const QByteArray savedDirs = qgetenv("XDG_DATA_DIRS");
    struct Case {
        const char* home;
        const char* dirs;
        QStringList expected;
    };
    const QString homeDefault = QDir::homePath() + QStringLiteral("/.local/share/applications");
    const QStringList systemDefault{QStringLiteral("/usr/local/share/applications"),
                                    QStringLiteral("/usr/share/applications")};
    const Case cases[] = {
        {"/home/me/data",
         "/opt/a:relative/b::/opt/c",
         {QStringLiteral("/home/me/data/applications"), QStringLiteral("/opt/a/applications"),
          QStringLiteral("/opt/c/applications")}},
        {"", "", QStringList{homeDefault} + systemDefault},
        {"relative", "relative", QStringList{homeDefault} + systemDefault},
    };
    for (const Case& c : cases) {
        qputenv("XDG_DATA_HOME", c.home);
        qputenv("XDG_DATA_DIRS", c.dirs);
        EXPECT_EQ(InstalledAppsScanner::Configuration::fromEnvironment().applicationDirectories,
                  c.expected)
            << c.home << " " << c.dirs;
    }
    qputenv("XDG_DATA_HOME", savedHome);
    qputenv("XDG_DATA_DIRS", savedDirs);
}

} // namespace
} // namespace quorix
