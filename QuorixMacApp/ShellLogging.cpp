#include "QuorixMacApp/ShellLogging.h"

namespace quorix {
Q_LOGGING_CATEGORY(lcShell, "kestrane.shell")
} // namespace quorix
