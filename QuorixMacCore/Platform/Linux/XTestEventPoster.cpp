#include "QuorixMacCore/Platform/Linux/XTestEventPoster.h"

#include "QuorixMacCore/Platform/Linux/KeyPositions.h"
#include "QuorixMacCore/Platform/Linux/XkbKeyPositions.h"
#include "QuorixMacCore/Platform/ModifierFlags.h"
#include "QuorixMacCore/Platform/PlatformLogging.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <array>
#include <atomic>
#include <mutex>
#include <set>
#include <string>

namespace quorix {

namespace {

// Every virtual key code that has a position is below this.
constexpr std::size_t virtualKeyLimit = 128;

struct ModifierKeys {
    std::uint64_t flag;
    std::uint16_t leftKey;
    std::uint16_t rightKey;
};

// The order in which missing modifiers are pressed; they are released in reverse.
constexpr std::array<ModifierKeys, 4> modifierKeys{{
    {ModifierFlags::control, ModifierKeyCodes::control, ModifierKeyCodes::rightControl},
    {ModifierFlags::option, ModifierKeyCodes::option, ModifierKeyCodes::rightOption},
    {ModifierFlags::shift, ModifierKeyCodes::shift, ModifierKeyCodes::rightShift},
    {ModifierFlags::command, ModifierKeyCodes::command, ModifierKeyCodes::rightCommand},
}};

// Xlib's own handler ends the process; returning hands the loss to the display's exit
// handler, which for displays of other code still ends the process as before.
int reportLostDisplay(Display* display) {
    qCWarning(lcPlatform) << "Lost the X display" << DisplayString(display);
    return 0;
}

} // namespace

struct XTestEventPoster::Connection {
    Display* display = nullptr;
    std::atomic<bool> lost = false;
    std::array<unsigned, virtualKeyLimit> keycodes{};
    std::set<unsigned> heldKeycodes;

    ~Connection() {
        if (display) {
            XCloseDisplay(display);
        }
    }

    std::optional<unsigned> keycode(std::uint16_t virtualKey) const {
        if (virtualKey >= keycodes.size() || keycodes[virtualKey] == 0) {
            return std::nullopt;
        }
        return keycodes[virtualKey];
    }

    void mapKeyPositions() {
        for (const auto& [virtualKey, code] : XkbKeyPositions::keycodesByVirtualKey(display)) {
            if (virtualKey < keycodes.size()) {
                keycodes[virtualKey] = code;
            }
        }
    }

    void fakeKey(unsigned code, bool down) {
        XTestFakeKeyEvent(display, code, down ? True : False, CurrentTime);
    }

    bool holdsModifier(const ModifierKeys& modifier, unsigned eventKeycode) const {
        for (const std::uint16_t key : {modifier.leftKey, modifier.rightKey}) {
            const auto code = keycode(key);
            if (code && (*code == eventKeycode || heldKeycodes.contains(*code))) {
                return true;
            }
        }
        return false;
    }

    void post(unsigned eventKeycode, const KeyboardEvent& event) {
        std::vector<unsigned> pressed;
        for (const ModifierKeys& modifier : modifierKeys) {
            if ((event.flags & modifier.flag) == 0 || holdsModifier(modifier, eventKeycode)) {
                continue;
            }
            if (const auto code = keycode(modifier.leftKey)) {
                fakeKey(*code, true);
                pressed.push_back(*code);
            }
        }
        fakeKey(eventKeycode, event.keyDown);
        for (auto code = pressed.rbegin(); code != pressed.rend(); ++code) {
            fakeKey(*code, false);
        }
        if (event.keyDown) {
            heldKeycodes.insert(eventKeycode);
        } else {
            heldKeycodes.erase(eventKeycode);
        }
        XFlush(display);
    }
};

XTestEventPoster::XTestEventPoster(std::string displayName)
    : m_displayName(std::move(displayName)) {}

XTestEventPoster::~XTestEventPoster() {
    std::scoped_lock lock(m_mutex);
    if (Connection* current = m_connection.get(); current && !current->lost) {
        // Keys still down would stay down for the whole desktop.
        for (const unsigned code : current->heldKeycodes) {
            current->fakeKey(code, false);
        }
        XFlush(current->display);
    }
}

XTestEventPoster::Connection* XTestEventPoster::connection() {
    if (m_connection && !m_connection->lost) {
        return m_connection.get();
    }
    m_connection.reset();
    static std::once_flag ioErrorHandlerInstalled;
    std::call_once(ioErrorHandlerInstalled, [] { XSetIOErrorHandler(reportLostDisplay); });
    Display* display = XOpenDisplay(m_displayName.empty() ? nullptr : m_displayName.c_str());
    if (!display) {
        return nullptr;
    }
    auto opened = std::make_unique<Connection>();
    opened->display = display;
    // Xlib ends the process when a connection breaks unless told otherwise; a lost display
    // only means this poster has to open it again.
    XSetIOErrorExitHandler(
        display,
        [](Display*, void* connection) { static_cast<Connection*>(connection)->lost = true; },
        opened.get());
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        qCWarning(lcPlatform) << "The X display has no XTEST extension; keys cannot be posted.";
        return nullptr;
    }
    opened->mapKeyPositions();
    m_connection = std::move(opened);
    return m_connection.get();
}

std::optional<KeyboardEvent>
XTestEventPoster::createKeyboardEvent(std::uint16_t virtualKey, bool keyDown, std::uint64_t flags) {
    std::scoped_lock lock(m_mutex);
    Connection* current = connection();
    if (!current) {
        return std::nullopt;
    }
    if (virtualKey != KeyPositions::functionKey && !current->keycode(virtualKey)) {
        return std::nullopt;
    }
    return KeyboardEvent{virtualKey, keyDown, flags};
}

void XTestEventPoster::post(const KeyboardEvent& event, EventTapLocation) {
    std::scoped_lock lock(m_mutex);
    Connection* current = connection();
    if (!current) {
        return;
    }
    if (const auto code = current->keycode(event.virtualKey)) {
        current->post(*code, event);
    }
}

bool XTestEventPoster::isReachable() {
    std::scoped_lock lock(m_mutex);
    return connection() != nullptr;
}

std::optional<unsigned> XTestEventPoster::xKeycode(std::uint16_t virtualKey) {
    std::scoped_lock lock(m_mutex);
    Connection* current = connection();
    return current ? current->keycode(virtualKey) : std::nullopt;
}

} // namespace quorix
