#include "QuorixMacCore/Transport/LocalNetworkAddressProvider.h"

#include <net/if.h>

namespace quorix::LocalNetworkAddressProvider {

std::optional<QString> chooseIPv4Address(std::span<const InterfaceAddress> addresses,
                                         const std::optional<QString>& primaryInterface) {
    std::optional<QString> first;
    for (const InterfaceAddress& entry : addresses) {
        // A phone can reach neither the loopback interface nor one that is down.
        if (!entry.ipv4Address || (entry.flags & IFF_LOOPBACK) != 0 ||
            (entry.flags & IFF_UP) == 0) {
            continue;
        }
        if (primaryInterface && entry.interfaceName == *primaryInterface) {
            return entry.ipv4Address;
        }
        if (!first) {
            first = entry.ipv4Address;
        }
    }
    return first;
}

std::optional<QString> preferredIPv4Address() {
    const std::vector<InterfaceAddress> addresses = NetworkInterfaces::currentAddresses();
    if (addresses.empty()) {
        return std::nullopt;
    }
    return chooseIPv4Address(addresses, NetworkInterfaces::primaryInterfaceName());
}

} // namespace quorix::LocalNetworkAddressProvider
