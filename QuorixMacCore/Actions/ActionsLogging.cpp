#include "QuorixMacCore/Actions/ActionsLogging.h"

namespace quorix {
Q_LOGGING_CATEGORY(lcActions, "quorix.actions")
} // namespace quorix
