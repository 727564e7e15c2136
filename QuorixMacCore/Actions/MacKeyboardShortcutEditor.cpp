#include "QuorixMacCore/Actions/MacKeyboardShortcutEditor.h"

#include "QuorixMacCore/Actions/KeyComboFormatting.h"
#include "QuorixMacCore/Actions/TextNormalization.h"

#include <utility>

namespace quorix {

MacKeyboardShortcutEditor::MacKeyboardShortcutEditor(const KeyCombo& combo, ChangeCallback onChange,
                                                     QObject* parent)
    : QObject(parent)
    , m_modifiers(combo.modifiers.begin(), combo.modifiers.end())
    , m_key(combo.key)
    , m_onChange(std::move(onChange)) {}

KeyCombo MacKeyboardShortcutEditor::currentCombo() const {
    const std::vector<Modifier> unordered(m_modifiers.begin(), m_modifiers.end());
    const bool blank = trimmedWhitespaceAndNewlines(m_key).empty();
    return KeyCombo{sortedForDisplay(unordered), blank ? std::string("space") : m_key};
}

std::string MacKeyboardShortcutEditor::shortcutFieldText() const {
    if (!m_isRecording) {
        return quorix::shortcutFieldText(currentCombo());
    }
    if (m_liveModifiers.empty()) {
        return std::string(promptText);
    }
    const std::vector<Modifier> held(m_liveModifiers.begin(), m_liveModifiers.end());
    std::string text;
    for (const Modifier modifier : sortedForDisplay(held)) {
        text += modifierSymbol(modifier);
    }
    return text + std::string(heldModifiersSuffix);
}

void MacKeyboardShortcutEditor::startRecording() {
    replaceLiveModifiers({});
    setRecording(true);
}

void MacKeyboardShortcutEditor::setLiveModifiers(const std::vector<Modifier>& modifiers) {
    replaceLiveModifiers(std::set<Modifier>(modifiers.begin(), modifiers.end()));
}

void MacKeyboardShortcutEditor::apply(const KeyCombo& combo) {
    std::set<Modifier> modifiers(combo.modifiers.begin(), combo.modifiers.end());
    if (modifiers != m_modifiers) {
        m_modifiers = std::move(modifiers);
        Q_EMIT modifiersChanged();
    }
    if (combo.key != m_key) {
        m_key = combo.key;
        Q_EMIT keyChanged();
    }
    replaceLiveModifiers({});
    setRecording(false);
    if (m_onChange) {
        // A copy: whoever hears the change may drop this editor.
        const ChangeCallback callback = m_onChange;
        callback(combo);
    }
}

void MacKeyboardShortcutEditor::reset() {
    apply(KeyCombo{{}, "space"});
}

void MacKeyboardShortcutEditor::setRecording(bool isRecording) {
    if (isRecording == m_isRecording) {
        return;
    }
    m_isRecording = isRecording;
    Q_EMIT isRecordingChanged(m_isRecording);
}

void MacKeyboardShortcutEditor::replaceLiveModifiers(std::set<Modifier> modifiers) {
    if (modifiers == m_liveModifiers) {
        return;
    }
    m_liveModifiers = std::move(modifiers);
    Q_EMIT liveModifiersChanged();
}

} // namespace quorix
