// Time from asking the executor for an ordinary shortcut to its key-down reaching an X
// client, on a private X server.
#include "QuorixMacCore/Actions/AppLauncher.h"
#include "QuorixMacCore/Actions/KeyboardExecutor.h"
#include "QuorixMacCore/Actions/MacActionExecutor.h"
#include "QuorixMacCore/Actions/URLOpener.h"
#include "QuorixMacCore/Platform/Linux/GioWorkspace.h"
#include "QuorixMacCore/Platform/Linux/X11AccessibilityChecker.h"
#include "QuorixMacCore/Platform/Linux/XTestEventPoster.h"
#include "QuorixMacCore/Support/XKeyReceiver.h"
#include "QuorixMacCore/Support/XvfbServer.h"

#include <QCoreApplication>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <vector>

using namespace quorix;

namespace {

double percentile(std::vector<double> samples, double fraction) {
    std::sort(samples.begin(), samples.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1));
    return samples[index];
}

void shortcutToKeyDown(benchmark::State& state) {
    test::XvfbServer server;
    if (!server.isRunning()) {
        state.SkipWithError(server.failure().c_str());
        return;
    }
    test::XKeyReceiver receiver(server.displayName());
    if (!receiver.isReady()) {
        state.SkipWithError("no focused window on the private X server");
        return;
    }
    auto poster = std::make_shared<XTestEventPoster>(server.displayName());
    auto workspace = std::make_shared<GioWorkspace>();
    MacActionExecutor executor(std::make_shared<KeyboardExecutor>(
                                   poster, std::make_shared<X11AccessibilityChecker>(poster)),
                               std::make_shared<AppLauncher>(workspace),
                               std::make_shared<URLOpener>(workspace));
    const auto action = ActionSpec::keyboardShortcut({{Modifier::control}, "c"});

    std::vector<double> microseconds;
    for (auto _ : state) {
        const auto started = std::chrono::steady_clock::now();
        auto outcome = executor.execute(action);
        const auto arrived = receiver.waitForPress("c", std::chrono::seconds(5));
        outcome.waitForFinished();
        if (arrived == std::chrono::steady_clock::time_point{} || !outcome.result().success) {
            state.SkipWithError("the key did not arrive");
            return;
        }
        const std::chrono::duration<double> elapsed = arrived - started;
        state.SetIterationTime(elapsed.count());
        microseconds.push_back(elapsed.count() * 1e6);
    }
    state.counters["median_us"] = percentile(microseconds, 0.5);
    state.counters["p99_us"] = percentile(microseconds, 0.99);
}

} // namespace

BENCHMARK(shortcutToKeyDown)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
