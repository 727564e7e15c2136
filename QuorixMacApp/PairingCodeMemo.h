#pragma once

#include "QuorixMacCore/Platform/ApplicationDirectories.h"

#include <QString>

#include <optional>

namespace quorix::PairingCodeMemo {

inline constexpr QLatin1StringView fileName{"pairing-code.txt"};

/// The memo's text for `code`, without a final line feed.
QString text(const QString& code);

/// Where the memo goes: "pairing-code.txt" in the program's folder below Application
/// Support; nothing when the system reports no Application Support directory.
std::optional<QString> filePath(const ApplicationDirectories& directories);

/// Replaces the memo atomically with the text for `code`, readable by the user alone,
/// since anyone who reads the code can pair. Writes nothing for an empty code; failures
/// are dropped. The path written, or nothing.
std::optional<QString> write(const ApplicationDirectories& directories, const QString& code);

} // namespace quorix::PairingCodeMemo
