#pragma once

#include "QuorixMacCore/Actions/KeyEventNaming.h"
#include "QuorixProtocol/Models.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace quorix {

/// Turns the key and modifier events of the focused editor window into a KeyCombo: an
/// ordinary key press with its modifiers, both keys of one modifier held together
/// (key "commandPair" etc.) or one modifier tapped twice (key "command" etc.).
///
/// The owner feeds only the events it would consume (its window is the key window) and
/// drops the capture when it stops listening. Callbacks may destroy the capture.
class ShortcutCapture {
public:
    using ModifiersCallback = std::function<void(const std::vector<Modifier>&)>;
    using CaptureCallback = std::function<void(const KeyCombo&)>;
    using TimePoint = std::chrono::steady_clock::time_point;

    /// The longest time from one release of a modifier to the next that still makes a
    /// double tap.
    static constexpr std::chrono::milliseconds doubleTapWindow{600};

    ShortcutCapture(ModifiersCallback onModifiersChanged, CaptureCallback onCapture);

    /// Reacts to one event: a key-down captures its key; a modifier change reports the
    /// held modifiers and may complete a pair or a double tap.
    void handle(const KeyEvent& event);

    /// Forgets the last tap and the held modifier keys, as when listening stops.
    void reset();

private:
    struct ModifierTap {
        Modifier modifier;
        TimePoint releasedAt;
    };

    void handleKeyDown(const KeyEvent& event);
    void handleModifiersChanged(const KeyEvent& event);
    void capture(const KeyCombo& combo);

    ModifiersCallback m_onModifiersChanged;
    CaptureCallback m_onCapture;
    std::optional<ModifierTap> m_lastModifierTap;
    std::set<std::uint16_t> m_pressedModifierKeyCodes;
    // Lets `handle` notice that a callback destroyed the capture.
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};

} // namespace quorix
