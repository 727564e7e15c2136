#pragma once

#include "QuorixMacCore/Platform/Linux/DesktopEntryApplications.h"
#include "QuorixMacCore/Platform/RunningApplications.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorix {

/// One top-level client window as the window manager lists it.
struct ClientWindow {
    /// The process that says it owns the window (_NET_WM_PID).
    std::optional<qint64> pid;
    /// The two strings of WM_CLASS.
    QString instanceName;
    QString className;
    /// Whether the window is an ordinary one: no _NET_WM_WINDOW_TYPE, or one that lists
    /// the normal type.
    bool isNormal = true;
    /// The process's executable, when it can be read.
    std::optional<QString> executable;

    bool operator==(const ClientWindow&) const = default;
};

/// The absolute, symlink-free path of the program a desktop entry starts, looking a bare
/// name up in PATH; nothing when it cannot be found.
std::optional<QString> resolvedProgramPath(const QString& program);

/// The applications behind the windows, one per desktop entry (or per process for windows
/// no entry describes), in the order their first window is listed. A window belongs to the
/// first offered entry whose ID equals its class or instance name (ignoring case), else
/// whose StartupWMClass does, else whose program (resolved by `resolveProgram`) is the
/// window's executable. An application is regular when one of its windows is ordinary and
/// an entry describes it.
std::vector<RunningApplication>
applicationsOfWindows(const std::vector<ClientWindow>& windows,
                      const std::vector<DesktopEntryApplications::Entry>& entries,
                      const std::function<std::optional<QString>(const QString&)>& resolveProgram =
                          resolvedProgramPath);

/// Running applications as the windows that the window manager lists on the root window
/// of an X display (_NET_CLIENT_LIST), described by the installed desktop entries.
class X11RunningApplications final : public RunningApplications {
public:
    /// More client windows than this are not read: no desktop has that many, and the list
    /// comes from a property anyone may write.
    static constexpr std::uint32_t maxClientWindows = 4096;

    /// Asks the named display (":1"); an empty name means the one in DISPLAY.
    explicit X11RunningApplications(std::shared_ptr<const DesktopEntryApplications> catalogue,
                                    std::string displayName = {});

    std::vector<RunningApplication> runningApplications() const override;
    QString messagesLocale() const override { return m_catalogue->messagesLocale(); }

private:
    /// The listed client windows; empty when the display cannot be reached or no window
    /// manager lists its windows there.
    std::vector<ClientWindow> clientWindows() const;

    const std::shared_ptr<const DesktopEntryApplications> m_catalogue;
    const std::string m_displayName;
};

} // namespace quorix
