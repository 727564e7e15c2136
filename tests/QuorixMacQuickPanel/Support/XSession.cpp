#include "QuorixMacQuickPanel/Support/XSession.h"

#include <QImage>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace quorix::test {

struct XSession::State {
    Display* display = nullptr;
    int inputOpcode = 0;
};

XSession::XSession(const std::string& displayName)
    : m_state(new State) {
    Display* display = XOpenDisplay(displayName.c_str());
    m_state->display = display;
    int event = 0, error = 0, major = 2, minor = 0;
    if (!display || !XTestQueryExtension(display, &event, &error, &major, &minor) ||
        !XQueryExtension(display, "XInputExtension", &m_state->inputOpcode, &event, &error)) {
        return;
    }
    major = 2;
    minor = 0;
    if (XIQueryVersion(display, &major, &minor) != Success) {
        return;
    }
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawKeyPress);
    XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    XSync(display, False);
    m_ready = true;
}

XSession::~XSession() {
    if (m_state->display) {
        XCloseDisplay(m_state->display);
    }
    delete m_state;
}

std::uint64_t XSession::focusedWindow() const {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_state->display, &focus, &revert);
    return focus;
}

void XSession::setFocusedWindow(std::uint64_t window) {
    XSetInputFocus(m_state->display, Window(window), RevertToPointerRoot, CurrentTime);
    XSync(m_state->display, False);
}

bool XSession::isViewable(std::uint64_t window) const {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(m_state->display, Window(window), &attributes) != 0 &&
           attributes.map_state == IsViewable;
}

QPointF XSession::screenPosition(std::uint64_t window) const {
    Display* display = m_state->display;
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, Window(window), DefaultRootWindow(display), 0, 0, &x, &y,
                          &child);
    return QPointF(x, y);
}

void XSession::click(QPointF screenPosition) {
    Display* display = m_state->display;
    XTestFakeMotionEvent(display, DefaultScreen(display), qRound(screenPosition.x()),
                         qRound(screenPosition.y()), CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
}

void XSession::pressAndReleaseKey(const std::string& keysym) {
    Display* display = m_state->display;
    const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(keysym.c_str()));
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XSync(display, False);
}

void XSession::deliverRawInput(const std::function<void(QPointF)>& onMouseDown,
                               const std::function<void()>& onEscape) {
    Display* display = m_state->display;
    const KeyCode escape = XKeysymToKeycode(display, XK_Escape);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        XGenericEventCookie& cookie = event.xcookie;
        if (cookie.type != GenericEvent || cookie.extension != m_state->inputOpcode ||
            !XGetEventData(display, &cookie)) {
            continue;
        }
        const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
        // Buttons 4 to 7 are scroll steps, not clicks.
        if (cookie.evtype == XI_RawButtonPress && raw->detail >= 1 && raw->detail <= 3) {
            Window root = 0, child = 0;
            int rootX = 0, rootY = 0, x = 0, y = 0;
            unsigned state = 0;
            XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x,
                          &y, &state);
            onMouseDown(QPointF(rootX, rootY));
        } else if (cookie.evtype == XI_RawKeyPress && raw->detail == escape) {
            onEscape();
        }
        XFreeEventData(display, &cookie);
    }
}

bool XSession::saveScreenshot(const std::string& path, int left, int top, int width,
                              int height) const {
    Display* display = m_state->display;
    XImage* shot = XGetImage(display, DefaultRootWindow(display), left, top, unsigned(width),
                             unsigned(height), AllPlanes, ZPixmap);
    if (shot == nullptr) {
        return false;
    }
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, 0xff000000U | unsigned(XGetPixel(shot, x, y)));
        }
    }
    XDestroyImage(shot);
    return image.save(QString::fromStdString(path));
}

} // namespace quorix::test
