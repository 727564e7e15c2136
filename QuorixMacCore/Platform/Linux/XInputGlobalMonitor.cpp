#include "QuorixMacCore/Platform/Linux/XInputGlobalMonitor.h"

#include "QuorixMacCore/Platform/Linux/XkbKeyPositions.h"
#include "QuorixMacCore/Platform/PlatformLogging.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <array>
#include <cmath>

namespace quorix {

namespace {

// Raw events that report every device's changes whoever holds a grab arrived in 2.1;
// smooth-scrolling valuators in 2.1 too.
constexpr int requiredMajorVersion = 2;
constexpr int requiredMinorVersion = 2;

struct ModifierKey {
    std::uint16_t keyCode;
    ModifierFlagBits flag;
};

// Caps Lock is a lock, not a held modifier, and Function has no key the system sees.
constexpr auto modifierKeys = std::to_array<ModifierKey>({
    {ModifierKeyCodes::command, ModifierFlags::command},
    {ModifierKeyCodes::rightCommand, ModifierFlags::command},
    {ModifierKeyCodes::shift, ModifierFlags::shift},
    {ModifierKeyCodes::rightShift, ModifierFlags::shift},
    {ModifierKeyCodes::option, ModifierFlags::option},
    {ModifierKeyCodes::rightOption, ModifierFlags::option},
    {ModifierKeyCodes::control, ModifierFlags::control},
    {ModifierKeyCodes::rightControl, ModifierFlags::control},
});
static_assert(modifierKeys.size() == 8);

std::optional<ModifierFlagBits> modifierFlag(std::uint16_t keyCode) {
    for (const ModifierKey& key : modifierKeys) {
        if (key.keyCode == keyCode) {
            return key.flag;
        }
    }
    return std::nullopt;
}

InputEvents::Time serverTime(Time time) {
    // The toolkit stamps its own events with the same server milliseconds, so events seen
    // by both monitors carry the same time.
    return InputEvents::Time(std::chrono::milliseconds(time));
}

// Wheel buttons as the X core protocol numbers them.
constexpr int wheelUp = 4;
constexpr int wheelDown = 5;
constexpr int wheelLeft = 6;
constexpr int wheelRight = 7;

} // namespace

XInputGlobalMonitor::XInputGlobalMonitor(std::string displayName, QObject* parent)
    : QObject(parent)
    , m_displayName(std::move(displayName)) {}

XInputGlobalMonitor::~XInputGlobalMonitor() {
    stop();
}

InputEvents::Scroll XInputGlobalMonitor::smoothScroll(const ScrollValuator& valuator,
                                                      double delta) {
    const double steps = valuator.increment == 0 ? delta : delta / valuator.increment;
    InputEvents::Scroll scroll;
    scroll.hasPreciseDeltas = true;
    (valuator.horizontal ? scroll.deltaX : scroll.deltaY) = -steps * pixelsPerScrollStep;
    return scroll;
}

std::optional<InputEvents::Scroll> XInputGlobalMonitor::wheelButtonScroll(int button) {
    InputEvents::Scroll scroll;
    switch (button) {
    case wheelUp:
        scroll.deltaY = 1;
        break;
    case wheelDown:
        scroll.deltaY = -1;
        break;
    case wheelLeft:
        scroll.deltaX = 1;
        break;
    case wheelRight:
        scroll.deltaX = -1;
        break;
    default:
        return std::nullopt;
    }
    return scroll;
}

bool XInputGlobalMonitor::start(Handlers handlers) {
    stop();
    Display* display = XOpenDisplay(m_displayName.empty() ? nullptr : m_displayName.c_str());
    if (!display) {
        qCWarning(lcPlatform) << "Global input monitor: cannot open the X display";
        return false;
    }
    int event = 0;
    int error = 0;
    int major = requiredMajorVersion;
    int minor = requiredMinorVersion;
    if (!XQueryExtension(display, "XInputExtension", &m_xinputOpcode, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success) {
        qCWarning(lcPlatform) << "Global input monitor: the X server has no XInput 2.2";
        XCloseDisplay(display);
        return false;
    }

    std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> bits{};
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(bits.size()), bits.data()};
    XISetMask(bits.data(), XI_RawKeyPress);
    XISetMask(bits.data(), XI_RawKeyRelease);
    XISetMask(bits.data(), XI_RawButtonPress);
    XISetMask(bits.data(), XI_RawMotion);
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> hierarchyBits{};
    XIEventMask hierarchyMask{XIAllDevices, static_cast<int>(hierarchyBits.size()),
                              hierarchyBits.data()};
    XISetMask(hierarchyBits.data(), XI_HierarchyChanged);
    XISetMask(hierarchyBits.data(), XI_DeviceChanged);
    XISelectEvents(display, DefaultRootWindow(display), &hierarchyMask, 1);

    // Only the keys the panel needs are ever looked at; the rest are dropped by keycode.
    m_watchedKeys.clear();
    for (const auto& [virtualKey, keycode] : XkbKeyPositions::keycodesByVirtualKey(display)) {
        if (virtualKey == InputEvents::escapeKeyCode || modifierFlag(virtualKey)) {
            m_watchedKeys.emplace(keycode, virtualKey);
        }
    }
    // A modifier held while watching starts is held, or its release would read as a change.
    std::array<char, 32> keymap{};
    XQueryKeymap(display, keymap.data());
    m_heldModifiers.clear();
    for (const auto& [keycode, virtualKey] : m_watchedKeys) {
        if (modifierFlag(virtualKey) && keycode / 8 < keymap.size() &&
            (keymap[keycode / 8] & (1 << (keycode % 8))) != 0) {
            m_heldModifiers.insert(virtualKey);
        }
    }
    XFlush(display);

    m_display = display;
    m_handlers = std::move(handlers);
    m_scrollValuators.clear();
    m_notifier = new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &XInputGlobalMonitor::readEvents);
    // Replies read while setting up may have brought events along.
    readEvents();
    return true;
}

void XInputGlobalMonitor::stop() {
    if (m_notifier) {
        // A handler may stop the monitor from inside the notifier's own signal.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    m_handlers = {};
    if (m_display) {
        XCloseDisplay(m_display);
        m_display = nullptr;
    }
}

void XInputGlobalMonitor::readEvents() {
    // XPending reads what the socket holds without waiting; Xlib may buffer more than one
    // notification's worth, so the queue is emptied each time.
    while (m_display && XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != m_xinputOpcode ||
            !XGetEventData(m_display, cookie)) {
            continue;
        }
        const int type = cookie->evtype;
        if (type == XI_HierarchyChanged || type == XI_DeviceChanged) {
            m_scrollValuators.clear();
        } else {
            handleRawEvent(type, cookie->data);
        }
        // A handler may have stopped the monitor.
        if (m_display) {
            XFreeEventData(m_display, cookie);
        }
    }
}

void XInputGlobalMonitor::handleRawEvent(int type, const void* rawEvent) {
    const auto* raw = static_cast<const XIRawEvent*>(rawEvent);
    const InputEvents::Time time = serverTime(raw->time);
    switch (type) {
    case XI_RawKeyPress:
    case XI_RawKeyRelease:
        keyChanged(static_cast<unsigned>(raw->detail), type == XI_RawKeyPress, time);
        break;
    case XI_RawButtonPress:
        buttonPressed(raw->detail, (raw->flags & XIPointerEmulated) != 0, time);
        break;
    case XI_RawMotion:
        valuatorsMoved(raw->sourceid, raw, time);
        break;
    default:
        break;
    }
}

void XInputGlobalMonitor::keyChanged(unsigned keycode, bool down, InputEvents::Time time) {
    const auto watched = m_watchedKeys.find(keycode);
    if (watched == m_watchedKeys.end()) {
        return;
    }
    const std::uint16_t keyCode = watched->second;
    if (!modifierFlag(keyCode)) {
        if (down && m_handlers.keyDown) {
            m_handlers.keyDown(InputEvents::KeyDown{keyCode, heldFlags(), time});
        }
        return;
    }
    if (down) {
        m_heldModifiers.insert(keyCode);
    } else {
        m_heldModifiers.erase(keyCode);
    }
    if (m_handlers.modifierFlagsChanged) {
        m_handlers.modifierFlagsChanged(
            InputEvents::ModifierFlagsChanged{keyCode, heldFlags(), time});
    }
}

void XInputGlobalMonitor::buttonPressed(int button, bool emulated, InputEvents::Time time) {
    if (std::optional<InputEvents::Scroll> scroll = wheelButtonScroll(button)) {
        // A smooth-scrolling device reports its valuators too, with wheel presses made up
        // from them for old clients: counting both would scroll twice.
        if (!emulated && m_handlers.scroll) {
            scroll->globalPosition = pointerPosition();
            scroll->time = time;
            m_handlers.scroll(*scroll);
        }
        return;
    }
    if (!m_handlers.mouseDown) {
        return;
    }
    using Button = InputEvents::MouseDown::Button;
    const Button which = button == Button1   ? Button::left
                         : button == Button3 ? Button::right
                                             : Button::other;
    m_handlers.mouseDown(InputEvents::MouseDown{which, pointerPosition(), time});
}

void XInputGlobalMonitor::valuatorsMoved(int sourceDevice, const void* rawEvent,
                                         InputEvents::Time time) {
    if (!m_handlers.scroll) {
        return;
    }
    const auto* raw = static_cast<const XIRawEvent*>(rawEvent);
    const std::map<int, ScrollValuator>& valuators = scrollValuators(sourceDevice);
    if (valuators.empty()) {
        return;
    }
    const double* value = raw->raw_values;
    for (int number = 0; number < raw->valuators.mask_len * 8; ++number) {
        if (!XIMaskIsSet(raw->valuators.mask, number)) {
            continue;
        }
        const double delta = *value++;
        const auto found = valuators.find(number);
        if (found == valuators.end() || delta == 0) {
            continue;
        }
        InputEvents::Scroll scroll = smoothScroll(found->second, delta);
        scroll.globalPosition = pointerPosition();
        scroll.time = time;
        m_handlers.scroll(scroll);
        if (!m_display) {
            return;
        }
    }
}

const std::map<int, XInputGlobalMonitor::ScrollValuator>&
XInputGlobalMonitor::scrollValuators(int device) {
    const auto known = m_scrollValuators.find(device);
    if (known != m_scrollValuators.end()) {
        return known->second;
    }
    std::map<int, ScrollValuator>& valuators = m_scrollValuators[device];
    int count = 0;
    XIDeviceInfo* info = XIQueryDevice(m_display, device, &count);
    for (int i = 0; info && i < count; ++i) {
        for (int c = 0; c < info[i].num_classes; ++c) {
            if (info[i].classes[c]->type != XIScrollClass) {
                continue;
            }
            const auto* scrollClass =
                reinterpret_cast<const XIScrollClassInfo*>(info[i].classes[c]);
            valuators[scrollClass->number] = ScrollValuator{
                scrollClass->scroll_type == XIScrollTypeHorizontal, scrollClass->increment};
        }
    }
    if (info) {
        XIFreeDeviceInfo(info);
    }
    return valuators;
}

ModifierFlagBits XInputGlobalMonitor::heldFlags() const {
    ModifierFlagBits flags = 0;
    for (const std::uint16_t keyCode : m_heldModifiers) {
        flags |= modifierFlag(keyCode).value_or(0);
    }
    return flags;
}

QPointF XInputGlobalMonitor::pointerPosition() const {
    Window root = 0;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &rootX, &rootY,
                       &windowX, &windowY, &mask)) {
        return {};
    }
    // Positions elsewhere in the program are in the toolkit's logical pixels.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal ratio = screen ? screen->devicePixelRatio() : 1;
    return QPointF(rootX / ratio, rootY / ratio);
}

std::unique_ptr<GlobalInputMonitor> systemGlobalInputMonitor() {
    return std::make_unique<XInputGlobalMonitor>();
}

} // namespace quorix
