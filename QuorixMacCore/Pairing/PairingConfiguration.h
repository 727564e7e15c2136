#pragma once

namespace quorix {

/// How long codes live and when wrong codes lock pairing out. No defaults: the creator
/// chooses every value.
struct PairingConfiguration {
    /// Seconds an issued code stays valid.
    double codeLifetime = 0;
    /// Wrong codes in a row that start a lock-out.
    int maxFailedAttempts = 0;
    /// Seconds a lock-out lasts.
    double lockoutDuration = 0;

    bool operator==(const PairingConfiguration&) const = default;
};

} // namespace quorix
