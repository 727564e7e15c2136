#pragma once

#include "QuorixProtocol/Foundation.h"

#include <optional>
#include <vector>

namespace quorix {

/// One drag of a button over the rows of its page: which move each row the pointer enters
/// asks for, so that the list reorders while the pointer moves.
class ButtonReorderDrag {
public:
    /// Move `buttonID` directly in front of `before`.
    struct Move {
        UUID buttonID;
        UUID before;
        bool operator==(const Move&) const = default;
    };

    void begin(const UUID& buttonID);
    /// The pointer is over the row of `target`; `order` holds the page's buttons by
    /// position. A move in front of `target` when the pointer has just entered that row;
    /// nothing while it stays on the row it entered last, on the dragged button's own
    /// row, when the button already stands directly in front of `target`, or when no drag
    /// is under way.
    std::optional<Move> enter(const UUID& target, const std::vector<UUID>& order);
    /// The pointer is over no row.
    void leave() { m_lastEntered.reset(); }
    /// The drag ended, by a drop or otherwise.
    void end();

    const std::optional<UUID>& draggingButtonID() const { return m_draggingButtonID; }

private:
    std::optional<UUID> m_draggingButtonID;
    std::optional<UUID> m_lastEntered;
};

} // namespace quorix
