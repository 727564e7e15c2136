#include "QuorixMacCore/Transport/BonjourTXTRecord.h"

#include "QuorixProtocol/Messages.h"

namespace quorix::BonjourTXTRecord {

std::vector<TXTRecordEntry> entries(const Fields& fields) {
    std::vector<TXTRecordEntry> record{
        {QStringLiteral("deviceType"), fields.deviceType},
        {QStringLiteral("version"), fields.version},
        {QStringLiteral("fingerprint"), fields.fingerprintSHA256.value_or(QString())},
        {QStringLiteral("security"), fields.security},
        {QStringLiteral("host"), fields.host.value_or(QString())},
        {QStringLiteral("port"),
         QString::number(fields.port.value_or(QuorixNetworkDefaults::preferredPort))},
    };
    if (!fields.pairingCode.isEmpty()) {
        record.push_back({QStringLiteral("pairingCode"), fields.pairingCode});
    }
    return record;
}

} // namespace quorix::BonjourTXTRecord
