#include "QuorixMacCore/Support/Waiting.h"
#include "QuorixMacCore/Support/XvfbServer.h"
#include "QuorixMacQuickPanel/Support/PanelScenario.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quorix {
namespace {

QProcessEnvironment displayEnvironment(const std::string& displayName) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), QString::fromStdString(displayName));
    // No session bus: nothing started here may reach the desktop's services.
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    return environment;
}

TEST(QuickPanelOnDisplay, floatsOverTheFocusedClientTypesIntoItAndClosesOnClicksAndEscape) {
    test::XvfbServer display("1280x800x24");
    ASSERT_TRUE(display.isRunning()) << display.failure();
    QProcess windowManager;
    windowManager.setProcessEnvironment(displayEnvironment(display.displayName()));
    windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    ASSERT_TRUE(windowManager.waitForStarted())
        << "openbox: " << windowManager.errorString().toStdString();
    // Openbox says on the root window once it manages the screen.
    QProcess probe;
    probe.setProcessEnvironment(displayEnvironment(display.displayName()));
    ASSERT_TRUE(testing::waitUntil([&] {
        probe.start(QStringLiteral("xprop"),
                    {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        return probe.waitForFinished() && probe.readAll().contains("window id");
    })) << "openbox did not take over the screen";

    QTemporaryDir screenshots;
    QProcess scenario;
    scenario.setProcessEnvironment(displayEnvironment(display.displayName()));
    scenario.start(QCoreApplication::applicationFilePath(),
                   {QString::fromLatin1(test::panelScenarioArgument.data(),
                                        qsizetype(test::panelScenarioArgument.size())),
                    screenshots.path()});
    ASSERT_TRUE(scenario.waitForFinished(120'000));
    const QByteArray output = scenario.readAllStandardOutput();
    EXPECT_EQ(scenario.exitCode(), 0) << scenario.readAllStandardError().toStdString();
    windowManager.terminate();
    windowManager.waitForFinished();

    const auto seen = test::scenarioObservations(output);
    const auto at = [&](const char* name) {
        const auto found = seen.find(name);
        return found == seen.end() ? std::string("(missing)") : found->second;
    };
    EXPECT_EQ(at("ready"), "1");
    EXPECT_EQ(at("watching"), "1");
    EXPECT_EQ(at("opened"), "1");
    EXPECT_NE(at("focus-before"), "0");
    EXPECT_EQ(at("focus-after-open"), at("focus-before")) << "opening took the focus";
    EXPECT_EQ(at("typed"), "1") << "the tile's keys did not reach the focused client";
    EXPECT_EQ(at("open-after-run"), "0");
    EXPECT_EQ(at("focus-after-run"), at("focus-before")) << "clicking a tile took the focus";
    EXPECT_EQ(at("open-after-near-click"), "1");
    EXPECT_EQ(at("open-after-far-click"), "0");
    EXPECT_EQ(at("open-after-escape"), "0");
    EXPECT_EQ(at("escape-reached-client"), "1");
    EXPECT_EQ(at("screenshot"), "1");
    const QImage shot(QDir(screenshots.path()).filePath(QLatin1StringView(test::panelScreenshot)));
    EXPECT_EQ(shot.size(), QSize(844 + 48, 390 + 48));
}

} // namespace
} // namespace quorix
