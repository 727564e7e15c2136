// What the secure transport costs: making the identity the first time, loading it at a
// later start, and a phone's connection up to its pairing over TLS against plain TCP.
#include "QuorixMacCore/Actions/DryRunActionExecutor.h"
#include "QuorixMacCore/Catalog/InstalledAppsScanner.h"
#include "QuorixMacCore/Pairing/PairingService.h"
#include "QuorixMacCore/Transport/TLSCertificateManager.h"
#include "QuorixMacCore/Transport/WebSocketServer.h"
#include "tools/PhoneConnection.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <vector>

using namespace quorix;
using Clock = std::chrono::steady_clock;

namespace {

const QString commonName = QStringLiteral("Bench Desk");

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples[samples.size() / 2];
}

/// Times `work` per iteration; the median in milliseconds as a counter.
template <typename Work>
void timeEach(benchmark::State& state, Work work) {
    std::vector<double> milliseconds;
    for (auto _ : state) {
        const auto started = Clock::now();
        if (!work()) {
            return;
        }
        const std::chrono::duration<double> elapsed = Clock::now() - started;
        state.SetIterationTime(elapsed.count());
        milliseconds.push_back(elapsed.count() * 1e3);
    }
    state.counters["median_ms"] = median(std::move(milliseconds));
}

void firstIdentityCreation(benchmark::State& state) {
    std::vector<std::unique_ptr<QTemporaryDir>> directories;
    timeEach(state, [&] {
        directories.push_back(std::make_unique<QTemporaryDir>());
        const auto made =
            TLSCertificateManager(directories.back()->path()).loadOrCreateIdentity(commonName);
        if (!made) {
            state.SkipWithError(made.error().description().toUtf8().constData());
        }
        return made.hasValue();
    });
}

void laterIdentityLoad(benchmark::State& state) {
    const QTemporaryDir directory;
    const TLSCertificateManager manager(directory.path());
    if (!manager.loadOrCreateIdentity(commonName)) {
        state.SkipWithError("no identity");
        return;
    }
    timeEach(state, [&] { return manager.loadOrCreateIdentity(commonName).hasValue(); });
}

/// Connect, TLS handshake with the fingerprint check when secure, WebSocket handshake,
/// `auth_request` and its `auth_success`, one phone after another.
void handshakeAndPairing(benchmark::State& state) {
    const bool secure = state.range(0) != 0;
    state.SetLabel(secure ? "tls" : "plain");
    const QTemporaryDir directory;
    std::optional<TLSIdentityBundle> identity;
    if (secure) {
        auto made = TLSCertificateManager(directory.path()).loadOrCreateIdentity(commonName);
        if (!made) {
            state.SkipWithError("no identity");
            return;
        }
        identity = std::move(made).value();
    }
    auto pairing = std::make_shared<PairingService>(PairingConfiguration::standard,
                                                    std::make_shared<InMemoryPairingTokenStore>());
    WebSocketServer server(commonName, pairing, std::make_shared<DryRunActionExecutor>(),
                           std::make_shared<InstalledAppsScanner>(),
                           secure ? TransportSecurityMode::secureSelfSigned
                                  : TransportSecurityMode::plaintextForLocalTesting,
                           identity, QString());
    const auto port = server.start(0, false);
    if (!port) {
        state.SkipWithError("the server did not start");
        return;
    }
    const std::optional<QString> pin =
        identity ? std::optional(identity->fingerprintSHA256) : std::nullopt;

    timeEach(state, [&] {
        // A few microseconds against the milliseconds measured.
        const std::string code = pairing->issueNewCode();
        cli::PhoneConnection phone;
        QuorixServerMessage answer;
        QByteArray raw;
        std::string problem;
        const bool paired =
            !phone.open(QStringLiteral("127.0.0.1"), *port, std::chrono::seconds(10), pin) &&
            phone.send({QuorixClientMessage::AuthRequest{code}}) &&
            phone.next(std::chrono::seconds(10), answer, raw, problem) ==
                cli::PhoneConnection::Received::message &&
            std::holds_alternative<QuorixServerMessage::AuthSuccess>(answer.value);
        if (!paired) {
            state.SkipWithError("a phone did not pair");
        }
        return paired;
    });
    server.stop();
}

} // namespace

BENCHMARK(firstIdentityCreation)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(laterIdentityLoad)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);
BENCHMARK(handshakeAndPairing)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(300)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
