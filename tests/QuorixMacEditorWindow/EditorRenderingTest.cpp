#include "QuorixMacEditorWindow/Support/EditorRendering.h"

#include "QuorixMacCore/Support/XvfbServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quorix {
namespace {

TEST(EditorRendering, drawsEveryTextWithRealGlyphsOnAnXServer) {
    // Large enough for the editor's columns side by side.
    test::XvfbServer display("1280x800x24");
    ASSERT_TRUE(display.isRunning()) << display.failure();
    QTemporaryDir screenshots;
    QProcess renderer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), QString::fromStdString(display.displayName()));
    // No session bus: the renderer must not reach the desktop's services (or start one).
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    renderer.setProcessEnvironment(environment);
    renderer.start(QCoreApplication::applicationFilePath(),
                   {QString::fromLatin1(test::renderEditorArgument.data(),
                                        qsizetype(test::renderEditorArgument.size())),
                    screenshots.path()});
    ASSERT_TRUE(renderer.waitForFinished(120'000));
    EXPECT_EQ(renderer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(renderer.exitCode(), 0) << renderer.readAllStandardError().toStdString();
    for (const char* name : {test::emptyLayoutScreenshot, test::fullPageScreenshot}) {
        const QImage shot(QDir(screenshots.path()).filePath(QLatin1StringView(name)));
        EXPECT_GE(shot.width(), 1020) << name;
    }
}

} // namespace
} // namespace quorix
