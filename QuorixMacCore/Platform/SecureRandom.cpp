#include "QuorixMacCore/Platform/SecureRandom.h"

#include <QRandomGenerator>

namespace quorix::GeneralRandom {

void fill(std::span<std::uint8_t> bytes) {
    for (std::uint8_t& byte : bytes) {
        byte = static_cast<std::uint8_t>(QRandomGenerator::global()->bounded(256U));
    }
}

std::uint32_t uniform(std::uint32_t bound) {
    return QRandomGenerator::global()->bounded(bound);
}

} // namespace quorix::GeneralRandom
