#include "QuorixMacApp/BuildInfo.h"

namespace quorix::BuildInfo {

// Stamped on this file alone, so a new build number recompiles nothing else.
const QLatin1StringView shortVersion{KESTRANE_SHORT_VERSION};
const QLatin1StringView buildNumber{KESTRANE_BUILD_NUMBER};

} // namespace quorix::BuildInfo
