#include "QuorixMacApp/QuickPanel/QuickPanelPages.h"

#include <algorithm>

namespace quorix::QuickPanelPages {

std::vector<PageRecord> sortedPages(const LayoutRecord& layout) {
    std::vector<PageRecord> pages = layout.pages;
    std::stable_sort(pages.begin(), pages.end(),
                     [](const PageRecord& a, const PageRecord& b) { return a.order < b.order; });
    return pages;
}

bool hasAnyButton(const std::vector<PageRecord>& pages) {
    return std::any_of(pages.begin(), pages.end(),
                       [](const PageRecord& page) { return !page.buttons.empty(); });
}

int initialPageIndex(const std::vector<PageRecord>& pages,
                     const std::optional<UUID>& selectedPageID) {
    if (!selectedPageID) {
        return 0;
    }
    const auto found = std::find_if(pages.begin(), pages.end(), [&](const PageRecord& page) {
        return page.id == *selectedPageID;
    });
    return found == pages.end() ? 0 : static_cast<int>(found - pages.begin());
}

std::vector<QuorixButtonRecord> shownButtons(const PageRecord& page) {
    std::vector<QuorixButtonRecord> buttons = page.buttons;
    std::stable_sort(buttons.begin(), buttons.end(),
                     [](const QuorixButtonRecord& a, const QuorixButtonRecord& b) {
                         return a.position < b.position;
                     });
    if (buttons.size() > maxButtonsPerPage) {
        buttons.resize(maxButtonsPerPage);
    }
    return buttons;
}

} // namespace quorix::QuickPanelPages
