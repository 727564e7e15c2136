// The editor window on a large layout (20 pages of 18 buttons, each with its own custom
// icon of about 55 KB), on Qt's offscreen platform: opening it up to its first paint, the
// icons' arrival, switching the page, and one live step of a drag reorder.
//
// With --store-layout the program instead saves that layout as the user's stored layout
// (for bench/kestrane-editor-memory.sh) and exits.

#include "LargeLayout.h"
#include "NoWebIcons.h"
#include "QuorixMacCore/Catalog/InstalledAppsScanner.h"
#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/EditorWindow/EditorCanvasView.h"
#include "QuorixMacCore/EditorWindow/EditorWindow.h"
#include "QuorixMacCore/EditorWindow/IconArtwork.h"
#include "QuorixMacCore/Platform/Linux/DesktopEntryApplications.h"
#include "QuorixMacCore/Platform/UserDefaults.h"
#include "QuorixMacCore/Storage/MacEditorLayoutStore.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QElapsedTimer>
#include <QMimeData>

#include <benchmark/benchmark.h>
#include <cstring>
#include <iostream>

namespace {

using namespace quorix;
using namespace quorix::bench;

const QSize windowSize(1022, 620);

/// The editor state as the program holds it, without a store: the window's own costs.
struct Editor {
    MacEditorState state{
        picturedLargeLayout(), QStringLiteral("スマホ未同期"),
        std::make_shared<InstalledAppsScanner>(std::make_shared<DesktopEntryApplications>(
            DesktopEntryApplications::Configuration{{}, QStringLiteral("C")})),
        std::nullopt, std::make_shared<NoWebIcons>()};

    /// Forgets every decoded picture, as at the first opening.
    void dropPictures() { delete state.findChild<IconArtworkCache*>(); }
    void waitForPictures() {
        while (IconArtworkCache::of(state).isBusy()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        QCoreApplication::processEvents();
    }
};

void BM_OpenEditorToFirstPaint(benchmark::State& run) {
    Editor editor;
    std::unique_ptr<EditorWindow> window;
    double picturesMilliseconds = 0;
    for (auto _ : run) {
        run.PauseTiming();
        window.reset();
        editor.dropPictures();
        run.ResumeTiming();
        window = std::make_unique<EditorWindow>(editor.state, nullptr, nullptr);
        window->resize(windowSize);
        window->show();
        window->repaint();
        run.PauseTiming();
        QElapsedTimer pictures;
        pictures.start();
        editor.waitForPictures();
        window->repaint();
        picturesMilliseconds += double(pictures.nsecsElapsed()) / 1e6;
        run.ResumeTiming();
    }
    run.counters["iconsReadyAfterMs"] = picturesMilliseconds / double(run.iterations());
    run.counters["iconKB"] = averageIconKB();
}

void BM_SwitchPage(benchmark::State& run) {
    Editor editor;
    EditorWindow window(editor.state, {}, {});
    window.resize(windowSize);
    window.show();
    window.repaint();
    std::size_t page = 0;
    for (auto _ : run) {
        page = (page + 1) % editor.state.layout().pages.size();
        editor.state.selectPage(editor.state.layout().pages[page].id);
        QCoreApplication::processEvents();
        window.repaint();
    }
}

void BM_LiveReorderStep(benchmark::State& run) {
    Editor editor;
    EditorWindow window(editor.state, {}, {});
    window.resize(windowSize);
    window.show();
    window.repaint();
    editor.waitForPictures();
    auto* list = window.findChild<ButtonListView*>(QStringLiteral("buttonList"));
    const UUID dragged = editor.state.selectedPage()->buttons.front().id;
    list->beginDrag(dragged);
    QMimeData data;
    data.setText(QString::fromStdString(dragged.uuidString()));
    QDragEnterEvent enter(list->visualRect(list->model()->index(0, 0)).center(), Qt::MoveAction,
                          &data, Qt::LeftButton, {});
    QApplication::sendEvent(list->viewport(), &enter);
    int row = 0;
    for (auto _ : run) {
        // Over the third row and back over the first: each entry moves the dragged button.
        row = row == 2 ? 0 : 2;
        QDragMoveEvent move(list->visualRect(list->model()->index(row, 0)).center(), Qt::MoveAction,
                            &data, Qt::LeftButton, {});
        QApplication::sendEvent(list->viewport(), &move);
        QCoreApplication::processEvents();
        window.repaint();
    }
    // Each step is an edit: undo snapshots pile up to their limit.
    run.counters["undoSteps"] = double(editor.state.undoDepth());
}

// The editor state's share of a reorder step, without any window: the undo snapshot and the
// pending copy of the whole layout.
void BM_MoveButtonWithoutWindow(benchmark::State& run) {
    Editor editor;
    const UUID dragged = editor.state.selectedPage()->buttons.front().id;
    bool down = true;
    for (auto _ : run) {
        const PageRecord& page = *editor.state.selectedPage();
        editor.state.moveButton(dragged, down ? page.buttons[2].id : page.buttons[0].id);
        down = !down;
    }
}

BENCHMARK(BM_OpenEditorToFirstPaint)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_SwitchPage)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_LiveReorderStep)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_MoveButtonWithoutWindow)->Unit(benchmark::kMillisecond)->MinTime(2);

} // namespace

int main(int argc, char** argv) {
    const bool storing = argc == 2 && std::strcmp(argv[1], "--store-layout") == 0;
    if (!storing) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    if (storing) {
        MacEditorLayoutStore().save(picturedLargeLayout());
        flushAllUserDefaults();
        std::cerr << "stored " << largeLayoutPageCount << " pages of " << largeLayoutButtonsPerPage
                  << " buttons, icons of " << averageIconKB() << " KB on average\n";
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
