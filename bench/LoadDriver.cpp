// End-to-end load on the receiver: N phones connected to `kestrane-cli serve --dry-run`,
// each authenticated (one pairing, then resuming with its token) and sending `execute` as
// fast as the answers come back. Prints round-trip p50/p99 and messages per second.
//
// usage: LoadDriver [--cli PATH] [--phones 1,8,64] [--seconds S]

#include "LoadSupport.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace quorix;
using namespace quorix::bench;

struct Options {
    std::string cli = defaultCliPath;
    std::vector<int> phoneCounts = {1, 8, 64};
    double seconds = 3;
};

struct RunResult {
    std::vector<double> roundTripsMicroseconds;
    double elapsedSeconds = 0;
};

RunResult run(const RunningReceiver& receiver, const std::string& token, int phoneCount,
              double seconds) {
    std::vector<std::unique_ptr<Phone>> phones;
    for (int i = 0; i < phoneCount; ++i) {
        phones.push_back(std::make_unique<Phone>(receiver.port));
        authenticate(*phones.back(), {QuorixClientMessage::AuthResume{token}});
    }
    const QuorixClientMessage execute{
        QuorixClientMessage::Execute{UUID::random(), ActionSpec::launchApp("org.example.bench")}};
    const std::string frame = maskedTextFrame(ProtocolJSON::encode(execute).value());

    std::vector<std::vector<double>> samples(static_cast<std::size_t>(phoneCount));
    std::atomic<bool> go{false};
    const auto duration = std::chrono::duration<double>(seconds);
    std::vector<std::thread> threads;
    Clock::time_point start;
    for (int i = 0; i < phoneCount; ++i) {
        threads.emplace_back([&, i] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            Phone& phone = *phones[std::size_t(i)];
            auto& mine = samples[std::size_t(i)];
            mine.reserve(1 << 16);
            const auto end = start + duration;
            while (true) {
                const auto sent = Clock::now();
                if (sent >= end) {
                    break;
                }
                phone.sendAll(frame);
                const std::string reply = phone.nextMessage();
                const auto received = Clock::now();
                if (reply.find("\"success\":true") == std::string::npos) {
                    fail("unexpected answer: " + reply);
                }
                mine.push_back(std::chrono::duration<double, std::micro>(received - sent).count());
            }
        });
    }
    start = Clock::now();
    go = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    RunResult result;
    result.elapsedSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (const auto& perPhone : samples) {
        result.roundTripsMicroseconds.insert(result.roundTripsMicroseconds.end(), perPhone.begin(),
                                             perPhone.end());
    }
    return result;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--cli" && i + 1 < argc) {
            options.cli = argv[++i];
        } else if (argument == "--seconds" && i + 1 < argc) {
            options.seconds = std::stod(argv[++i]);
        } else if (argument == "--phones" && i + 1 < argc) {
            options.phoneCounts.clear();
            std::stringstream list(argv[++i]);
            std::string item;
            while (std::getline(list, item, ',')) {
                options.phoneCounts.push_back(std::stoi(item));
            }
        } else {
            fail("usage: LoadDriver [--cli PATH] [--phones 1,8,64] [--seconds S]");
        }
    }
    return options;
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    const RunningReceiver receiver = startDryRunReceiver(options.cli);
    std::string token;
    {
        Phone first(receiver.port);
        token = authenticate(first, {QuorixClientMessage::AuthRequest{receiver.code}});
    }
    std::printf("%-8s %12s %12s %12s %14s\n", "phones", "messages", "p50 (us)", "p99 (us)",
                "messages/s");
    for (const int phoneCount : options.phoneCounts) {
        RunResult result = run(receiver, token, phoneCount, options.seconds);
        if (result.roundTripsMicroseconds.empty()) {
            fail("no round trip completed");
        }
        const std::size_t count = result.roundTripsMicroseconds.size();
        const double p50 = percentile(result.roundTripsMicroseconds, 0.50);
        const double p99 = percentile(result.roundTripsMicroseconds, 0.99);
        std::printf("%-8d %12zu %12.1f %12.1f %14.0f\n", phoneCount, count, p50, p99,
                    double(count) / result.elapsedSeconds);
        std::fflush(stdout);
    }
    return 0;
}
