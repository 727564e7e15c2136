#pragma once

#include "QuorixMacCore/Actions/ExecError.h"
#include "QuorixProtocol/Models.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorix {

class AccessibilityChecker;
class EventPoster;

/// Types key combinations as synthetic keyboard events, refusing the system shortcuts that
/// hide or minimise the frontmost application. Besides ordinary shortcuts it produces two
/// gestures of modifier keys alone: both keys of one modifier pressed together (key
/// "commandpair", "optionpair", "controlpair", "shiftpair", or "shift" with the shift
/// modifier) and one modifier tapped twice (the modifier's own name as the key).
class KeyboardExecutor {
public:
    static constexpr std::chrono::milliseconds pairedPressGap{35};
    static constexpr std::chrono::milliseconds pairedHold{120};
    static constexpr std::chrono::milliseconds pairedReleaseGap{20};
    static constexpr std::chrono::milliseconds tapHold{35};
    static constexpr std::chrono::milliseconds tapGap{90};

    KeyboardExecutor(std::shared_ptr<EventPoster> poster,
                     std::shared_ptr<AccessibilityChecker> accessibility);

    /// Posts the combination; the error when it was refused or cannot be typed. Modifier
    /// gestures block the calling thread for up to 175 ms; the keys of one call are never
    /// interleaved with another call's on the same poster.
    std::optional<ExecError> execute(const KeyCombo& combo) const;

    /// The union of the modifiers' event flags.
    static std::uint64_t flags(const std::vector<Modifier>& modifiers);
    /// The modifiers' names sorted and joined with "+", then "+" and the normalised key
    /// ("command+shift+h"); the key alone without modifiers.
    static std::string shortcutDescription(const KeyCombo& combo);

private:
    std::optional<ExecError> executePairedModifier(Modifier modifier, const std::string& key) const;
    std::optional<ExecError> executeDoubleTappedModifier(Modifier modifier,
                                                         const std::string& key) const;
    std::optional<ExecError> executeShortcut(const KeyCombo& combo) const;

    std::shared_ptr<EventPoster> m_poster;
    std::shared_ptr<AccessibilityChecker> m_accessibility;
};

} // namespace quorix
