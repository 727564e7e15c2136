#include "QuorixMacCore/Actions/VirtualKeyMap.h"

#include <QString>

#include <string>
#include <unordered_map>

namespace quorix::VirtualKeyMap {

namespace {

const std::unordered_map<std::string_view, std::uint16_t>& codesByName() {
    static const auto codes = [] {
        std::unordered_map<std::string_view, std::uint16_t> map;
        for (const Entry& entry : entries) {
            map.emplace(entry.name, entry.code);
        }
        return map;
    }();
    return codes;
}

} // namespace

std::string normalizedKeyName(std::string_view keyName) {
    const QString name = QString::fromUtf8(keyName.data(), static_cast<qsizetype>(keyName.size()));
    return name.trimmed().toLower().toStdString();
}

Expected<std::uint16_t, ExecError> code(std::string_view keyName) {
    const auto& codes = codesByName();
    const auto found = codes.find(normalizedKeyName(keyName));
    if (found == codes.end()) {
        return ExecError::unknownKey(std::string(keyName));
    }
    return found->second;
}

} // namespace quorix::VirtualKeyMap
