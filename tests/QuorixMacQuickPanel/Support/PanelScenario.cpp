#include "QuorixMacQuickPanel/Support/PanelScenario.h"

#include "QuorixMacApp/QuickPanel/QuickPanelWindow.h"
#include "QuorixMacCore/Actions/MacActionExecutor.h"
#include "QuorixMacCore/Control/SystemActionExecutor.h"
#include "QuorixMacCore/Platform/GlobalInputMonitor.h"
#include "QuorixMacCore/Support/TestImages.h"
#include "QuorixMacCore/Support/Waiting.h"
#include "QuorixMacCore/Support/XKeyReceiver.h"
#include "QuorixMacQuickPanel/Support/PanelFixture.h"
#include "QuorixMacQuickPanel/Support/XSession.h"

#include <QDir>
#include <QLinearGradient>

#include <iostream>

namespace quorix::test {

namespace {

using namespace std::chrono_literals;

constexpr auto scenarioStepLimit = 10s;

void report(std::string_view name, auto value) {
    std::cout << name << ' ' << value << std::endl;
}

bool pressed(XKeyReceiver& client, const std::string& keysym, std::chrono::milliseconds limit) {
    return client.waitForPress(keysym, limit) != std::chrono::steady_clock::time_point{};
}

Bytes pictureData() {
    QImage image(96, 96, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 96, 96);
    gradient.setColorAt(0, QColor(0x4f, 0xac, 0xfe));
    gradient.setColorAt(1, QColor(0x7c, 0x3a, 0xed));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(QPen(Qt::white, 8));
    painter.drawEllipse(QRectF(26, 26, 44, 44));
    painter.end();
    return encodedImage(image, "PNG");
}

// Every kind of icon the panel draws on the first page, and two more pages for the dots.
LayoutRecord showcaseLayout() {
    const auto site = [](const char* address) { return IconRef::favicon(url(address)); };
    std::vector<IconRef> icons{
        IconRef::sfSymbol("keyboard"),
        IconRef::sfSymbol("mic.slash.fill"),
        IconRef::sfSymbol("video.fill"),
        site("https://x.com"),
        site("https://www.youtube.com"),
        site("https://www.amazon.co.jp"),
        site("https://claude.ai"),
        site("https://jp.mercari.com"),
        IconRef::custom(pictureData()),
        IconRef::appIcon("org.example.NotInstalled"),
        site("https://example.org"),
        IconRef::sfSymbol("camera.fill"),
        IconRef::sfSymbol("speaker.wave.2.fill"),
        IconRef::sfSymbol("moon.fill"),
    };
    std::vector<QuorixButtonRecord> first;
    for (std::size_t index = 0; index < icons.size(); ++index) {
        first.push_back(button(std::int64_t(index), icons[index], keys("k")));
    }
    PageRecord meeting = page(0, std::move(first));
    meeting.gradient = GradientPreset::zoom;
    PageRecord second = page(1, {button(0, IconRef::sfSymbol("play.fill"))});
    second.gradient = GradientPreset::teams;
    return layoutOf({std::move(meeting), std::move(second), page(2, {button(0)})});
}

} // namespace

int runPanelScenario(const QString& directory) {
    const std::string displayName = qEnvironmentVariable("DISPLAY").toStdString();
    XKeyReceiver client(displayName);
    XSession x(displayName);
    report("ready", client.isReady() && x.isReady());
    if (!client.isReady() || !x.isReady()) {
        return 1;
    }
    EditorFixture editor(showcaseLayout());
    QuickPanel panel(editor.state, makeSystemActionExecutor(),
                     QuickPanel::Options{{}, {}, &editor.appIcons});
    // The program's own global monitor: it alone sees clicks beside the panel and Escape.
    int mouseDowns = 0, escapes = 0;
    const std::unique_ptr<GlobalInputMonitor> monitor = systemGlobalInputMonitor();
    const bool watching = monitor->start(GlobalInputMonitor::Handlers{
        .keyDown =
            [&](const InputEvents::KeyDown& event) {
                escapes += event.keyCode == QuickPanel::escapeKeyCode ? 1 : 0;
                panel.handleKeyDown(event);
            },
        .mouseDown =
            [&](const InputEvents::MouseDown& event) {
                ++mouseDowns;
                panel.handleMouseDown(event);
            },
        .scroll = [&](const InputEvents::Scroll& event) { panel.handleScroll(event); },
    });
    report("watching", watching);
    const auto waitFor = [&](const std::function<bool()>& condition) {
        return testing::waitUntil(condition, scenarioStepLimit);
    };

    const std::uint64_t focus = x.focusedWindow();
    report("focus-before", focus);
    // The editor's button toggles the panel.
    panel.toggleQuickPanel();
    QuickPanelWindow& window = *panel.window();
    const auto id = std::uint64_t(window.winId());
    report("opened", waitFor([&] { return x.isViewable(id); }));
    testing::drainEvents();
    report("focus-after-open", x.focusedWindow());
    // The application icon looked up in the background is known missing before the picture.
    waitFor([&] { return !editor.appIcons.isRendering(); });
    testing::drainEvents();
    window.repaint();
    const QRect shot = window.frameGeometry().adjusted(-24, -24, 24, 24);
    report(
        "screenshot",
        x.saveScreenshot(QDir(directory).filePath(QLatin1StringView(panelScreenshot)).toStdString(),
                         shot.x(), shot.y(), shot.width(), shot.height()));

    // The first tile types Shift-K into the client that has the focus.
    x.click(x.screenPosition(id) + window.tileRect(0).center());
    report("typed", waitFor([&] { return pressed(client, "k", 10ms); }));
    report("open-after-run", x.isViewable(id));
    report("focus-after-run", x.focusedWindow());

    for (const auto& [name, distance] :
         {std::pair{"open-after-near-click", 5}, std::pair{"open-after-far-click", 20}}) {
        panel.showQuickPanel();
        waitFor([&] { return x.isViewable(id); });
        const int before = mouseDowns;
        x.click(x.screenPosition(id) + QPointF(-distance, 100));
        waitFor([&] { return mouseDowns > before; });
        if (!panel.isQuickPanelVisible()) {
            waitFor([&] { return !x.isViewable(id); });
        }
        report(name, x.isViewable(id));
    }

    // Clicks on the bare desktop leave the focus to the window manager; the client gets it
    // back, as a user's click into it would give it.
    x.setFocusedWindow(focus);
    panel.showQuickPanel();
    waitFor([&] { return x.isViewable(id); });
    x.pressAndReleaseKey("Escape");
    waitFor([&] { return escapes > 0 && !x.isViewable(id); });
    report("open-after-escape", x.isViewable(id));
    report("escape-reached-client", pressed(client, "Escape", scenarioStepLimit));
    return 0;
}

std::map<std::string, std::string> scenarioObservations(const QByteArray& output) {
    std::map<std::string, std::string> observations;
    for (const QByteArray& line : output.split('\n')) {
        const qsizetype blank = line.indexOf(' ');
        if (blank > 0) {
            observations[line.left(blank).toStdString()] = line.mid(blank + 1).toStdString();
        }
    }
    return observations;
}

} // namespace quorix::test
