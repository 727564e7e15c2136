#include "QuorixMacCore/Platform/NetworkInterfaces.h"

#include "QuorixMacCore/Platform/PlatformLogging.h"

#include <QFile>
#include <QList>

#include <array>
#include <ifaddrs.h>
#include <memory>
#include <net/route.h>
#include <netdb.h>
#include <netinet/in.h>

namespace quorix::NetworkInterfaces {

namespace {

constexpr QLatin1StringView routeTablePath{"/proc/net/route"};
// /proc files report a size of zero, so they are read up to a bound instead.
constexpr qint64 maxRouteTableBytes = qint64{1024} * 1024;
constexpr std::size_t numericHostBufferSize = 1025;

// Columns of /proc/net/route.
constexpr qsizetype interfaceColumn = 0;
constexpr qsizetype destinationColumn = 1;
constexpr qsizetype flagsColumn = 3;
constexpr qsizetype metricColumn = 6;
constexpr qsizetype maskColumn = 7;

} // namespace

std::vector<InterfaceAddress> currentAddresses() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        qCWarning(lcPlatform) << "getifaddrs failed, errno" << errno;
        return {};
    }
    const std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owner(list, &::freeifaddrs);
    std::vector<InterfaceAddress> addresses;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        InterfaceAddress address{QString::fromUtf8(entry->ifa_name), entry->ifa_flags, {}};
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET) {
            std::array<char, numericHostBufferSize> host{};
            if (::getnameinfo(entry->ifa_addr, sizeof(sockaddr_in), host.data(), host.size(),
                              nullptr, 0, NI_NUMERICHOST) == 0) {
                address.ipv4Address = QString::fromLatin1(host.data());
            }
        }
        addresses.push_back(std::move(address));
    }
    return addresses;
}

std::optional<QString> defaultRouteInterface(QByteArrayView routeTable) {
    std::optional<QString> best;
    std::uint64_t bestMetric = 0;
    const QList<QByteArray> lines = routeTable.toByteArray().split('\n');
    // The first line names the columns.
    for (qsizetype index = 1; index < lines.size(); ++index) {
        const QList<QByteArray> columns = lines[index].simplified().split(' ');
        if (columns.size() <= maskColumn) {
            continue;
        }
        bool valid = true;
        bool ok = false;
        const std::uint64_t destination = columns[destinationColumn].toULongLong(&ok, 16);
        valid = valid && ok;
        const std::uint64_t mask = columns[maskColumn].toULongLong(&ok, 16);
        valid = valid && ok;
        const std::uint64_t flags = columns[flagsColumn].toULongLong(&ok, 16);
        valid = valid && ok;
        const std::uint64_t metric = columns[metricColumn].toULongLong(&ok, 10);
        valid = valid && ok;
        if (!valid || destination != 0 || mask != 0 || (flags & RTF_UP) == 0) {
            continue;
        }
        if (!best || metric < bestMetric) {
            best = QString::fromUtf8(columns[interfaceColumn]);
            bestMetric = metric;
        }
    }
    return best;
}

std::optional<QString> primaryInterfaceName() {
    QFile file(routeTablePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return defaultRouteInterface(file.read(maxRouteTableBytes));
}

} // namespace quorix::NetworkInterfaces
