#include "QuorixMacCore/Control/ControlLogging.h"

namespace quorix {
Q_LOGGING_CATEGORY(lcControl, "quorix.mac.control")
} // namespace quorix
