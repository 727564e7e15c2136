#pragma once

#include <QString>

#include <map>
#include <string>
#include <string_view>

namespace quorix::test {

/// The test executable, started with this argument and a folder, runs the panel scenario
/// on the display it is given instead of running tests.
inline constexpr std::string_view panelScenarioArgument = "--panel-scenario";
inline constexpr const char* panelScreenshot = "quick-panel.png";

/// Opens the quick panel over a focused X client, clicks a tile, clicks near and far
/// beside the panel and presses Escape, all through the X server, and prints what it saw
/// as "name value" lines; saves a screenshot of the open panel into `directory`. The
/// process's exit status: 0 when the scenario ran to its end.
int runPanelScenario(const QString& directory);

/// The "name value" lines of a scenario's output.
std::map<std::string, std::string> scenarioObservations(const QByteArray& output);

} // namespace quorix::test
