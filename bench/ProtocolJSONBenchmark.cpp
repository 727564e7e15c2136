#include "LargeLayout.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <benchmark/benchmark.h>

namespace {

using namespace quorix;

const LayoutRecord& sharedLayout() {
    static const LayoutRecord layout = bench::largeLayout();
    return layout;
}

const std::string& sharedLayoutJSON() {
    static const std::string json = *ProtocolJSON::encode(sharedLayout());
    return json;
}

const Bytes& sharedIconBytes() {
    static const Bytes bytes = [] {
        Bytes all;
        for (const PageRecord& page : sharedLayout().pages) {
            for (const QuorixButtonRecord& button : page.buttons) {
                const auto& data = std::get<IconRef::Custom>(button.icon.value).data;
                all.insert(all.end(), data.begin(), data.end());
            }
        }
        return all;
    }();
    return bytes;
}

void decodeLayout(benchmark::State& state) {
    const std::string& json = sharedLayoutJSON();
    for (auto _ : state) {
        auto layout = ProtocolJSON::decodeLayout(json);
        if (!layout) {
            state.SkipWithError(layout.error().description().c_str());
            return;
        }
        benchmark::DoNotOptimize(layout);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * json.size()));
}

// The small messages a phone sends most: every kind but the layout, decoded in turn, so
// that the cost of finding a message's kind shows rather than that of its payload.
void decodeClientMessages(benchmark::State& state) {
    const std::string_view messages[] = {
        R"({"type":"auth_request","code":"042195"})",
        R"({"type":"auth_resume","token":"dG9rZW4tZm9yLWEtcGhvbmU"})",
        R"({"type":"execute","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
        R"("action":{"type":"keyboardShortcut","combo":{"key":"k","modifiers":["command"]}}})",
        R"({"type":"execute","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
        R"("action":{"type":"macro","actions":[{"type":"openURL","url":"https://example.com"},)"
        R"({"type":"launchApp","bundleID":"org.mozilla.firefox"}],"delays":[0.5]}})",
        R"({"type":"capture_keys","timeoutMs":5000})",
        R"({"type":"request_state"})",
        R"({"type":"list_apps"})",
    };
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (const std::string_view json : messages) {
            auto message = ProtocolJSON::decodeClient(json);
            if (!message) {
                state.SkipWithError(message.error().description().c_str());
                return;
            }
            bytes += json.size();
            benchmark::DoNotOptimize(message);
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * std::size(messages)));
}

void encodeLayout(benchmark::State& state) {
    const LayoutRecord& layout = sharedLayout();
    std::size_t size = 0;
    for (auto _ : state) {
        auto json = ProtocolJSON::encode(layout);
        size = json->size();
        benchmark::DoNotOptimize(json);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void base64Decode(benchmark::State& state) {
    const std::string text = Base64::encode(sharedIconBytes());
    for (auto _ : state) {
        auto bytes = Base64::decode(text);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void base64Encode(benchmark::State& state) {
    const Bytes& bytes = sharedIconBytes();
    for (auto _ : state) {
        auto text = Base64::encode(bytes);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

BENCHMARK(decodeLayout)->Unit(benchmark::kMillisecond);
BENCHMARK(decodeClientMessages);
BENCHMARK(encodeLayout)->Unit(benchmark::kMillisecond);
BENCHMARK(base64Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(base64Encode)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
