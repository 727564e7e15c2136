// One phone's `execute` round trip while a second phone pushes a layout of about 25 MB
// (photographed icons on every button) back to back. All phones share the receiver's
// connection thread, so what one phone's layout costs there shows in the other's round
// trips. Prints p50/p99 without and with the pushes, and the receiver's resident memory
// before and after them.
//
// usage: HeadOfLineDriver [--cli PATH | --kestrane PATH] [--seconds S] [--pushes N]
//
// With --kestrane the real program runs headless on its fixed port with an empty home:
// run the driver through tests/integration/run-isolated.sh (bench/head-of-line.sh does).

#include "LargeLayout.h"
#include "LoadSupport.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace quorix;
using namespace quorix::bench;

// Pushes timed on their own, before the measured ones.
constexpr int pushesAlone = 5;

struct Options {
    std::string cli = defaultCliPath;
    std::string kestrane;
    double seconds = 5;
    int pushes = 100;
};

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--cli" && i + 1 < argc) {
            options.cli = argv[++i];
        } else if (argument == "--kestrane" && i + 1 < argc) {
            options.kestrane = argv[++i];
        } else if (argument == "--seconds" && i + 1 < argc) {
            options.seconds = std::stod(argv[++i]);
        } else if (argument == "--pushes" && i + 1 < argc) {
            options.pushes = std::stoi(argv[++i]);
        } else {
            fail("usage: HeadOfLineDriver [--cli PATH | --kestrane PATH] [--seconds S] "
                 "[--pushes N]");
        }
    }
    return options;
}

/// The real program on its fixed port, with a home of its own and no display.
RunningReceiver startKestrane(const std::string& binary, const std::filesystem::path& home) {
    for (const char* folder : {"config", "data", "cache"}) {
        std::filesystem::create_directories(home / folder);
    }
    auto process = std::make_unique<ReceiverProcess>(
        std::vector<std::string>{binary}, STDERR_FILENO,
        std::regex(R"(listening on port (\d+), pairing code (\d{6}))"),
        std::vector<std::string>{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                                 "HOME=" + home.string(),
                                 "XDG_CONFIG_HOME=" + (home / "config").string(),
                                 "XDG_DATA_HOME=" + (home / "data").string(),
                                 "XDG_CACHE_HOME=" + (home / "cache").string()});
    const std::smatch& line = process->readyLine();
    RunningReceiver receiver;
    receiver.port = static_cast<std::uint16_t>(std::stoi(line[1]));
    receiver.code = line[2];
    receiver.process = std::move(process);
    return receiver;
}

struct RoundTrips {
    std::vector<double> microseconds;

    void print(const char* label) {
        if (microseconds.empty()) {
            fail(std::string("no round trip completed ") + label);
        }
        const std::size_t count = microseconds.size();
        const double p50 = percentile(microseconds, 0.50);
        const double p99 = percentile(microseconds, 0.99);
        const double worst = percentile(microseconds, 1.0);
        std::printf("%-22s %10zu %12.1f %12.1f %12.1f\n", label, count, p50, p99, worst);
        std::fflush(stdout);
    }
};

/// Presses a button as soon as the previous answer came, until `done` says stop.
RoundTrips press(Phone& phone, const std::function<bool()>& done) {
    const QuorixClientMessage execute{
        QuorixClientMessage::Execute{UUID::random(), ActionSpec::launchApp("org.example.bench")}};
    const std::string frame = maskedTextFrame(ProtocolJSON::encode(execute).value());
    RoundTrips trips;
    while (!done()) {
        const auto sent = Clock::now();
        phone.sendAll(frame);
        // Layouts the receiver pushes to every phone may come in between.
        phone.nextMessageWith("\"execute_result\"");
        trips.microseconds.push_back(
            std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
    }
    return trips;
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    std::filesystem::path home;
    RunningReceiver receiver;
    if (options.kestrane.empty()) {
        receiver = startDryRunReceiver(options.cli);
    } else {
        char pattern[] = "/tmp/kestrane-head-of-line-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            fail("no temporary folder");
        }
        home = pattern;
        receiver = startKestrane(options.kestrane, home);
    }

    Phone pusher(receiver.port);
    const std::string token =
        authenticate(pusher, {QuorixClientMessage::AuthRequest{receiver.code}});
    Phone presser(receiver.port);
    authenticate(presser, {QuorixClientMessage::AuthResume{token}});

    const std::string layoutFrame = maskedTextFrame(
        ProtocolJSON::encode(QuorixClientMessage{QuorixClientMessage::LayoutUpdate{largeLayout()}})
            .value());
    std::printf("receiver: %s; layout message %.1f MB; %d pushes\n",
                options.kestrane.empty() ? "kestrane-cli serve --dry-run" : "kestrane",
                double(layoutFrame.size()) / 1e6, options.pushes);
    std::printf("%-22s %10s %12s %12s %12s\n", "execute round trip", "count", "p50 (us)",
                "p99 (us)", "max (us)");

    const auto quietEnd = Clock::now() + std::chrono::duration<double>(options.seconds);
    press(presser, [&] { return Clock::now() >= quietEnd; }).print("alone");
    const double residentBefore = receiver.process->residentMiB();

    const auto push = [&] {
        pusher.sendAll(layoutFrame);
        pusher.nextMessageWith("\"layout_changed\"");
    };
    std::vector<double> pushMilliseconds;
    const double cpuBefore = receiver.process->cpuSeconds();
    for (int i = 0; i < pushesAlone; ++i) {
        const auto start = Clock::now();
        push();
        pushMilliseconds.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    const double cpuPerPush = (receiver.process->cpuSeconds() - cpuBefore) * 1000 / pushesAlone;

    std::atomic<bool> pushing{true};
    const auto pushStart = Clock::now();
    std::thread pushes([&] {
        for (int i = 0; i < options.pushes; ++i) {
            push();
        }
        pushing = false;
    });
    RoundTrips loaded = press(presser, [&] { return !pushing.load(); });
    pushes.join();
    const double pushSeconds = std::chrono::duration<double>(Clock::now() - pushStart).count();
    loaded.print("while another pushes");
    const double residentAfter = receiver.process->residentMiB();
    // The receiver gives freed memory back 2 s after the last large message.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const double residentSettled = receiver.process->residentMiB();

    std::printf("layout push round trip: %.1f ms median of %d alone, receiver processor time "
                "%.1f ms each; %.1f per second while the other phone presses\n",
                percentile(pushMilliseconds, 0.5), pushesAlone, cpuPerPush,
                options.pushes / pushSeconds);
    std::printf("resident memory (MiB): %.1f before the pushes, %.1f after %d more, %.1f 3 s "
                "later\n",
                residentBefore, residentAfter, options.pushes, residentSettled);

    receiver.process.reset();
    if (!home.empty()) {
        std::filesystem::remove_all(home);
    }
    return 0;
}
