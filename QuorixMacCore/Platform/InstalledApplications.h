#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace quorix {

/// One application the desktop offers in its menus.
struct InstalledApplication {
    /// Stands in for a bundle identifier.
    QString id;
    /// The name shown for it, in the configured locale.
    QString name;

    bool operator==(const InstalledApplication&) const = default;
};

/// Where the desktop lists its installed applications. Safe from any thread; every call
/// reads the system afresh.
class InstalledApplications {
public:
    virtual ~InstalledApplications() = default;

    /// The applications the desktop shows in its menus, in no particular order.
    virtual std::vector<InstalledApplication> offeredApplications() const = 0;

    /// The icon of the application with that ID, as an icon theme name or an absolute
    /// file path; nothing when no installed application has that ID or it names no icon.
    virtual std::optional<QString> iconName(const QString& id) const = 0;

    /// The POSIX locale the names are in ("ja_JP.UTF-8"), for sorting them; empty or "C"
    /// for untranslated names.
    virtual QString messagesLocale() const = 0;
};

/// The applications installed for the user running the program.
std::shared_ptr<const InstalledApplications> systemInstalledApplications();

} // namespace quorix
