#include "QuorixMacCore/Actions/AppLauncher.h"

#include "QuorixMacCore/Actions/KeyboardExecutor.h"
#include "QuorixMacCore/Actions/MacActionExecutor.h"
#include "QuorixMacCore/Actions/URLOpener.h"
#include "QuorixMacCore/Platform/Linux/GioWorkspace.h"
#include "QuorixMacCore/Platform/RecordingEventPoster.h"
#include "QuorixMacCore/Support/DesktopEntryFolder.h"
#include "QuorixMacCore/Support/FakeAccessibilityChecker.h"
#include "QuorixMacCore/Support/RecordingWorkspace.h"

#include <gtest/gtest.h>

using namespace quorix;
using namespace std::chrono_literals;

TEST(AppLauncher, fallbacksTakeTheirRoutes) {
    const std::vector<std::tuple<std::string, std::optional<std::string>, std::string>> cases{
        {"org.example.Editor", "https://example.com/app", "app:org.example.Editor"},
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

// Through GLib, on a desktop tree whose entries write what they were opened with.
TEST(AppLauncher, launchesAndOpensOnTheDesktop) {
    const test::DesktopEntryFolder& folder = test::DesktopEntryFolder::shared();
    ASSERT_EQ(folder.failure(), "");
    const auto workspace = std::make_shared<GioWorkspace>();
    MacActionExecutor executor{
        std::make_shared<KeyboardExecutor>(std::make_shared<RecordingEventPoster>(),
                                           std::make_shared<test::FakeAccessibilityChecker>()),
        std::make_shared<AppLauncher>(workspace), std::make_shared<URLOpener>(workspace)};
    const auto run = [&](const ActionSpec& action) {
        auto future = executor.execute(action);
        future.waitForFinished();
        return future.result();
    };
    const std::string path = folder.root() + "/data";
    const std::vector<std::tuple<ActionSpec, std::string, std::optional<std::string>>> cases{
        {ActionSpec::launchApp("org.kestrane.TestApp", "x-kestrane-test://unused"), "app",
         "launched"},
        {ActionSpec::launchApp("org.kestrane.Missing", "x-kestrane-test://open/42"), "url",
         "x-kestrane-test://open/42"},
        {ActionSpec::launchApp("org.kestrane.Missing", path), "folder", path},
        {ActionSpec::openURL(*URL::parse("x-kestrane-test:via-opener")), "url",
         "x-kestrane-test:via-opener"},
        // No one handles this scheme: opening it still succeeds.
        {ActionSpec::openURL(*URL::parse("x-kestrane-nobody:here")), "url", std::nullopt},
    };
    for (const auto& [action, marker, written] : cases) {
        folder.removeMarker(marker);
        EXPECT_EQ(run(action), ExecuteOutcome::succeeded()) << marker;
        EXPECT_EQ(folder.waitForMarker(marker, written ? 10'000ms : 300ms), written);
    }

    folder.removeMarker("app");
    for (const std::string id : {"org.kestrane.Missing", "", "../applications/org.kestrane.TestApp",
                                 "org.kestrane.TestApp.desktop/x"}) {
        EXPECT_EQ(run(ActionSpec::launchApp(id)), (ExecuteOutcome{false, "app_not_found"})) << id;
    }
    EXPECT_EQ(folder.waitForMarker("app", 300ms), std::nullopt);
}
