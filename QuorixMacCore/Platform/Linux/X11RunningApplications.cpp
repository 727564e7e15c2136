#include "QuorixMacCore/Platform/Linux/X11RunningApplications.h"

#include "QuorixMacCore/Platform/PlatformLogging.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <xcb/xcb.h>

namespace quorix {

namespace {

// WM_CLASS is two short names; anything longer is not one.
constexpr std::uint32_t maxClassBytes = 1024;

struct ReplyDeleter {
    void operator()(void* reply) const { std::free(reply); }
};
using PropertyReply = std::unique_ptr<xcb_get_property_reply_t, ReplyDeleter>;

struct Atoms {
    xcb_atom_t clientList = XCB_ATOM_NONE;
    xcb_atom_t pid = XCB_ATOM_NONE;
    xcb_atom_t windowType = XCB_ATOM_NONE;
    xcb_atom_t normalType = XCB_ATOM_NONE;
};

Atoms internAtoms(xcb_connection_t* connection) {
    constexpr std::array<std::string_view, 4> names{
        "_NET_CLIENT_LIST", "_NET_WM_PID", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL"};
    std::array<xcb_intern_atom_cookie_t, names.size()> cookies{};
    for (std::size_t i = 0; i < names.size(); ++i) {
        cookies[i] = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(names[i].size()),
                                     names[i].data());
    }
    std::array<xcb_atom_t, names.size()> atoms{};
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::unique_ptr<xcb_intern_atom_reply_t, ReplyDeleter> reply(
            xcb_intern_atom_reply(connection, cookies[i], nullptr));
        atoms[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    return {atoms[0], atoms[1], atoms[2], atoms[3]};
}

xcb_get_property_cookie_t askProperty(xcb_connection_t* connection, xcb_window_t window,
                                      xcb_atom_t property, xcb_atom_t type,
                                      std::uint32_t maxBytes) {
    return xcb_get_property(connection, 0, window, property, type, 0, (maxBytes + 3) / 4);
}

// The property's items of `itemBytes` each; empty when it is absent, of another type or
// format, or the window is gone (the reply then carries an error, which is dropped).
template <typename Item>
std::vector<Item> items(xcb_connection_t* connection, xcb_get_property_cookie_t cookie,
                        xcb_atom_t type) {
    xcb_generic_error_t* error = nullptr;
    const PropertyReply reply(xcb_get_property_reply(connection, cookie, &error));
    std::free(error);
    if (!reply || reply->type != type || reply->format != sizeof(Item) * 8) {
        return {};
    }
    const auto* first = static_cast<const Item*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / static_cast<int>(sizeof(Item));
    return std::vector<Item>(first, first + std::max(0, count));
}

std::optional<QString> executableOf(qint64 pid) {
    const QString target = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    if (target.isEmpty()) {
        return std::nullopt;
    }
    return target;
}

bool sameName(const QString& name, const QString& window) {
    return !window.isEmpty() && name.compare(window, Qt::CaseInsensitive) == 0;
}

const DesktopEntryApplications::Entry*
entryOf(const ClientWindow& window, const std::vector<DesktopEntryApplications::Entry>& entries,
        const std::function<std::optional<QString>(const QString&)>& resolveProgram,
        std::map<QString, std::optional<QString>>& resolved) {
    const auto firstWhere = [&entries](const auto& matches) {
        const auto found = std::find_if(entries.begin(), entries.end(), matches);
        return found == entries.end() ? nullptr : &*found;
    };
    const auto namedLikeWindow = [&window](const QString& name) {
        return sameName(name, window.className) || sameName(name, window.instanceName);
    };
    if (const auto* byID =
            firstWhere([&](const auto& entry) { return namedLikeWindow(entry.id); })) {
        return byID;
    }
    if (const auto* byClass = firstWhere([&](const auto& entry) {
            return entry.startupWMClass && namedLikeWindow(*entry.startupWMClass);
        })) {
        return byClass;
    }
    if (!window.executable) {
        return nullptr;
    }
    return firstWhere([&](const auto& entry) {
        if (!entry.program) {
            return false;
        }
        auto [place, isNew] = resolved.try_emplace(*entry.program);
        if (isNew) {
            place->second = resolveProgram(*entry.program);
        }
        return place->second == window.executable;
    });
}

} // namespace

std::optional<QString> resolvedProgramPath(const QString& program) {
    const QString path =
        QDir::isAbsolutePath(program) ? program : QStandardPaths::findExecutable(program);
    const QString canonical = path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty()) {
        return std::nullopt;
    }
    return canonical;
}

std::vector<RunningApplication>
applicationsOfWindows(const std::vector<ClientWindow>& windows,
                      const std::vector<DesktopEntryApplications::Entry>& entries,
                      const std::function<std::optional<QString>(const QString&)>& resolveProgram) {
    std::vector<RunningApplication> applications;
    std::map<QString, std::size_t> indexByKey;
    std::map<QString, std::optional<QString>> resolved;
    for (const ClientWindow& window : windows) {
        const auto* entry = entryOf(window, entries, resolveProgram, resolved);
        const QString key = entry        ? QLatin1String("entry:") + entry->id
                            : window.pid ? QStringLiteral("pid:%1").arg(*window.pid)
                                         : QLatin1String("class:") + window.className;
        const bool regular = entry != nullptr && window.isNormal;
        if (const auto known = indexByKey.find(key); known != indexByKey.end()) {
            applications[known->second].isRegular |= regular;
            continue;
        }
        indexByKey.emplace(key, applications.size());
        if (entry) {
            applications.push_back({entry->name, entry->id, entry->path, entry->icon, regular});
        } else {
            applications.push_back(
                {window.className, QString(), window.executable, std::nullopt, false});
        }
    }
    return applications;
}

X11RunningApplications::X11RunningApplications(
    std::shared_ptr<const DesktopEntryApplications> catalogue, std::string displayName)
    : m_catalogue(std::move(catalogue))
    , m_displayName(std::move(displayName)) {}

std::vector<RunningApplication> X11RunningApplications::runningApplications() const {
    const std::vector<ClientWindow> windows = clientWindows();
    if (windows.empty()) {
        return {};
    }
    return applicationsOfWindows(windows, m_catalogue->offeredEntries());
}

std::vector<ClientWindow> X11RunningApplications::clientWindows() const {
    int screenNumber = 0;
    xcb_connection_t* connection =
        xcb_connect(m_displayName.empty() ? nullptr : m_displayName.c_str(), &screenNumber);
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> owner(connection,
                                                                             xcb_disconnect);
    if (xcb_connection_has_error(connection)) {
        qCDebug(lcPlatform) << "No X display to list running applications on";
        return {};
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        return {};
    }
    const Atoms atoms = internAtoms(connection);
    const std::vector<xcb_window_t> listed =
        items<xcb_window_t>(connection,
                            askProperty(connection, screens.data->root, atoms.clientList,
                                        XCB_ATOM_WINDOW, maxClientWindows * 4),
                            XCB_ATOM_WINDOW);

    // Every question is sent before any answer is read: one round trip for all windows.
    struct Questions {
        xcb_get_property_cookie_t pid;
        xcb_get_property_cookie_t windowClass;
        xcb_get_property_cookie_t type;
    };
    std::vector<Questions> questions;
    questions.reserve(listed.size());
    for (const xcb_window_t window : listed) {
        questions.push_back(
            {askProperty(connection, window, atoms.pid, XCB_ATOM_CARDINAL, 4),
             askProperty(connection, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, maxClassBytes),
             askProperty(connection, window, atoms.windowType, XCB_ATOM_ATOM, 64 * 4)});
    }
    std::vector<ClientWindow> windows;
    for (const Questions& asked : questions) {
        const auto pid = items<std::uint32_t>(connection, asked.pid, XCB_ATOM_CARDINAL);
        const auto windowClass = items<char>(connection, asked.windowClass, XCB_ATOM_STRING);
        const auto types = items<xcb_atom_t>(connection, asked.type, XCB_ATOM_ATOM);
        if (pid.empty() && windowClass.empty()) {
            // Gone since it was listed, or a window that tells nothing about its owner.
            continue;
        }

        ClientWindow window;
        if (!pid.empty() && pid.front() > 0) {
            window.pid = pid.front();
            window.executable = executableOf(*window.pid);
        }
        const std::string names(windowClass.begin(), windowClass.end());
        const std::size_t split = names.find('\0');
        window.instanceName = QString::fromUtf8(names.substr(0, split));
        if (split != std::string::npos) {
            const std::string rest = names.substr(split + 1);
            window.className = QString::fromUtf8(rest.substr(0, rest.find('\0')));
        }
        window.isNormal =
            types.empty() || std::find(types.begin(), types.end(), atoms.normalType) != types.end();
        windows.push_back(std::move(window));
    }
    return windows;
}

std::shared_ptr<const RunningApplications> systemRunningApplications() {
    return std::make_shared<X11RunningApplications>(std::make_shared<DesktopEntryApplications>(
        DesktopEntryApplications::Configuration::fromEnvironment()));
}

} // namespace quorix
