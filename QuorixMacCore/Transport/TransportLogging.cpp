#include "QuorixMacCore/Transport/TransportLogging.h"

namespace quorix {
Q_LOGGING_CATEGORY(lcTransport, "quorix.transport")
} // namespace quorix
