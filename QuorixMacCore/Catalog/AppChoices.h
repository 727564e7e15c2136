#pragma once

#include "QuorixMacCore/Platform/ApplicationFiles.h"
#include "QuorixMacCore/Platform/RunningApplications.h"
#include "QuorixProtocol/Foundation.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace quorix {

/// The longer side of the icons stored for a running application or a chosen file.
inline constexpr int chosenAppIconPixelSize = 512;

/// A running application offered as a button's target.
struct RunningAppChoice {
    /// The bundle id, else the path.
    std::string id;
    std::string name;
    /// May be empty.
    std::string bundleID;
    std::optional<std::string> fallbackPath;
    /// Stands in for the file icon of the application bundle.
    std::optional<QString> iconName;

    bool operator==(const RunningAppChoice&) const = default;
};

/// The regular applications among `applications` that have a name and a bundle id or a
/// path, sorted by name (case-insensitive, for the POSIX locale `localeName`).
std::vector<RunningAppChoice> runningAppChoices(const std::vector<RunningApplication>& applications,
                                                const QString& localeName);

/// The application's icon as PNG of at most `chosenAppIconPixelSize`; nothing when it has
/// none. Renders, so callers keep it off the main thread.
std::optional<Bytes> runningAppIconData(const RunningAppChoice& choice);

/// An application file chosen in a file dialog, as a button's target.
struct FileSystemAppChoice {
    std::string name;
    /// May be empty.
    std::string bundleID;
    /// The chosen file.
    std::string fallbackPath;
    /// PNG of at most `chosenAppIconPixelSize`.
    std::optional<Bytes> iconData;

    /// Describes the file at `path` through `files` and renders its icon. Reads and
    /// renders, so callers keep it off the main thread.
    static FileSystemAppChoice fromPath(const QString& path, const ApplicationFiles& files);

    bool operator==(const FileSystemAppChoice&) const = default;
};

} // namespace quorix
