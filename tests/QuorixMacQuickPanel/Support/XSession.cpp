#include "QuorixMacQuickPanel/Support/XSession.h"

#include <QImage>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace quorix::test {

struct XSession::State {
    Display* display = nullptr;
};

XSession::XSession(const std::string& displayName)
    : m_state(new State) {
    Display* display = XOpenDisplay(displayName.c_str());
    m_state->display = display;
    int event = 0, error = 0, major = 2, minor = 0;
    if (!display || !XTestQueryExtension(display, &event, &error, &major, &minor)) {
        return;
    }
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
