#pragma once

#include "QuorixMacCore/Platform/GlobalInputMonitor.h"

#include <QObject>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

class QSocketNotifier;
struct _XDisplay;

namespace quorix {

/// The global monitor on XInput2 raw events of the root window, which X delivers whichever
/// client has the focus or a grab. It keeps its own X connection and reads it from a
/// socket notifier, so the event loop never waits for it.
///
/// Raw events carry neither modifier state nor pointer position: the modifiers held are
/// tracked from the modifier keys' own presses and releases (seeded from the keyboard's
/// state when watching starts), and the pointer is asked for at a mouse-down.
class XInputGlobalMonitor final : public QObject, public GlobalInputMonitor {
    Q_OBJECT

public:
    /// Watches the named display (":1"); an empty name means the one in DISPLAY.
    explicit XInputGlobalMonitor(std::string displayName = {}, QObject* parent = nullptr);
    ~XInputGlobalMonitor() override;

    bool start(Handlers handlers) override;
    void stop() override;
    bool isRunning() const override { return m_display != nullptr; }

    /// A smooth-scrolling valuator of a device.
    struct ScrollValuator {
        bool horizontal = false;
        /// How far the valuator moves for one step of a wheel.
        double increment = 1;
    };
    /// What one wheel step of a smooth-scrolling device moves, in pixels.
    static constexpr double pixelsPerScrollStep = 10;
    /// The scroll of one raw valuator change: `delta` in the valuator's units, where a
    /// positive vertical change scrolls down and a positive horizontal one right. Deltas
    /// follow the toolkit's sign: positive up and left.
    static InputEvents::Scroll smoothScroll(const ScrollValuator& valuator, double delta);
    /// The scroll of one press of wheel button 4 to 7; nothing for other buttons.
    static std::optional<InputEvents::Scroll> wheelButtonScroll(int button);

private:
    void readEvents();
    void handleRawEvent(int type, const void* rawEvent);
    void keyChanged(unsigned keycode, bool down, InputEvents::Time time);
    void buttonPressed(int button, bool emulated, InputEvents::Time time);
    void valuatorsMoved(int sourceDevice, const void* rawEvent, InputEvents::Time time);
    const std::map<int, ScrollValuator>& scrollValuators(int device);
    ModifierFlagBits heldFlags() const;
    QPointF pointerPosition() const;

    const std::string m_displayName;
    _XDisplay* m_display = nullptr;
    int m_xinputOpcode = 0;
    QSocketNotifier* m_notifier = nullptr;
    Handlers m_handlers;
    /// The keys watched, X keycode to virtual key code: the modifiers and Escape only.
    std::map<unsigned, std::uint16_t> m_watchedKeys;
    std::set<std::uint16_t> m_heldModifiers;
    /// Smooth-scrolling valuators by device, read when the device first scrolls.
    std::map<int, std::map<int, ScrollValuator>> m_scrollValuators;
};

} // namespace quorix
