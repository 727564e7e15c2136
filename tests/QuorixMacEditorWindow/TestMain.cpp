#include "QuorixMacEditorWindow/Support/EditorRendering.h"

#include <QApplication>

#include <gtest/gtest.h>

// Widgets are exercised on Qt's offscreen platform; tests pump the event loop themselves.
// Started with the render argument, the executable instead shows the editor on the display
// its environment names, for the rendering test and for screenshots.
int main(int argc, char** argv) {
    const bool rendering = argc == 3 && argv[1] == quorix::test::renderEditorArgument;
    if (!rendering) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    if (rendering) {
        return quorix::test::renderEditorScreens(QString::fromLocal8Bit(argv[2]));
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
