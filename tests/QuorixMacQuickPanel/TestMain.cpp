#include "QuorixMacQuickPanel/Support/PanelScenario.h"

#include <QApplication>

#include <gtest/gtest.h>

// Widgets are exercised on Qt's offscreen platform; tests pump the event loop themselves.
// Started with the scenario argument, the executable instead shows the panel on the display
// its environment names and reports what the X server saw.
int main(int argc, char** argv) {
    const bool scenario = argc == 3 && argv[1] == quorix::test::panelScenarioArgument;
    if (!scenario) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    if (scenario) {
        return quorix::test::runPanelScenario(QString::fromLocal8Bit(argv[2]));
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
