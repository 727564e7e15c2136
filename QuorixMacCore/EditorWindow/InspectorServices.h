#pragma once

#include "QuorixMacCore/Catalog/ShortcutScanner.h"
#include "QuorixMacCore/EditorWindow/InspectorRules.h"
#include "QuorixMacCore/Platform/ApplicationFiles.h"
#include "QuorixMacCore/Platform/NativeKeyCodes.h"
#include "QuorixMacCore/Platform/RunningApplications.h"
#include "QuorixProtocol/Models.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QThreadPool;
class QWidget;

namespace quorix {

class MacEditorState;

/// What a file chooser is asked for.
enum class FileChoice {
    /// One image for a button's icon.
    image,
    /// An application: a desktop entry, a program or a folder.
    application,
};

/// Shows a file chooser over `parent` without waiting for it, then calls `done` with the
/// chosen path, or with nothing when the user cancelled.
using FileChooser = std::function<void(QWidget* parent, FileChoice choice,
                                       std::function<void(std::optional<QString>)> done)>;

/// The desktop behind the inspector: what runs, what files say, the keyboard, the
/// shortcuts tool, file choosers and the threads slow work runs on. Tests hand in fakes.
struct InspectorServices {
    std::shared_ptr<const RunningApplications> runningApplications;
    std::shared_ptr<const ApplicationFiles> applicationFiles;
    std::shared_ptr<NativeKeyCodes> nativeKeyCodes;
    std::shared_ptr<const ShortcutScanner> shortcutScanner;
    FileChooser chooseFile;
    /// Runs listings, renders and decoding; the application's global pool when null.
    QThreadPool* taskPool = nullptr;

    /// The user's desktop, with the toolkit's file dialogs.
    static InspectorServices system();
};

/// Changes one button through the editor state and then tells the host to sync. Results
/// of slow work arrive late: once another button is selected they are dropped.
class ButtonEditing {
public:
    ButtonEditing(MacEditorState& state, std::function<void()> onSync, UUID buttonID);

    MacEditorState& state() const { return m_state; }
    /// Whether the button is still the selected one.
    bool isCurrent() const;

    void apply(const InspectorRules::ButtonUpdate& update) const;
    /// `apply`, then the site icon of the address is fetched.
    void applyResolvingWebIcon(const InspectorRules::ButtonUpdate& update) const;
    void selectInstalledApp(const AppInfo& app, std::optional<std::string> fallbackPath) const;

private:
    void synced() const;

    MacEditorState& m_state;
    std::function<void()> m_onSync;
    UUID m_buttonID;
};

} // namespace quorix
