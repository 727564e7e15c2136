#pragma once

#include "QuorixMacCore/Pairing/PairingConfiguration.h"
#include "QuorixMacCore/Pairing/PairingError.h"
#include "QuorixMacCore/Pairing/PairingTokenStore.h"
#include "QuorixMacCore/Platform/SecureRandom.h"
#include "QuorixProtocol/Foundation.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace quorix {

/// Decides whether a phone may pair: holds at most one six-digit code, checks codes, locks
/// pairing out after repeated wrong codes, and hands out a token for a correct one. Safe to
/// call from several threads: issuing a code and checking one each run wholly under one
/// lock, which is never held while a token is saved.
class PairingService {
public:
    using Clock = std::function<Date()>;
    using TokenGenerator = std::function<std::string()>;

    /// Digits of every code.
    static constexpr int codeLength = 6;

    /// `randomSource` feeds the codes; the general generator stands in when it fails.
    PairingService(PairingConfiguration configuration,
                   std::shared_ptr<PairingTokenStore> tokenStore, Clock now = currentDate,
                   TokenGenerator tokenGenerator = defaultTokenGenerator(),
                   SecureRandomSource randomSource = systemSecureRandomSource());

    const PairingConfiguration& configuration() const { return m_configuration; }

    /// A new code, made the active one; it also ends any lock-out in force.
    std::string issueNewCode();

    /// The new token for the active code (which is then used up), or why the code was
    /// refused. The comparison takes the same time whatever code is given. The token is in
    /// the store when this returns; the token generator and the store may be called on
    /// several threads at once.
    Expected<std::string, PairingError> verify(std::string_view code);

    /// Whether the token store knows the token; expiry and lock-out do not apply.
    bool resume(std::string_view token) const;

private:
    static TokenGenerator defaultTokenGenerator();
    std::string makeCode() const;
    /// Checks `code` against the active one and uses it up when it matches; why not, else.
    std::optional<PairingError> useUpCode(std::string_view code);

    const PairingConfiguration m_configuration;
    const std::shared_ptr<PairingTokenStore> m_tokenStore;
    const Clock m_now;
    const TokenGenerator m_tokenGenerator;
    const SecureRandomSource m_randomSource;

    std::mutex m_mutex;
    std::optional<std::string> m_activeCode;
    std::optional<Date> m_activeCodeExpiresAt;
    int m_failedAttempts = 0;
    std::optional<Date> m_lockedUntil;
};

} // namespace quorix
