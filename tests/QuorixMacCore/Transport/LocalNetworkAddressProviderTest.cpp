#include "QuorixMacCore/Transport/LocalNetworkAddressProvider.h"

#include "QuorixMacCore/Platform/NetworkInterfaces.h"

#include <gtest/gtest.h>
#include <net/if.h>

using namespace quorix;

namespace {

constexpr unsigned int up = IFF_UP | IFF_RUNNING;
constexpr unsigned int loopback = IFF_UP | IFF_RUNNING | IFF_LOOPBACK;

InterfaceAddress entry(const char* name, unsigned int flags, const char* ipv4 = nullptr) {
    InterfaceAddress address{QString::fromLatin1(name), flags, std::nullopt};
    if (ipv4 != nullptr) {
        address.ipv4Address = QString::fromLatin1(ipv4);
    }
    return address;
}

const QByteArray routeHeader =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

} // namespace

TEST(LocalNetworkAddressProvider, prefersThePrimaryInterfaceElseTheFirstNonLoopbackAddress) {
    const std::optional<QString> none;
    struct Case {
        const char* name;
        std::vector<InterfaceAddress> addresses;
        std::optional<QString> primary;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"no primary interface",
         {entry("lo", loopback, "127.0.0.1"), entry("wlan5", up, "10.0.0.2"),
          entry("eth0", up, "192.168.1.20")},
         none,
         QStringLiteral("10.0.0.2")},
        {"primary without IPv4",
         {entry("eth0", up), entry("wlan5", up, "10.0.0.2")},
         QStringLiteral("eth0"),
         QStringLiteral("10.0.0.2")},
        {"only loopback", {entry("lo", loopback, "127.0.0.1")}, QStringLiteral("lo"), none},
        {"loopback known by its flag, not its name",
         {entry("eth9", loopback, "127.0.0.2"), entry("eth1", up, "172.16.0.4")},
         none,
         QStringLiteral("172.16.0.4")},
        {"interface down",
         {entry("eth0", 0, "192.168.1.20"), entry("wlan0", up, "10.1.1.1")},
         QStringLiteral("eth0"),
         QStringLiteral("10.1.1.1")},
        {"first address of the primary interface",
         {entry("eth1", up, "10.0.0.9"), entry("eth0", up, "192.168.1.20"),
          entry("eth0", up, "192.168.1.21")},
         QStringLiteral("eth0"),
         QStringLiteral("192.168.1.20")},
        {"empty list", {}, QStringLiteral("eth0"), none},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LocalNetworkAddressProvider::chooseIPv4Address(c.addresses, c.primary),
                  c.expected)
            << c.name;
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
