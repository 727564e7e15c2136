#include "QuorixMacCore/Actions/VirtualKeyMap.h"

#include "QuorixMacCore/Actions/TextNormalization.h"

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
    return lowercased(trimmedWhitespaceAndNewlines(keyName));
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
