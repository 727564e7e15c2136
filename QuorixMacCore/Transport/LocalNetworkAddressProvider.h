#pragma once

#include "QuorixMacCore/Platform/NetworkInterfaces.h"

#include <QString>

#include <optional>
#include <span>

namespace quorix::LocalNetworkAddressProvider {

/// The IPv4 address phones are told to connect to: that of the primary interface (the one
/// carrying the default route), else the first non-loopback IPv4 address; nothing when
/// there is none.
std::optional<QString> preferredIPv4Address();

/// The choice behind `preferredIPv4Address`, over the system's list in its order: entries
/// without an IPv4 address, of a loopback interface or of an interface that is down are
/// skipped; the first address of `primaryInterface` wins, else the first one kept.
std::optional<QString> chooseIPv4Address(std::span<const InterfaceAddress> addresses,
                                         const std::optional<QString>& primaryInterface);

} // namespace quorix::LocalNetworkAddressProvider
