#pragma once

#include <QLatin1StringView>

/// What the build stamped into the program when it was configured.
namespace quorix::BuildInfo {

/// The project's version ("0.1.0").
extern const QLatin1StringView shortVersion;
/// The number of commits in the source's history, empty when it was not built from a
/// repository.
extern const QLatin1StringView buildNumber;

} // namespace quorix::BuildInfo
