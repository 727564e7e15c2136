#include "QuorixMacCore/EditorWindow/KeyboardShortcutEditorView.h"
#include "QuorixMacCore/Platform/Linux/XTestEventPoster.h"
#include "QuorixMacCore/Platform/ModifierFlags.h"
#include "QuorixMacCore/Support/XvfbServer.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace quorix {
namespace {

namespace F = ModifierFlags;
namespace K = ModifierKeyCodes;
constexpr std::uint16_t keyA = 0;

struct Stroke {
    std::uint16_t key;
    bool down;
    ModifierFlagBits flags = 0;
};

// Runs in a child of the test on a private X server, where the toolkit reads real key events
// (see the test below).
class CaptureOnDisplay {
public:
    CaptureOnDisplay()
        : poster(qEnvironmentVariable("DISPLAY").toStdString()) {
        auto* layout = new QVBoxLayout(&window);
        editor = new KeyboardShortcutEditorView(
            KeyCombo{{}, "space"}, systemNativeKeyCodes(),
            [this](const KeyCombo& combo) { captured.push_back(combo); }, &window);
        layout->addWidget(editor);
        other.setObjectName(QStringLiteral("otherWindow"));
        window.show();
        other.show();
    }

    bool activate(QWidget& target) {
        target.activateWindow();
        return QTest::qWaitForWindowActive(&target);
    }
    QPushButton* field() const {
        return editor->findChild<QPushButton*>(QStringLiteral("shortcutField"));
    }

    void press(const std::vector<Stroke>& strokes) {
        for (const Stroke& stroke : strokes) {
            const auto event = poster.createKeyboardEvent(stroke.key, stroke.down, stroke.flags);
            ASSERT_TRUE(event) << stroke.key;
            poster.post(*event, EventTapLocation::hid);
            // Taps are told apart by time; keep the strokes of one gesture close, not equal.
            QTest::qWait(20);
        }
    }
    std::optional<KeyCombo> record(const std::vector<Stroke>& strokes) {
        captured.clear();
        QTest::mouseClick(field(), Qt::LeftButton);
        press(strokes);
        if (!QTest::qWaitFor([&] { return !captured.empty(); }, 5000)) {
            return std::nullopt;
        }
        return captured.front();
    }

    XTestEventPoster poster;
    QWidget window;
    QLineEdit other;
    KeyboardShortcutEditorView* editor;
    std::vector<KeyCombo> captured;
};

TEST(ShortcutCaptureOnX11, recordsCombosFromRealKeyEvents) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        test::XvfbServer server;
        ASSERT_TRUE(server.isRunning()) << server.failure();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), QString::fromStdString(server.displayName()));
        // The toolkit's X platform brings D-Bus, whose allocations live as long as the process.
        if (!environment.contains(QStringLiteral("LSAN_OPTIONS"))) {
            environment.insert(
                QStringLiteral("LSAN_OPTIONS"),
                QStringLiteral("suppressions=" QT_TESTCASE_SOURCEDIR "/../lsan.supp"));
        }
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("-platform"), QStringLiteral("xcb"),
                     QStringLiteral("--gtest_filter=ShortcutCaptureOnX11.*")});
        ASSERT_TRUE(child.waitForFinished(90'000)) << "the capture on the display hangs";
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
        return;
    }

    CaptureOnDisplay display;
    ASSERT_TRUE(display.activate(display.window));
    using Combo = std::optional<KeyCombo>;
    const std::tuple<const char*, std::vector<Stroke>, Combo, const char*> cases[] = {
        {"Super Shift A",
         {{keyA, true, F::command | F::shift}, {keyA, false, F::command | F::shift}},
         KeyCombo{{Modifier::command, Modifier::shift}, "a"},
         "⇧⌘A"},
        {"both Alt keys",
         {{K::option, true}, {K::rightOption, true}, {K::rightOption, false}, {K::option, false}},
         KeyCombo{{Modifier::option}, "optionPair"},
         "⌥⌥"},
        {"Ctrl tapped twice",
         {{K::control, true}, {K::control, false}, {K::control, true}, {K::control, false}},
         KeyCombo{{Modifier::control}, "control"},
         "⌃⌃"},
    };
    for (const auto& [what, strokes, combo, field] : cases) {
        EXPECT_EQ(display.record(strokes), combo) << what;
        EXPECT_EQ(display.field()->text(), QString::fromUtf8(field)) << what;
    }

    // While another window is active, its keys reach it and the field keeps waiting.
    display.captured.clear();
    QTest::mouseClick(display.field(), Qt::LeftButton);
    ASSERT_TRUE(display.activate(display.other));
    display.press({{keyA, true}, {keyA, false}});
    EXPECT_TRUE(QTest::qWaitFor([&] { return display.other.text() == QLatin1String("a"); }, 5000));
    EXPECT_TRUE(display.captured.empty());
    EXPECT_EQ(display.field()->text(), QStringLiteral("ショートカットを押してください"));
}

} // namespace
} // namespace quorix
