#pragma once

#include <cstddef>

namespace quorix::testing {

/// The memory the process holds now, in bytes: its resident memory after the heap has given
/// back what it can. Under AddressSanitizer, the bytes its allocator has handed out and not
/// had back instead: freed memory waits in its quarantine there, so resident memory would
/// not fall.
std::size_t heldMemoryBytes();

/// What a test may leave held beyond where it started.
inline constexpr std::size_t heldMemorySlack = 10 * 1024 * 1024;

} // namespace quorix::testing
