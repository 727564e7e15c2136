#include "QuorixMacCore/Pairing/PairingService.h"

#include "QuorixMacCore/Pairing/PairingLogging.h"
#include "QuorixMacCore/Pairing/SecureTokenGenerator.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace quorix {

namespace {

constexpr std::uint32_t codeModulus = 1'000'000;

// Durations beyond a century are treated as a century, so that a careless configuration
// cannot overflow the clock's integer nanoseconds.
constexpr double longestDurationSeconds = 100.0 * 365 * 24 * 60 * 60;

Date::duration seconds(double value) {
    if (std::isnan(value)) {
        return Date::duration::zero();
    }
    const double clamped = std::clamp(value, -longestDurationSeconds, longestDurationSeconds);
    return std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(clamped));
}

// Looks at every byte of the given code whatever it holds, so the time taken tells an
// attacker nothing about how much of the active code was right.
bool constantTimeEquals(std::string_view active, std::string_view given) {
    if (active.empty()) {
        return given.empty();
    }
    unsigned int difference = active.size() == given.size() ? 0U : 1U;
    for (std::size_t i = 0; i < given.size(); ++i) {
        difference |= static_cast<unsigned char>(given[i]) ^
                      static_cast<unsigned char>(active[i % active.size()]);
    }
    return difference == 0;
}

} // namespace

PairingService::TokenGenerator PairingService::defaultTokenGenerator() {
    return [] { return SecureTokenGenerator::makeToken(); };
}

PairingService::PairingService(PairingConfiguration configuration,
                               std::shared_ptr<PairingTokenStore> tokenStore, Clock now,
                               TokenGenerator tokenGenerator, SecureRandomSource randomSource)
    : m_configuration(configuration)
    , m_tokenStore(std::move(tokenStore))
    , m_now(std::move(now))
    , m_tokenGenerator(std::move(tokenGenerator))
    , m_randomSource(std::move(randomSource)) {}

std::string PairingService::makeCode() const {
    std::uint32_t value = 0;
    std::array<std::uint8_t, sizeof value> bytes{};
    if (m_randomSource && m_randomSource(bytes)) {
        std::memcpy(&value, bytes.data(), sizeof value);
    } else {
        qCWarning(lcPairing) << "The secure random source failed; using the general generator";
        value = GeneralRandom::uniform(codeModulus);
    }
    std::array<char, codeLength + 1> text{};
    std::snprintf(text.data(), text.size(), "%06u", static_cast<unsigned>(value % codeModulus));
    return std::string(text.data(), codeLength);
}

std::string PairingService::issueNewCode() {
    std::scoped_lock lock(m_mutex);
    std::string code = makeCode();
    m_activeCode = code;
    m_activeCodeExpiresAt = m_now() + seconds(m_configuration.codeLifetime);
    m_failedAttempts = 0;
    m_lockedUntil.reset();
    return code;
}

Expected<std::string, PairingError> PairingService::verify(std::string_view code) {
    if (const std::optional<PairingError> refused = useUpCode(code)) {
        return *refused;
    }
    // Made and saved outside the lock: the stores write files, and a code issued on the
    // main thread meanwhile must not wait for the disk. Saved before the phone hears of
    // it, so that a token a phone holds is always stored.
    std::string token = m_tokenGenerator();
    m_tokenStore->save(token);
    return token;
}

std::optional<PairingError> PairingService::useUpCode(std::string_view code) {
    std::scoped_lock lock(m_mutex);
    const Date now = m_now();
    if (m_lockedUntil && *m_lockedUntil > now) {
        return PairingError::locked(*m_lockedUntil);
    }
    if (!m_activeCode || !m_activeCodeExpiresAt) {
        return PairingError::expiredCode();
    }
    if (*m_activeCodeExpiresAt <= now) {
        m_activeCode.reset();
        m_activeCodeExpiresAt.reset();
        return PairingError::expiredCode();
    }
    if (constantTimeEquals(*m_activeCode, code)) {
        // A code pairs one phone only: a second phone racing with the same code finds
        // none left.
        m_activeCode.reset();
        m_activeCodeExpiresAt.reset();
        m_failedAttempts = 0;
        return std::nullopt;
    }
    ++m_failedAttempts;
    if (m_failedAttempts >= m_configuration.maxFailedAttempts) {
        m_lockedUntil = now + seconds(m_configuration.lockoutDuration);
        m_activeCode.reset();
        m_activeCodeExpiresAt.reset();
        return PairingError::locked(*m_lockedUntil);
    }
    return PairingError::invalidCode();
}

bool PairingService::resume(std::string_view token) const {
    return m_tokenStore->contains(token);
}

} // namespace quorix
