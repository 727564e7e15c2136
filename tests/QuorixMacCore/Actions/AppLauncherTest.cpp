#include "QuorixMacCore/Actions/AppLauncher.h"

#include "QuorixMacCore/Actions/KeyboardExecutor.h"
#include "QuorixMacCore/Actions/MacActionExecutor.h"
#include "QuorixMacCore/Actions/URLOpener.h"
#include "QuorixMacCore/Platform/Linux/GioWorkspace.h"
#include "QuorixMacCore/Platform/RecordingEventPoster.h"
#include "QuorixMacCore/Support/DesktopEntryFolder.h"
#include "QuorixMacCore/Support/FakeAccessibilityChecker.h"
#include "QuorixMacCore/Support/RecordingWorkspace.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quorix;
using namespace std::chrono_literals;

namespace {

class AppLauncherOnDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(folder.failure(), "");
        for (const char* marker : {"app", "url", "folder"}) {
            folder.removeMarker(marker);
        }
    }

    ExecuteOutcome run(const ActionSpec& action) {
        auto future = executor.execute(action);
        future.waitForFinished();
        return future.result();
    }

    test::DesktopEntryFolder& folder = test::DesktopEntryFolder::shared();
    std::shared_ptr<GioWorkspace> workspace = std::make_shared<GioWorkspace>();
    MacActionExecutor executor{
        std::make_shared<KeyboardExecutor>(std::make_shared<RecordingEventPoster>(),
                                           std::make_shared<test::FakeAccessibilityChecker>()),
        std::make_shared<AppLauncher>(workspace), std::make_shared<URLOpener>(workspace)};
};

} // namespace

TEST(AppLauncher, fallbacksTakeTheirRoutes) {
    const std::vector<std::tuple<std::string, std::optional<std::string>, std::string>> cases{
        {"org.example.Editor", "https://example.com/app", "app:org.example.Editor"},
        {"org.example.Missing", "https://example.com/app", "url:https://example.com/app"},
        {"org.example.Missing", "steam://run/1", "url:steam://run/1"},
        {"org.example.Missing", "/opt/Editor/editor", "file:/opt/Editor/editor"},
        {"org.example.Missing", "Editor/editor", "file:Editor/editor"},
        {"", "/usr/bin/true", "file:/usr/bin/true"},
    };
    for (const auto& [bundleID, fallback, request] : cases) {
        auto workspace =
            std::make_shared<test::RecordingWorkspace>(std::set<std::string>{"org.example.Editor"});
        EXPECT_EQ(AppLauncher(workspace).launch(bundleID, fallback), std::nullopt);
        EXPECT_EQ(workspace->requests(), std::vector<std::string>{request});
    }
}

TEST_F(AppLauncherOnDesktop, launchingByIDRunsTheEntry) {
    EXPECT_EQ(run(ActionSpec::launchApp("org.kestrane.TestApp", "x-kestrane-test://unused")),
              ExecuteOutcome::succeeded());
    EXPECT_EQ(folder.waitForMarker("app"), "launched");
    EXPECT_EQ(folder.waitForMarker("url", 300ms), std::nullopt);
}

TEST_F(AppLauncherOnDesktop, anUnknownIDWithoutFallbackIsNotFound) {
    for (const std::string id : {"org.kestrane.Missing", "", "../applications/org.kestrane.TestApp",
                                 "org.kestrane.TestApp.desktop/x"}) {
        EXPECT_EQ(run(ActionSpec::launchApp(id)), (ExecuteOutcome{false, "app_not_found"})) << id;
    }
    EXPECT_EQ(folder.waitForMarker("app", 300ms), std::nullopt);
}

TEST_F(AppLauncherOnDesktop, aFallbackURLOpensWithItsSchemeHandler) {
    EXPECT_EQ(run(ActionSpec::launchApp("org.kestrane.Missing", "x-kestrane-test://open/42")),
              ExecuteOutcome::succeeded());
    EXPECT_EQ(folder.waitForMarker("url"), "x-kestrane-test://open/42");
}

TEST_F(AppLauncherOnDesktop, aFallbackPathOpensAsAFile) {
    const std::string path = (std::filesystem::path(folder.root()) / "data").string();
    EXPECT_EQ(run(ActionSpec::launchApp("org.kestrane.Missing", path)),
              ExecuteOutcome::succeeded());
    EXPECT_EQ(folder.waitForMarker("folder"), path);
}

TEST_F(AppLauncherOnDesktop, anAddressNoOneHandlesStillSucceeds) {
    EXPECT_EQ(run(ActionSpec::openURL(*URL::parse("x-kestrane-nobody:here"))),
              ExecuteOutcome::succeeded());
    EXPECT_EQ(run(ActionSpec::openURL(*URL::parse("x-kestrane-test:via-opener"))),
              ExecuteOutcome::succeeded());
    EXPECT_EQ(folder.waitForMarker("url"), "x-kestrane-test:via-opener");
}
