#include "QuorixMacCore/EditorWindow/ButtonReorderDrag.h"

#include <algorithm>

namespace quorix {

void ButtonReorderDrag::begin(const UUID& buttonID) {
    m_draggingButtonID = buttonID;
    m_lastEntered.reset();
}

std::optional<ButtonReorderDrag::Move> ButtonReorderDrag::enter(const UUID& target,
                                                                const std::vector<UUID>& order) {
    if (!m_draggingButtonID || m_lastEntered == target) {
        return std::nullopt;
    }
    m_lastEntered = target;
    if (target == *m_draggingButtonID) {
        return std::nullopt;
    }
    const auto dragged = std::find(order.begin(), order.end(), *m_draggingButtonID);
    const auto entered = std::find(order.begin(), order.end(), target);
    if (dragged == order.end() || entered == order.end() || std::next(dragged) == entered) {
        // Moving in front of the next button would change nothing but still count as an
        // edit: an undo step and a transfer to the phone for nothing.
        return std::nullopt;
    }
    return Move{*m_draggingButtonID, target};
}

void ButtonReorderDrag::end() {
    m_draggingButtonID.reset();
    m_lastEntered.reset();
}

} // namespace quorix
