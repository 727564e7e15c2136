#pragma once

#include "QuorixProtocol/Foundation.h"

#include <optional>

namespace quorix {

/// Why a pairing code was refused. Sessions map each case to the wire reason of the same name.
struct PairingError {
    enum class Kind {
        /// A lock-out is in force, or the wrong code just used up the allowed attempts.
        locked,
        /// No code is active, or the active code ran out.
        expiredCode,
        /// A code is active and unexpired but differs from the one given.
        invalidCode,
    };

    Kind kind = Kind::expiredCode;
    /// When the lock-out ends; set for `locked` only.
    std::optional<Date> until;

    static PairingError locked(Date lockedUntil) { return {Kind::locked, lockedUntil}; }
    static PairingError expiredCode() { return {Kind::expiredCode, std::nullopt}; }
    static PairingError invalidCode() { return {Kind::invalidCode, std::nullopt}; }

    bool operator==(const PairingError&) const = default;
};

} // namespace quorix
