#include "QuorixMacApp/QuickPanelMonitors.h"

#include "QuorixMacApp/LocalInputMonitor.h"
#include "QuorixMacApp/QuickPanelPresenting.h"
#include "QuorixMacCore/Actions/KeyEventNaming.h"
#include "QuorixMacCore/Platform/GlobalInputMonitor.h"

namespace quorix {

namespace {

using Source = InputEventMerger::Source;
using Kind = InputEventMerger::Kind;

// The mouse button as the merger tells events apart.
int buttonNumber(InputEvents::MouseDown::Button button) {
    return static_cast<int>(button);
}

bool isDown(const InputEvents::ModifierFlagsChanged& event) {
    const std::optional<Modifier> modifier = quorixChangedModifier(event.keyCode);
    return modifier && (event.flags & ModifierFlags::flag(*modifier)) != 0;
}

} // namespace

QuickPanelMonitors::QuickPanelMonitors(
    std::function<void(const InputEvents::ModifierFlagsChanged&)> onModifierFlagsChanged,
    QuickPanelPresenting& presenter, QObject* parent)
    : QObject(parent)
    , m_onModifierFlagsChanged(std::move(onModifierFlagsChanged))
    , m_presenter(presenter) {}

QuickPanelMonitors::~QuickPanelMonitors() {
    remove();
}

bool QuickPanelMonitors::install(std::unique_ptr<GlobalInputMonitor> global,
                                 std::shared_ptr<NativeKeyCodes> keyCodes) {
    remove();
    m_local = new LocalInputMonitor(
        std::move(keyCodes),
        LocalInputMonitor::Handlers{
            .modifierFlagsChanged =
                [this](const InputEvents::ModifierFlagsChanged& event) {
                    modifierFlagsChanged(Source::local, event);
                },
            .keyDown =
                [this](const InputEvents::KeyDown& event) { return keyDown(Source::local, event); },
            .mouseDown =
                [this](const InputEvents::MouseDown& event) {
                    return mouseDown(Source::local, event);
                },
            .scroll =
                [this](const InputEvents::Scroll& event) { return scroll(Source::local, event); },
        },
        this);
    m_global = std::move(global);
    if (!m_global) {
        return false;
    }
    // The global monitor only observes: what it reports cannot be swallowed.
    return m_global->start(GlobalInputMonitor::Handlers{
        .modifierFlagsChanged =
            [this](const InputEvents::ModifierFlagsChanged& event) {
                modifierFlagsChanged(Source::global, event);
            },
        .keyDown = [this](const InputEvents::KeyDown& event) { keyDown(Source::global, event); },
        .mouseDown =
            [this](const InputEvents::MouseDown& event) { mouseDown(Source::global, event); },
        .scroll = [this](const InputEvents::Scroll& event) { scroll(Source::global, event); },
    });
}

void QuickPanelMonitors::remove() {
    if (m_global) {
        m_global->stop();
        m_global.reset();
    }
    delete m_local;
    m_local = nullptr;
}

bool QuickPanelMonitors::once(Source source, const InputEventMerger::Event& event,
                              const std::function<bool()>& act) {
    if (const std::optional<bool> used = m_merger.match(source, event)) {
        return *used;
    }
    const bool used = act();
    m_merger.record(source, event, used);
    return used;
}

void QuickPanelMonitors::modifierFlagsChanged(Source source,
                                              const InputEvents::ModifierFlagsChanged& event) {
    once(source, {isDown(event) ? Kind::modifierDown : Kind::modifierUp, event.keyCode, event.time},
         [&] {
             m_onModifierFlagsChanged(event);
             return false;
         });
}

bool QuickPanelMonitors::keyDown(Source source, const InputEvents::KeyDown& event) {
    return once(source, {Kind::keyDown, event.keyCode, event.time},
                [&] { return m_presenter.handleKeyDown(event); });
}

bool QuickPanelMonitors::mouseDown(Source source, const InputEvents::MouseDown& event) {
    return once(source, {Kind::mouseDown, buttonNumber(event.button), event.time},
                [&] { return m_presenter.handleMouseDown(event); });
}

bool QuickPanelMonitors::scroll(Source source, const InputEvents::Scroll& event) {
    return once(source, {Kind::scroll, InputEventMerger::scrollDirection(event), event.time},
                [&] { return m_presenter.handleScroll(event); });
}

} // namespace quorix
