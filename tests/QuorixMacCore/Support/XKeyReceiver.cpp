#include "QuorixMacCore/Support/XKeyReceiver.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

namespace quorix::test {

struct XKeyReceiver::State {
    Display* display = nullptr;
    Window window = 0;
};

namespace {

// Waits for the next event up to the deadline; false when the time is up first.
bool nextEvent(Display* display, XEvent& event, std::chrono::steady_clock::time_point deadline) {
    while (XPending(display) == 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd readable{ConnectionNumber(display), POLLIN, 0};
        poll(&readable, 1, static_cast<int>(left.count()));
    }
    XNextEvent(display, &event);
    return true;
}

} // namespace

XKeyReceiver::XKeyReceiver(const std::string& displayName)
    : m_state(new State) {
    m_state->display = XOpenDisplay(displayName.c_str());
    Display* display = m_state->display;
    if (!display) {
        return;
    }
    const int screen = DefaultScreen(display);
    m_state->window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 200, 100, 0,
                                          BlackPixel(display, screen), WhitePixel(display, screen));
    XSelectInput(display, m_state->window, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
    XMapWindow(display, m_state->window);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    XEvent event;
    while (nextEvent(display, event, deadline)) {
        if (event.type == MapNotify) {
            XSetInputFocus(display, m_state->window, RevertToPointerRoot, CurrentTime);
            XSync(display, False);
            m_ready = true;
            break;
        }
    }
}

XKeyReceiver::~XKeyReceiver() {
    if (m_state->display) {
        XCloseDisplay(m_state->display);
    }
    delete m_state;
}

std::vector<ReceivedKey> XKeyReceiver::waitForKeys(std::size_t count,
                                                   std::chrono::milliseconds timeout) {
    std::vector<ReceivedKey> keys;
    if (!m_state->display) {
        return keys;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    XEvent event;
    while (keys.size() < count && nextEvent(m_state->display, event, deadline)) {
        if (event.type != KeyPress && event.type != KeyRelease) {
            continue;
        }
        keys.push_back({event.type == KeyPress, event.xkey.keycode, event.xkey.state,
                        keysymOfKeycode(event.xkey.keycode), std::chrono::steady_clock::now()});
    }
    return keys;
}

std::chrono::steady_clock::time_point
XKeyReceiver::waitForPress(const std::string& keysym, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    XEvent event;
    while (m_state->display && nextEvent(m_state->display, event, deadline)) {
        if (event.type == KeyPress && keysymOfKeycode(event.xkey.keycode) == keysym) {
            return std::chrono::steady_clock::now();
        }
    }
    return {};
}

unsigned XKeyReceiver::modifierMask(const std::string& keysym) const {
    Display* display = m_state->display;
    const KeySym symbol = XStringToKeysym(keysym.c_str());
    if (!display || symbol == NoSymbol) {
        return 0;
    }
    const KeyCode code = XKeysymToKeycode(display, symbol);
    XModifierKeymap* map = XGetModifierMapping(display);
    unsigned mask = 0;
    for (int modifier = 0; modifier < 8 && mask == 0; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            if (code != 0 && map->modifiermap[modifier * map->max_keypermod + i] == code) {
                mask = 1u << modifier;
            }
        }
    }
    XFreeModifiermap(map);
    return mask;
}

std::string XKeyReceiver::keysymOfKeycode(unsigned keycode) const {
    if (!m_state->display) {
        return {};
    }
    const KeySym symbol = XkbKeycodeToKeysym(m_state->display, static_cast<KeyCode>(keycode), 0, 0);
    const char* name = symbol == NoSymbol ? nullptr : XKeysymToString(symbol);
    return name ? name : "";
}

bool XKeyReceiver::anyKeyDown() const {
    char keys[32] = {};
    if (m_state->display) {
        XQueryKeymap(m_state->display, keys);
    }
    for (const char byte : keys) {
        if (byte != 0) {
            return true;
        }
    }
    return false;
}

} // namespace quorix::test
