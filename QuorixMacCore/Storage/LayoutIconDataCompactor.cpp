#include "QuorixMacCore/Storage/LayoutIconDataCompactor.h"

#include "QuorixMacCore/Platform/RasterImages.h"

namespace quorix::LayoutIconDataCompactor {

std::vector<Replacement> replacements(const LayoutRecord& layout) {
    std::vector<Replacement> found;
    for (std::size_t pageIndex = 0; pageIndex < layout.pages.size(); ++pageIndex) {
        const PageRecord& page = layout.pages[pageIndex];
        for (std::size_t buttonIndex = 0; buttonIndex < page.buttons.size(); ++buttonIndex) {
            const auto* custom =
                std::get_if<IconRef::Custom>(&page.buttons[buttonIndex].icon.value);
            if (custom == nullptr) {
                continue;
            }
            // An icon small enough already is never re-encoded, whatever that would save.
            if (RasterImages::fitsWithin(custom->data, maxCustomIconPixelSide)) {
                continue;
            }
            std::optional<Bytes> candidate =
                RasterImages::normalizedPNGData(custom->data, maxCustomIconPixelSide);
            if (candidate && candidate->size() < custom->data.size()) {
                found.push_back({pageIndex, buttonIndex, std::move(*candidate)});
            }
        }
    }
    return found;
}

void apply(LayoutRecord& layout, std::vector<Replacement> replacements) {
    for (Replacement& replacement : replacements) {
        layout.pages.at(replacement.pageIndex).buttons.at(replacement.buttonIndex).icon =
            IconRef::custom(std::move(replacement.data));
    }
}

Compacted compact(LayoutRecord layout) {
    std::vector<Replacement> found = replacements(layout);
    const bool changed = !found.empty();
    apply(layout, std::move(found));
    return {std::move(layout), changed};
}

} // namespace quorix::LayoutIconDataCompactor
