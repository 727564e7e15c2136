#pragma once

#include "QuorixProtocol/Models.h"

#include <QObject>

#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quorix {

/// The state behind the keyboard action's shortcut field: the combo being edited, and
/// while recording, the modifiers the user holds.
///
/// Idle shows the combo; pressing the field starts recording; a captured combo (or the
/// reset button) applies and ends it. There is no cancel: recording lasts until a combo
/// arrives or the field goes away.
class MacKeyboardShortcutEditor : public QObject {
    Q_OBJECT

public:
    using ChangeCallback = std::function<void(const KeyCombo&)>;

    static constexpr std::string_view promptText = "ショートカットを押してください";
    /// Follows the symbols of the held modifiers while recording.
    static constexpr std::string_view heldModifiersSuffix = " が押されています";
    static constexpr std::string_view resetHelpText = "ショートカットをリセット";

    /// Starts idle with `combo`; `onChange` hears every applied combo.
    MacKeyboardShortcutEditor(const KeyCombo& combo, ChangeCallback onChange,
                              QObject* parent = nullptr);

    const std::set<Modifier>& modifiers() const { return m_modifiers; }
    const std::string& key() const { return m_key; }
    bool isRecording() const { return m_isRecording; }
    const std::set<Modifier>& liveModifiers() const { return m_liveModifiers; }

    /// The modifiers in display order with the key; a blank key counts as "space".
    KeyCombo currentCombo() const;
    /// The symbol form of the current combo, or while recording the held modifiers (or
    /// the prompt while none is held).
    std::string shortcutFieldText() const;

    /// The field was pressed: recording starts with no modifiers held.
    void startRecording();
    /// The capture reports the modifiers held now.
    void setLiveModifiers(const std::vector<Modifier>& modifiers);
    /// Takes a captured combo, ends recording and reports the combo.
    void apply(const KeyCombo& combo);
    /// The reset button: applies Space without modifiers.
    void reset();

Q_SIGNALS:
    void modifiersChanged();
    void keyChanged();
    void isRecordingChanged(bool isRecording);
    void liveModifiersChanged();

private:
    void setRecording(bool isRecording);
    void replaceLiveModifiers(std::set<Modifier> modifiers);

    std::set<Modifier> m_modifiers;
    std::string m_key;
    bool m_isRecording = false;
    std::set<Modifier> m_liveModifiers;
    ChangeCallback m_onChange;
};

} // namespace quorix
