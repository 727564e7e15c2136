#include "QuorixMacCore/Platform/FloatingPanels.h"

#include <QGuiApplication>
#include <QWindow>

#include <X11/Xlib.h>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>
#include <xcb/xcb.h>

namespace quorix {

namespace {

struct ReplyDeleter {
    void operator()(void* reply) const { std::free(reply); }
};

// Every workspace, as _NET_WM_DESKTOP spells it.
constexpr std::uint32_t allDesktops = 0xFFFFFFFF;
// _NET_WM_STATE is a short list; anything longer is not one.
constexpr std::uint32_t maxStateAtoms = 64;

xcb_atom_t internAtom(xcb_connection_t* connection, std::string_view name) {
    const std::unique_ptr<xcb_intern_atom_reply_t, ReplyDeleter> reply(xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::vector<xcb_atom_t> atomList(xcb_connection_t* connection, xcb_window_t window,
                                 xcb_atom_t property) {
    const std::unique_ptr<xcb_get_property_reply_t, ReplyDeleter> reply(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, property, XCB_ATOM_ATOM, 0, maxStateAtoms),
        nullptr));
    if (!reply || reply->type != XCB_ATOM_ATOM || reply->format != 32) {
        return {};
    }
    const auto* first = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    return {first, first + xcb_get_property_value_length(reply.get()) / 4};
}

void setAtoms(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
              xcb_atom_t type, const std::vector<xcb_atom_t>& atoms) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, type, 32,
                        static_cast<std::uint32_t>(atoms.size()), atoms.data());
}

class X11FloatingPanels final : public FloatingPanels {
public:
    X11FloatingPanels(xcb_connection_t* connection, int screenNumber)
        : m_connection(connection)
        , m_screenNumber(screenNumber) {}

    bool hasCompositor() const override {
        const xcb_atom_t selection =
            internAtom(m_connection, "_NET_WM_CM_S" + std::to_string(m_screenNumber));
        if (selection == XCB_ATOM_NONE) {
            return false;
        }
        const std::unique_ptr<xcb_get_selection_owner_reply_t, ReplyDeleter> owner(
            xcb_get_selection_owner_reply(
                m_connection, xcb_get_selection_owner(m_connection, selection), nullptr));
        return owner && owner->owner != XCB_WINDOW_NONE;
    }

    void prepareToShow(QWindow& window) override {
        const auto id = static_cast<xcb_window_t>(window.winId());
        const auto atom = [this](std::string_view name) { return internAtom(m_connection, name); };

        setAtoms(m_connection, id, atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM,
                 {atom("_NET_WM_WINDOW_TYPE_UTILITY")});
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, id, atom("_NET_WM_DESKTOP"),
                            XCB_ATOM_CARDINAL, 32, 1, &allDesktops);

        // The window manager drops the states of a window it withdraws, so they are set
        // again before every showing; states Qt or others put there are kept.
        const xcb_atom_t stateProperty = atom("_NET_WM_STATE");
        std::vector<xcb_atom_t> states = atomList(m_connection, id, stateProperty);
        for (const std::string_view name :
             {"_NET_WM_STATE_STICKY", "_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR",
              "_NET_WM_STATE_SKIP_PAGER"}) {
            const xcb_atom_t state = atom(name);
            if (std::find(states.begin(), states.end(), state) == states.end()) {
                states.push_back(state);
            }
        }
        setAtoms(m_connection, id, stateProperty, XCB_ATOM_ATOM, states);

        // A window that offers WM_TAKE_FOCUS asks to be told when the user clicks it, and
        // some window managers move the focus away from the application in use to tell it;
        // without the offer and without input, the window is one that never takes focus.
        const xcb_atom_t protocolsProperty = atom("WM_PROTOCOLS");
        std::vector<xcb_atom_t> protocols = atomList(m_connection, id, protocolsProperty);
        std::erase(protocols, atom("WM_TAKE_FOCUS"));
        setAtoms(m_connection, id, protocolsProperty, XCB_ATOM_ATOM, protocols);
        xcb_flush(m_connection);
    }

private:
    xcb_connection_t* const m_connection;
    const int m_screenNumber;
};

class NoFloatingPanels final : public FloatingPanels {
public:
    bool hasCompositor() const override { return false; }
    void prepareToShow(QWindow&) override {}
};

} // namespace

std::shared_ptr<FloatingPanels> systemFloatingPanels() {
    const auto* x11 = qGuiApp != nullptr
                          ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                          : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr || x11->display() == nullptr) {
        return std::make_shared<NoFloatingPanels>();
    }
    return std::make_shared<X11FloatingPanels>(x11->connection(), DefaultScreen(x11->display()));
}

} // namespace quorix
