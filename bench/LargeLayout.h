#pragma once

#include "QuorixProtocol/Models.h"

#include <random>
#include <string>

namespace quorix::bench {

// The size of layout a phone with many photographed icons sends: 20 full pages of
// 18 buttons, each with a custom icon of about 55 KB.
inline constexpr int largeLayoutPageCount = 20;
inline constexpr int largeLayoutButtonsPerPage = 18;
inline constexpr std::size_t largeLayoutIconBytes = 55 * 1024;

/// The same layout on every call: its ids and icons come from a fixed seed.
inline LayoutRecord largeLayout() {
    std::mt19937_64 generator(20260131);
    auto nextUUID = [&generator] {
        UUID uuid;
        for (auto& byte : uuid.bytes) {
            byte = static_cast<std::uint8_t>(generator());
        }
        return uuid;
    };
    LayoutRecord layout{nextUUID(), {}, Theme::liquidGlass, Date{std::chrono::seconds{1769850900}}};
    for (int page = 0; page < largeLayoutPageCount; ++page) {
        PageRecord record{
            nextUUID(), "Page " + std::to_string(page), page, GradientPreset::custom, {}, 6, 3};
        for (int button = 0; button < largeLayoutButtonsPerPage; ++button) {
            Bytes icon(largeLayoutIconBytes);
            for (auto& byte : icon) {
                byte = static_cast<std::uint8_t>(generator());
            }
            record.buttons.push_back(
                {nextUUID(), button, IconRef::custom(std::move(icon)),
                 ColorGradient{"#4facfe", "#00f2fe", 135},
                 ActionSpec::keyboardShortcut({{Modifier::command, Modifier::shift}, "k"})});
        }
        layout.pages.push_back(std::move(record));
    }
    return layout;
}

} // namespace quorix::bench
