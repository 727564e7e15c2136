#include "QuorixMacCore/Transport/LocalNetworkAddressProvider.h"

#include "QuorixMacCore/Platform/NetworkInterfaces.h"

#include <QStringList>

#include <gtest/gtest.h>
#include <net/if.h>

using namespace quorix;

namespace {

constexpr unsigned int up = IFF_UP | IFF_RUNNING;
constexpr unsigned int loopback = IFF_UP | IFF_RUNNING | IFF_LOOPBACK;

/// Interfaces as "name flags [address]", separated by commas; the flags are "up", "lo" (a
/// loopback interface that is up) or "down".
std::vector<InterfaceAddress> interfaces(const char* list) {
    std::vector<InterfaceAddress> result;
    for (const QString& each : QString::fromLatin1(list).split(u',', Qt::SkipEmptyParts)) {
        const QStringList parts = each.split(u' ', Qt::SkipEmptyParts);
        const unsigned int flags = parts[1] == u"lo" ? loopback : parts[1] == u"up" ? up : 0;
        result.push_back(
            {parts[0], flags, parts.value(2).isEmpty() ? std::nullopt : std::optional(parts[2])});
    }
    return result;
}

/// Nothing for an empty text.
std::optional<QString> optional(const char* text) {
    return *text ? std::optional(QString::fromLatin1(text)) : std::nullopt;
}

const QByteArray routeHeader =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

} // namespace

TEST(LocalNetworkAddressProvider, prefersThePrimaryInterfaceElseTheFirstNonLoopbackAddress) {
    struct Case {
        const char* interfaces;
        const char* primary;
        const char* expected;
    };
    const Case cases[] = {
        {"lo lo 127.0.0.1, wlan5 up 10.0.0.2, eth0 up 192.168.1.20", "", "10.0.0.2"},
        {"eth0 up, wlan5 up 10.0.0.2", "eth0", "10.0.0.2"},
        {"lo lo 127.0.0.1", "lo", ""},
        // Loopback is known by its flag, not its name.
        {"eth9 lo 127.0.0.2, eth1 up 172.16.0.4", "", "172.16.0.4"},
        {"eth0 down 192.168.1.20, wlan0 up 10.1.1.1", "eth0", "10.1.1.1"},
        {"eth1 up 10.0.0.9, eth0 up 192.168.1.20, eth0 up 192.168.1.21", "eth0", "192.168.1.20"},
        {"", "eth0", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LocalNetworkAddressProvider::chooseIPv4Address(interfaces(c.interfaces),
                                                                 optional(c.primary)),
                  optional(c.expected))
            << c.interfaces;
    }
}

TEST(LocalNetworkAddressProvider, findsTheDefaultRouteOfLowestMetric) {
    struct Case {
        const char* name;
        QByteArray table;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"lowest metric wins",
         routeHeader + "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
                       "eth1\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n",
         QStringLiteral("eth1")},
        {"no default route",
         routeHeader + "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n",
         std::nullopt},
        {"default route not up",
         routeHeader + "eth0\t00000000\t0101A8C0\t0002\t0\t0\t100\t00000000\t0\t0\t0\n",
         std::nullopt},
        {"malformed lines ignored",
         routeHeader + "garbage\n\neth0\t00000000\t0101A8C0\t0003\t0\t0\tzz\t00000000\t0\t0\t0\n"
                       "eth2\t00000000\t0101A8C0\t0003\t0\t0\t500\t00000000\t0\t0\t0\n",
         QStringLiteral("eth2")},
        {"empty", QByteArray(), std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NetworkInterfaces::defaultRouteInterface(c.table), c.expected) << c.name;
    }
}
