#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace quorix {

/// Where the program may keep its files.
class ApplicationDirectories {
public:
    virtual ~ApplicationDirectories() = default;

    /// The user's Application Support directory, or nothing when the system reports none.
    virtual std::optional<QString> applicationSupportDirectory() const = 0;
    virtual QString temporaryDirectory() const = 0;

    /// The program's own folder below Application Support ("QuorixMacHelper"), below the
    /// temporary directory when there is no Application Support directory.
    QString helperDirectory() const;
};

inline constexpr QLatin1StringView helperFolderName{"QuorixMacHelper"};

/// Both directories below one root ("<root>/Application Support", "<root>/tmp"), for tests
/// and tools that must not touch the user's files. Nothing is created.
class RootedApplicationDirectories final : public ApplicationDirectories {
public:
    explicit RootedApplicationDirectories(QString root);

    std::optional<QString> applicationSupportDirectory() const override;
    QString temporaryDirectory() const override;

private:
    QString m_root;
};

/// The directories of the user running the program.
std::shared_ptr<const ApplicationDirectories> systemApplicationDirectories();

} // namespace quorix
