#pragma once

#include "QuorixMacCore/Platform/SecureRandom.h"

#include <string>

namespace quorix::SecureTokenGenerator {

/// Random bytes behind each token.
inline constexpr std::size_t tokenByteCount = 32;
/// Characters of each token.
inline constexpr std::size_t tokenLength = 43;
static_assert((tokenByteCount * 4 + 2) / 3 == tokenLength, "unpadded Base64 length");

/// A new token: 32 random bytes as URL-safe Base64 without padding (43 characters of
/// A-Z, a-z, 0-9, "-" and "_"). Falls back to the general generator when the secure
/// source fails.
std::string makeToken();
std::string makeToken(const SecureRandomSource& source);

} // namespace quorix::SecureTokenGenerator
