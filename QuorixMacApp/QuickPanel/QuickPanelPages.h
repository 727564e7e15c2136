#pragma once

#include "QuorixProtocol/Models.h"

#include <cstddef>
#include <optional>
#include <vector>

/// Which pages and buttons the quick panel shows, and the page it opens on.
namespace quorix::QuickPanelPages {

/// Six columns by three rows; further buttons of a page stay on the phone and in the editor.
inline constexpr std::size_t maxButtonsPerPage = 18;

/// The layout's pages by `order`, equal orders keeping their stored order; valid until the
/// layout changes.
std::vector<const PageRecord*> sortedPages(const LayoutRecord& layout);

/// Whether any page has a button: without one the panel has nothing to offer.
bool hasAnyButton(const std::vector<const PageRecord*>& pages);

/// The index of the page with `selectedPageID`, else 0.
int initialPageIndex(const std::vector<const PageRecord*>& pages,
                     const std::optional<UUID>& selectedPageID);

/// A page's buttons by `position` (equal positions keep their stored order), cut to
/// `maxButtonsPerPage`.
std::vector<QuorixButtonRecord> shownButtons(std::vector<QuorixButtonRecord> buttons);

} // namespace quorix::QuickPanelPages
