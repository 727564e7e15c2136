#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

namespace quorix {

/// One address of one network interface, as the system lists them.
struct InterfaceAddress {
    QString interfaceName;
    /// The interface's IFF_* flags.
    unsigned int flags = 0;
    /// Numeric text of the address when it is IPv4; nothing for other or missing addresses.
    std::optional<QString> ipv4Address;

    bool operator==(const InterfaceAddress&) const = default;
};

namespace NetworkInterfaces {

/// Every address of every interface in the system's order; empty when the system cannot
/// list them.
std::vector<InterfaceAddress> currentAddresses();

/// The interface that carries the IPv4 default route, or nothing without one.
std::optional<QString> primaryInterfaceName();

/// The interface of the IPv4 default route in the kernel's routing table text
/// (/proc/net/route); with several, the one of lowest metric.
std::optional<QString> defaultRouteInterface(QByteArrayView routeTable);

} // namespace NetworkInterfaces
} // namespace quorix
