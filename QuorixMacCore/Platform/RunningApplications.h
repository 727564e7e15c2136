#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace quorix {

/// An application running now, as the desktop describes it.
struct RunningApplication {
    /// The name the desktop shows for it, in the configured locale; empty when it has none.
    QString name;
    /// The desktop-entry ID standing in for a bundle identifier; empty when no installed
    /// entry describes the application.
    QString bundleID;
    /// What stands in for the application bundle: its desktop entry file, else its
    /// executable.
    std::optional<QString> path;
    /// The entry's icon, as an icon theme name or an absolute file path.
    std::optional<QString> iconName;
    /// Whether it is an application the user works with: it has an ordinary window and an
    /// entry the desktop shows in its menus (background helpers, docks and panels are not).
    bool isRegular = false;

    bool operator==(const RunningApplication&) const = default;
};

/// The applications that have windows on the desktop now. Safe from any thread; every
/// call asks the desktop afresh and blocks while it does, so callers keep it off the main
/// thread.
class RunningApplications {
public:
    virtual ~RunningApplications() = default;

    /// One entry per application, in no particular order; empty when the desktop cannot
    /// be asked.
    virtual std::vector<RunningApplication> runningApplications() const = 0;

    /// The POSIX locale the names are in, for sorting them; empty or "C" for untranslated
    /// names.
    virtual QString messagesLocale() const = 0;
};

/// The applications on the display the program runs on.
std::shared_ptr<const RunningApplications> systemRunningApplications();

} // namespace quorix
