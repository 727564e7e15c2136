#pragma once

#include "QuorixMacCore/Platform/ApplicationDirectories.h"
#include "QuorixMacCore/Platform/UserDefaults.h"
#include "QuorixProtocol/Models.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

namespace quorix {

/// Keeps the Mac's one button layout between runs: the layout's protocol JSON as data under
/// one key of a defaults domain. Custom icons larger than needed are shrunk on the way in and
/// out. Storage never reports errors: an unreadable value loads as no layout, and a layout
/// that cannot be encoded is not written.
///
/// A stored value that does not decode is not lost to the next save: the first time the
/// store meets it, it keeps a copy of its bytes in the program's folder below Application
/// Support and logs where.
///
/// Copies share the defaults domain and what they learnt about the stored value.
class MacEditorLayoutStore {
public:
    static constexpr QLatin1StringView defaultKey{"quorix.mac.editor.layout"};
    static constexpr QLatin1StringView unreadableCopyFileName{"editor-layout.unreadable.json"};
    /// How many different unreadable values are kept before further ones are only logged.
    static constexpr int maxUnreadableCopies = 20;

    /// The standard defaults domain and the default key.
    MacEditorLayoutStore();
    MacEditorLayoutStore(
        std::shared_ptr<UserDefaults> defaults, QString key,
        std::shared_ptr<const ApplicationDirectories> directories = systemApplicationDirectories());

    /// The stored layout, compacted; when compaction changed it, the compacted layout is
    /// stored at once. Nothing when no layout is stored or the value does not decode.
    std::optional<LayoutRecord> load() const;

    /// Stores the compacted form of `layout` (the argument itself is not changed).
    void save(const LayoutRecord& layout) const;

    const QString& key() const { return m_key; }
    /// Where the first copy of an unreadable stored value goes; later, different ones get
    /// "-2", "-3", ... before the extension.
    QString unreadableCopyPath(int number = 1) const;

private:
    /// The stored layout as it is; a value that does not decode is kept aside first.
    std::optional<LayoutRecord> readStored() const;
    void keepUnreadableCopy(const QByteArray& bytes, const QString& reason) const;
    void write(const LayoutRecord& compacted) const;

    std::shared_ptr<UserDefaults> m_defaults;
    QString m_key;
    std::shared_ptr<const ApplicationDirectories> m_directories;
    // Set once the stored value has been looked at, by a load or by the first save.
    std::shared_ptr<std::atomic<bool>> m_storedValueChecked;
};

} // namespace quorix
