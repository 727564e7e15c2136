#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

/// The entry point libFuzzer calls with one input; the replay runner calls it with every
/// file of a corpus.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace quorix::fuzz {

/// Stops the process when a property of a target does not hold: libFuzzer keeps the input
/// as a finding, and a replay under ctest fails.
inline void require(bool holds, std::string_view property) {
    if (!holds) {
        std::fprintf(stderr, "fuzz property violated: %.*s\n", static_cast<int>(property.size()),
                     property.data());
        std::abort();
    }
}

} // namespace quorix::fuzz
