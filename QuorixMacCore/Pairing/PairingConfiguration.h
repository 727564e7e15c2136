#pragma once

namespace quorix {

/// How long codes live and when wrong codes lock pairing out. No defaults: the creator
/// chooses every value, or takes `standard`.
struct PairingConfiguration {
    /// What every receiver runs with: codes live 10 minutes; 3 wrong codes in a row lock
    /// pairing out for 5 minutes.
    static const PairingConfiguration standard;

    /// Seconds an issued code stays valid.
    double codeLifetime = 0;
    /// Wrong codes in a row that start a lock-out.
    int maxFailedAttempts = 0;
    /// Seconds a lock-out lasts.
    double lockoutDuration = 0;

    bool operator==(const PairingConfiguration&) const = default;
};

inline constexpr PairingConfiguration PairingConfiguration::standard{600, 3, 300};

} // namespace quorix
