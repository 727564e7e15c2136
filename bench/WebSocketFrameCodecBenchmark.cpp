#include "QuorixMacCore/Transport/WebSocketFrameCodec.h"

#include <benchmark/benchmark.h>

using namespace quorix;

namespace {

// A masked client frame as a phone sends it: a layout with custom icons runs to megabytes.
QByteArray maskedFrame(qsizetype length) {
    const QByteArray payload(length, '{');
    QByteArray frame = WebSocketFrameCodec::frame(WebSocketOpcode::text, payload);
    const qsizetype headerLength = frame.size() - payload.size();
    frame[1] = char(frame[1] | 0x80);
    frame.insert(headerLength, QByteArray("\x12\x34\x56\x78", 4));
    return frame;
}

void readMaskedFrame(benchmark::State& state) {
    const QByteArray frame = maskedFrame(state.range(0));
    for (auto _ : state) {
        auto parsed = WebSocketFrameCodec::readFrame(frame);
        benchmark::DoNotOptimize(parsed);
    }
    state.SetBytesProcessed(state.iterations() * frame.size());
}
BENCHMARK(readMaskedFrame)->Arg(128)->Arg(64 * 1024)->Arg(4 * 1024 * 1024);

void writeFrame(benchmark::State& state) {
    const QByteArray payload(state.range(0), 'x');
    for (auto _ : state) {
        QByteArray frame = WebSocketFrameCodec::frame(WebSocketOpcode::text, payload);
        benchmark::DoNotOptimize(frame);
    }
    state.SetBytesProcessed(state.iterations() * payload.size());
}
BENCHMARK(writeFrame)->Arg(128)->Arg(4 * 1024 * 1024);

void waitForIncompleteFrame(benchmark::State& state) {
    // The session asks again after every read while a large frame trickles in.
    const QByteArray partial = maskedFrame(4 * 1024 * 1024).first(1024 * 1024);
    for (auto _ : state) {
        auto parsed = WebSocketFrameCodec::readFrame(partial);
        benchmark::DoNotOptimize(parsed);
    }
}
BENCHMARK(waitForIncompleteFrame);

} // namespace

BENCHMARK_MAIN();
