#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace quorix {

/// What a file the user picked as an application says about itself.
struct ApplicationFile {
    /// The name to show: the entry's name, else the file name (without ".desktop").
    QString name;
    /// The desktop-entry ID when the file is an entry in one of the installed-application
    /// folders; empty otherwise.
    QString bundleID;
    /// An icon theme name or an absolute file path; nothing when there is none.
    std::optional<QString> iconName;

    bool operator==(const ApplicationFile&) const = default;
};

/// Describes application files (desktop entries, executables) chosen in a file dialog.
/// Safe from any thread; reads the file, so callers keep it off the main thread.
class ApplicationFiles {
public:
    virtual ~ApplicationFiles() = default;

    /// A desktop entry by its contents; any other file, or an entry that cannot be read,
    /// by its file name with a generic icon.
    virtual ApplicationFile describe(const QString& path) const = 0;
};

/// Application files as the user's desktop reads them.
std::shared_ptr<const ApplicationFiles> systemApplicationFiles();

} // namespace quorix
