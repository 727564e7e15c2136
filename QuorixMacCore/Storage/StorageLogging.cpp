#include "QuorixMacCore/Storage/StorageLogging.h"

namespace quorix {
Q_LOGGING_CATEGORY(lcStorage, "quorix.mac.storage")
} // namespace quorix
