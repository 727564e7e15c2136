#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace quorix::testing {

/// A service as another machine's browser sees it.
struct BrowsedService {
    QString name;
    QString type;
    quint16 port = 0;
    /// Key to value; avahi-browse does not keep the record's key order.
    std::map<QString, QString> txt;
};

/// A private D-Bus system bus and avahi-daemon publishing on loopback only, with every
/// file they make inside temporary folders; the destructor stops both daemons by process
/// id.
///
/// libdbus reads DBUS_SYSTEM_BUS_ADDRESS once per process, so every fixture of a test
/// process listens at the same socket, `systemBusAddress()`: a test that makes DNS-SD
/// calls must set it up (through this fixture or by calling it) before its first call.
/// While no fixture runs, nothing listens there, which is how tests meet a machine
/// without a responder.
///
/// avahi-daemon keeps its pid file and socket in a fixed run directory and refuses to
/// start while another daemon holds that pid file, so it runs in a private mount
/// namespace in which the temporary folder is mounted over /run (`unshare -m`, or
/// `unshare -rm` without root).
class PrivateDNSSDDaemons {
public:
    PrivateDNSSDDaemons();
    ~PrivateDNSSDDaemons();
    PrivateDNSSDDaemons(const PrivateDNSSDDaemons&) = delete;
    PrivateDNSSDDaemons& operator=(const PrivateDNSSDDaemons&) = delete;

    /// Starts the bus, then avahi-daemon, and waits until avahi-daemon is ready. Nothing
    /// on success, else what went wrong (with the daemon's own output).
    std::optional<QString> start();

    /// Stops avahi-daemon only, leaving the bus running.
    void stopAvahi();

    /// The services of `type` that avahi-browse finds and resolves now; pumps the
    /// calling thread's event loop while it runs.
    std::vector<BrowsedService> browse(const QString& type) const;

    /// Browses again and again until `accept` holds for the list or `timeout` passes;
    /// returns the last list.
    std::vector<BrowsedService>
    browseUntil(const QString& type,
                const std::function<bool(const std::vector<BrowsedService>&)>& accept,
                std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;

    /// Points this process's DBUS_SYSTEM_BUS_ADDRESS at the private bus socket, made
    /// in a temporary folder of its own on the first call, and returns the address.
    static QByteArray systemBusAddress();

private:
    std::optional<QString> startBus();
    std::optional<QString> startAvahi();
    void stopBus();

    QTemporaryDir m_directory;
    QProcess m_bus;
    QProcess m_avahi;
    // Held while the daemons run: two responders on loopback claim the same address
    // records and rename their hosts for ever, so test processes take turns.
    int m_turnLock = -1;
};

/// The service of that instance name among those browsed, if it is there.
std::optional<BrowsedService> findService(const std::vector<BrowsedService>& services,
                                          const QString& name);

} // namespace quorix::testing
