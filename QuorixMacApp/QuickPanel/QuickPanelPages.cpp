#include "QuorixMacApp/QuickPanel/QuickPanelPages.h"

#include <algorithm>

namespace quorix::QuickPanelPages {

std::vector<const PageRecord*> sortedPages(const LayoutRecord& layout) {
    std::vector<const PageRecord*> pages;
    pages.reserve(layout.pages.size());
    for (const PageRecord& page : layout.pages) {
        pages.push_back(&page);
    }
    std::stable_sort(pages.begin(), pages.end(),
                     [](const PageRecord* a, const PageRecord* b) { return a->order < b->order; });
    return pages;
}

bool hasAnyButton(const std::vector<const PageRecord*>& pages) {
    return std::any_of(pages.begin(), pages.end(),
                       [](const PageRecord* page) { return !page->buttons.empty(); });
}

int initialPageIndex(const std::vector<const PageRecord*>& pages,
                     const std::optional<UUID>& selectedPageID) {
    if (!selectedPageID) {
        return 0;
    }
    const auto found = std::find_if(pages.begin(), pages.end(), [&](const PageRecord* page) {
        return page->id == *selectedPageID;
    });
    return found == pages.end() ? 0 : static_cast<int>(found - pages.begin());
}

std::vector<QuorixButtonRecord> shownButtons(std::vector<QuorixButtonRecord> buttons) {
    std::stable_sort(buttons.begin(), buttons.end(),
                     [](const QuorixButtonRecord& a, const QuorixButtonRecord& b) {
                         return a.position < b.position;
                     });
    if (buttons.size() > maxButtonsPerPage) {
        buttons.erase(buttons.begin() + maxButtonsPerPage, buttons.end());
    }
    return buttons;
}

} // namespace quorix::QuickPanelPages
