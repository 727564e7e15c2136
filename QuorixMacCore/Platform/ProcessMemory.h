#pragma once

namespace quorix {

/// Gives the pages of freed memory back to the system. The allocator keeps them for reuse
/// otherwise, so after a few layouts of megabytes a process would hold hundreds of megabytes
/// it no longer uses. Takes a few milliseconds for a large heap; call it off the threads
/// that must answer quickly.
void returnFreedMemoryToTheSystem();

} // namespace quorix
