#pragma once

#include "QuorixMacApp/InputEventMerger.h"
#include "QuorixMacCore/Platform/InputEvents.h"

#include <QObject>

#include <functional>
#include <memory>

namespace quorix {

class GlobalInputMonitor;
class LocalInputMonitor;
class NativeKeyCodes;
class QuickPanelPresenting;

/// The quick panel's monitors, global and local, with each event acted on once: modifier
/// changes go to the trigger, Escape, mouse-downs and scrolls to the panel. Installed at
/// launch and removed at termination.
class QuickPanelMonitors final : public QObject {
    Q_OBJECT

public:
    /// `onModifierFlagsChanged` receives the modifier changes; `presenter` the rest.
    QuickPanelMonitors(
        std::function<void(const InputEvents::ModifierFlagsChanged&)> onModifierFlagsChanged,
        QuickPanelPresenting& presenter, QObject* parent = nullptr);
    ~QuickPanelMonitors() override;

    /// Starts both monitors; whether the global one runs (events in other applications
    /// then reach the panel).
    bool install(std::unique_ptr<GlobalInputMonitor> global,
                 std::shared_ptr<NativeKeyCodes> keyCodes);
    void remove();
    bool isInstalled() const { return m_local != nullptr; }

    /// One event from one monitor; whether it was used (a local monitor swallows it then).
    void modifierFlagsChanged(InputEventMerger::Source source,
                              const InputEvents::ModifierFlagsChanged& event);
    bool keyDown(InputEventMerger::Source source, const InputEvents::KeyDown& event);
    bool mouseDown(InputEventMerger::Source source, const InputEvents::MouseDown& event);
    bool scroll(InputEventMerger::Source source, const InputEvents::Scroll& event);

private:
    bool once(InputEventMerger::Source source, const InputEventMerger::Event& event,
              const std::function<bool()>& act);

    std::function<void(const InputEvents::ModifierFlagsChanged&)> m_onModifierFlagsChanged;
    QuickPanelPresenting& m_presenter;
    InputEventMerger m_merger;
    std::unique_ptr<GlobalInputMonitor> m_global;
    LocalInputMonitor* m_local = nullptr;
};

} // namespace quorix
