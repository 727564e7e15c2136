#include <QGuiApplication>

#include <gtest/gtest.h>

// Core objects post to the main thread and render icons, so every test runs inside a
// GUI application on Qt's offscreen platform; tests pump its event loop themselves.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
