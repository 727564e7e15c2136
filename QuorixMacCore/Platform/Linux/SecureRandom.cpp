#include "QuorixMacCore/Platform/SecureRandom.h"

#include "QuorixMacCore/Platform/PlatformLogging.h"

#include <cerrno>
#include <sys/random.h>

namespace quorix {

namespace {

bool fillFromKernel(std::span<std::uint8_t> bytes) {
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        // Requests above 256 bytes may be answered in part, and a signal may interrupt the
        // call before the pool is ready: both simply continue.
        const ssize_t got = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            qCWarning(lcPlatform) << "getrandom failed, errno" << errno;
            return false;
        }
        filled += static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace

SecureRandomSource systemSecureRandomSource() {
    return fillFromKernel;
}

} // namespace quorix
