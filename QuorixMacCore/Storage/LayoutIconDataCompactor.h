#pragma once

#include "QuorixProtocol/Models.h"

#include <cstddef>
#include <vector>

namespace quorix {

/// Custom icons are kept at most this many pixels on their longer side.
inline constexpr int maxCustomIconPixelSide = 512;

/// Shrinks the custom icon images of a layout, in storage and on the wire.
namespace LayoutIconDataCompactor {

struct Compacted {
    LayoutRecord layout;
    bool changed = false;
};

/// A custom icon's replacement: the button at `buttonIndex` of the page at `pageIndex`
/// (stored order) gets `data`.
struct Replacement {
    std::size_t pageIndex = 0;
    std::size_t buttonIndex = 0;
    Bytes data;
};

/// The custom icons larger than `maxCustomIconPixelSide` whose downscaled PNG is strictly
/// smaller than their data. Other icons, and everything else, are left alone.
std::vector<Replacement> replacements(const LayoutRecord& layout);

/// Puts the replacements into `layout`, which must be the layout they were found in.
void apply(LayoutRecord& layout, std::vector<Replacement> replacements);

/// `layout` with its replacements applied, and whether there were any; `updatedAt` stays.
Compacted compact(LayoutRecord layout);

} // namespace LayoutIconDataCompactor
} // namespace quorix
