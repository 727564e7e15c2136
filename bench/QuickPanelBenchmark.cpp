// The quick panel on the large layout (20 pages of 18 buttons, each with its own custom icon
// of about 55 KB), shown on a private X server: from the call that opens it to the end of its
// first paint, and one frame of the page strip while it springs from page to page.

#include "LargeLayout.h"
#include "NoWebIcons.h"
#include "QuorixMacApp/QuickPanel/QuickPanel.h"
#include "QuorixMacApp/QuickPanel/QuickPanelWindow.h"
#include "QuorixMacCore/Actions/DryRunActionExecutor.h"
#include "QuorixMacCore/Catalog/InstalledAppsScanner.h"
#include "QuorixMacCore/Catalog/MacAppIconImageCache.h"
#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/Platform/Linux/DesktopEntryApplications.h"
#include "QuorixMacCore/Support/XvfbServer.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>
#include <iostream>

namespace {

using namespace quorix;
using namespace quorix::bench;

/// Notes when the panel has been painted.
class PaintWatch final : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        painted = painted || event->type() == QEvent::Paint;
        return false;
    }
};

const Bytes& firstPicture() {
    return std::get<IconRef::Custom>(picturedLargeLayout().pages[0].buttons[0].icon.value).data;
}

int pictureSide() {
    return QuickPanelPictures::pixelSide(QuickPanelGridMetrics::maxTileSize, 1);
}

struct Panel {
    std::shared_ptr<const DesktopEntryApplications> applications =
        std::make_shared<DesktopEntryApplications>(
            DesktopEntryApplications::Configuration{{}, QStringLiteral("C")});
    MacEditorState state{picturedLargeLayout(), QStringLiteral("スマホ未同期"),
                         std::make_shared<InstalledAppsScanner>(applications), std::nullopt,
                         std::make_shared<NoWebIcons>()};
    MacAppIconImageCache appIcons{applications};
    QuickPanel panel{state, std::make_shared<DryRunActionExecutor>([](const ActionSpec&) {}),
                     QuickPanel::Options{[] {}, nullptr, &appIcons}};
    PaintWatch watch;

    /// Opens the panel and runs events until its first paint has ended.
    void showAndWaitForPaint() {
        watch.painted = false;
        panel.showQuickPanel();
        if (panel.window()->findChild<PaintWatch*>() == nullptr) {
            panel.window()->installEventFilter(&watch);
        }
        while (!watch.painted) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }

    /// Opens the panel while its pictures are still to be decoded, and runs events until the
    /// page has been painted again with all of them.
    void showAndWaitForAllPictures() {
        bool allDecoded = false;
        const QMetaObject::Connection connection =
            QObject::connect(&panel.pictures(), &QuickPanelPictures::decoded, [&] {
                if (!panel.pictures().isDecoding()) {
                    allDecoded = true;
                    watch.painted = false;
                }
            });
        showAndWaitForPaint();
        while (!allDecoded || !watch.painted) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        QObject::disconnect(connection);
    }
};

// Runs events for `milliseconds`.
void runEventsFor(qint64 milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) {
        QCoreApplication::processEvents();
    }
}

// The first opening: the window is made; the pictures of the page it opens on are decoded
// ahead once edits pause, or, when the panel comes sooner (here: once the launch's own work
// is done, before the pause is over), after its first frame, which shows placeholders.
void BM_FirstShowToFirstFrame(benchmark::State& run) {
    const bool decodedAhead = run.range(0) != 0;
    for (auto _ : run) {
        run.PauseTiming();
        auto panel = std::make_unique<Panel>();
        if (!decodedAhead) {
            runEventsFor(QuickPanel::decodeAheadDelay.count() / 2);
        }
        while (decodedAhead && (panel->panel.pictures().isDecoding() ||
                                !panel->panel.pictures().find(firstPicture(), pictureSide()))) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        run.ResumeTiming();
        panel->showAndWaitForPaint();
        run.PauseTiming();
        panel.reset();
        run.ResumeTiming();
    }
}

// The same opening, up to the frame with every picture of the page in place.
void BM_FirstShowToAllPictures(benchmark::State& run) {
    for (auto _ : run) {
        run.PauseTiming();
        auto panel = std::make_unique<Panel>();
        runEventsFor(QuickPanel::decodeAheadDelay.count() / 2);
        run.ResumeTiming();
        panel->showAndWaitForAllPictures();
        run.PauseTiming();
        panel.reset();
        run.ResumeTiming();
    }
}

// Every later opening.
void BM_ShowToFirstFrame(benchmark::State& run) {
    Panel panel;
    panel.showAndWaitForPaint();
    for (auto _ : run) {
        run.PauseTiming();
        panel.panel.hideQuickPanel();
        QCoreApplication::processEvents();
        run.ResumeTiming();
        panel.showAndWaitForPaint();
    }
    run.counters["iconKB"] = averageIconKB();
}

void BM_StripFrameWhileSpringing(benchmark::State& run) {
    Panel panel;
    panel.showAndWaitForPaint();
    QuickPanelWindow& window = *panel.panel.window();
    // The pages beside the open one are drawn in idle moments after it appears.
    runEventsFor(500);
    InputEvents::Scroll scroll{-3, 0, false};
    scroll.globalPosition = window.frameGeometry().center();
    for (auto _ : run) {
        if (!window.isAnimating()) {
            scroll.deltaX = -scroll.deltaX;
            scroll.time += std::chrono::seconds(1);
            panel.panel.handleScroll(scroll);
        }
        window.advanceAnimation(1.0 / 120);
        window.repaint();
    }
}

BENCHMARK(BM_FirstShowToFirstFrame)
    ->ArgName("decodedAhead")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3);
BENCHMARK(BM_FirstShowToAllPictures)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_ShowToFirstFrame)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_StripFrameWhileSpringing)->Unit(benchmark::kMillisecond)->MinTime(2);

} // namespace

int main(int argc, char** argv) {
    test::XvfbServer display("1280x800x24");
    if (!display.isRunning()) {
        std::cerr << "QuickPanelBenchmark: " << display.failure() << '\n';
        return 1;
    }
    qputenv("DISPLAY", QByteArray::fromStdString(display.displayName()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
