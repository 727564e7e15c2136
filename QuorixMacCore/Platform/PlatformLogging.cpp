#include "QuorixMacCore/Platform/PlatformLogging.h"

namespace quorix {
Q_LOGGING_CATEGORY(lcPlatform, "quorix.platform")
} // namespace quorix
