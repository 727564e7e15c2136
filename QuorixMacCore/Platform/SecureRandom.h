#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace quorix {

/// Fills the bytes from a cryptographically secure source; false when the source failed,
/// in which case the bytes are unspecified.
using SecureRandomSource = std::function<bool(std::span<std::uint8_t> bytes)>;

/// The operating system's secure source.
SecureRandomSource systemSecureRandomSource();

/// The general-purpose generator: the fallback when the secure source fails.
namespace GeneralRandom {
void fill(std::span<std::uint8_t> bytes);
/// A value drawn uniformly from [0, bound); bound must be positive.
std::uint32_t uniform(std::uint32_t bound);
} // namespace GeneralRandom

} // namespace quorix
