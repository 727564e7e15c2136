#include "QuorixMacCore/Platform/Linux/SettingsUserDefaults.h"

#include "QuorixMacCore/Platform/ApplicationDirectories.h"
#include "QuorixMacCore/Platform/PlatformLogging.h"
#include "QuorixMacCore/Platform/PrivateFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QThreadPool>

#include <algorithm>
#include <vector>

namespace quorix {

namespace {

const QString standardDomainFileName = QStringLiteral("standard");

using Values = std::map<QString, QVariant>;
/// Keys changed since the last write: a value, or nothing for a removal.
using Changes = std::map<QString, std::optional<QVariant>>;

/// QSettings removes a key together with the keys below it.
bool isAtOrBelow(const QString& key, const QString& removed) {
    return key == removed || (key.size() > removed.size() && key.startsWith(removed) &&
                              key.at(removed.size()) == u'/');
}

template <typename Map>
void eraseAtOrBelow(Map& map, const QString& removed) {
    for (auto it = map.lower_bound(removed); it != map.end() && it->first.startsWith(removed);) {
        it = isAtOrBelow(it->first, removed) ? map.erase(it) : std::next(it);
    }
}

void apply(Values& values, const QString& key, const std::optional<QVariant>& value) {
    if (value) {
        values[key] = *value;
    } else {
        eraseAtOrBelow(values, key);
    }
}

struct FileContent {
    Values values;
    bool readable = false;
};

FileContent readFile(const QString& filePath) {
    const QSettings settings(filePath, QSettings::IniFormat);
    FileContent content;
    for (const QString& key : settings.allKeys()) {
        content.values.emplace(key, settings.value(key));
    }
    content.readable = settings.status() == QSettings::NoError;
    return content;
}

bool writeFile(const QString& filePath, const Changes& changes) {
    // Made private before QSettings first writes it: its atomic writer keeps the mode of
    // the file it replaces.
    if (!PrivateFiles::makeDirectory(QFileInfo(filePath).path()) ||
        !PrivateFiles::restrictFile(filePath)) {
        return false;
    }
    // Only the changed keys are applied: QSettings merges them into the file as it is now,
    // so keys other processes changed meanwhile survive.
    QSettings settings(filePath, QSettings::IniFormat);
    for (const auto& [key, value] : changes) {
        if (value) {
            settings.setValue(key, *value);
        } else {
            settings.remove(key);
        }
    }
    settings.sync();
    return settings.status() == QSettings::NoError;
}

/// One thread for every domain's writes. A long task on the global pool could hold them
/// back; the pool is never destroyed, so no write runs while statics are torn down, and
/// its idle thread does not keep the process alive.
QThreadPool& writerPool() {
    static QThreadPool* const pool = [] {
        auto* created = new QThreadPool;
        created->setMaxThreadCount(1);
        return created;
    }();
    return *pool;
}

/// The file's path with symbolic links and "." / ".." resolved as far as it exists, so that
/// two spellings of one file share one store.
QString canonicalPath(const QString& filePath) {
    QString existing = QDir::cleanPath(QFileInfo(filePath).absoluteFilePath());
    QStringList missing;
    while (!QFileInfo::exists(existing)) {
        const QFileInfo info(existing);
        if (info.path() == existing) {
            break;
        }
        missing.prepend(info.fileName());
        existing = info.path();
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    if (canonical.isEmpty()) {
        return QDir::cleanPath(QFileInfo(filePath).absoluteFilePath());
    }
    return missing.isEmpty() ? canonical : QDir::cleanPath(canonical + u'/' + missing.join(u'/'));
}

} // namespace

/// The values of one file, shared by every SettingsUserDefaults on it.
///
/// Two locks: m_mutex guards the values and the bookkeeping and is held only briefly;
/// m_fileMutex is held for the whole of a file write or re-read, so that writes of one file
/// never overlap and each writes changes newer than the one before.
class SettingsDomainStore final : public std::enable_shared_from_this<SettingsDomainStore> {
public:
    SettingsDomainStore(QString filePath, QString canonicalPath)
        : m_filePath(std::move(filePath))
        , m_canonicalPath(std::move(canonicalPath)) {}

    const QString& canonicalPath() const { return m_canonicalPath; }

    std::optional<QVariant> value(const QString& key) {
        std::scoped_lock lock(m_mutex);
        loadIfNeeded();
        const auto found = m_values.find(key);
        return found == m_values.end() ? std::nullopt : std::optional(found->second);
    }

    void change(const QString& key, std::optional<QVariant> value) {
        std::scoped_lock lock(m_mutex);
        loadIfNeeded();
        apply(m_values, key, value);
        if (!value) {
            eraseAtOrBelow(m_pending, key);
        }
        m_pending[key] = std::move(value);
        if (!m_writeScheduled && !m_closed) {
            m_writeScheduled = true;
            writerPool().start([self = shared_from_this()] { self->writeScheduled(); });
        }
    }

    bool synchronize() {
        std::scoped_lock fileLock(m_fileMutex);
        {
            std::scoped_lock lock(m_mutex);
            loadIfNeeded();
        }
        const bool written = writePending(false);
        FileContent content = readFile(m_filePath);
        std::scoped_lock lock(m_mutex);
        if (!content.readable) {
            qCWarning(lcPlatform) << "Cannot read the defaults" << m_filePath;
            return false;
        }
        // Whatever is still pending was changed during the write and is newer than the file.
        m_values = std::move(content.values);
        for (const auto& [key, value] : m_pending) {
            apply(m_values, key, value);
        }
        return written;
    }

    /// Waits for a write in progress and writes what is pending.
    bool flush() {
        std::scoped_lock fileLock(m_fileMutex);
        return writePending(false);
    }

    /// The final write; later scheduled writes do nothing, so a store opened afresh on the
    /// same file is the only writer from then on.
    void close() {
        std::scoped_lock fileLock(m_fileMutex);
        writePending(false);
        std::scoped_lock lock(m_mutex);
        m_closed = true;
    }

    std::uint64_t fileWrites() const {
        std::scoped_lock lock(m_mutex);
        return m_fileWrites;
    }

private:
    void writeScheduled() {
        std::scoped_lock fileLock(m_fileMutex);
        writePending(true);
    }

    /// Requires m_fileMutex.
    bool writePending(bool scheduled) {
        Changes snapshot;
        {
            std::scoped_lock lock(m_mutex);
            if (scheduled) {
                // From here on a change schedules the next write: at most one write runs
                // and one waits, however many changes arrive.
                m_writeScheduled = false;
            }
            if (m_closed) {
                return !m_writeFailed;
            }
            snapshot.swap(m_pending);
        }
        if (snapshot.empty()) {
            return true;
        }
        const bool written = writeFile(m_filePath, snapshot);
        std::scoped_lock lock(m_mutex);
        ++m_fileWrites;
        if (!written) {
            if (!m_writeFailed) {
                qCWarning(lcPlatform) << "Cannot write the defaults" << m_filePath;
            }
            // Kept for the next write unless changed or removed again since.
            for (auto& [key, value] : snapshot) {
                const bool superseded =
                    // Captured by name: clang 14 cannot capture a structured binding.
                    std::any_of(m_pending.begin(), m_pending.end(),
                                [&keptKey = key](const auto& newer) {
                                    return isAtOrBelow(keptKey, newer.first) && !newer.second;
                                });
                if (!superseded) {
                    m_pending.try_emplace(key, std::move(value));
                }
            }
        }
        m_writeFailed = !written;
        return written;
    }

    /// Requires m_mutex. The one read of the file outside synchronize().
    void loadIfNeeded() {
        if (m_loaded) {
            return;
        }
        m_loaded = true;
        FileContent content = readFile(m_filePath);
        if (!content.readable) {
            qCWarning(lcPlatform) << "Cannot read the defaults" << m_filePath;
        }
        m_values = std::move(content.values);
    }

    const QString m_filePath;
    const QString m_canonicalPath;
    std::mutex m_fileMutex;
    mutable std::mutex m_mutex;
    Values m_values;
    Changes m_pending;
    bool m_loaded = false;
    bool m_writeScheduled = false;
    bool m_writeFailed = false;
    bool m_closed = false;
    std::uint64_t m_fileWrites = 0;
};

namespace {

/// The stores open in this process by canonical file path, each with the number of
/// SettingsUserDefaults using it. The entry goes once the last user has written what was
/// pending, so a store opened afresh reads a complete file.
class StoreRegistry {
public:
    static StoreRegistry& shared() {
        // Never destroyed: SettingsUserDefaults owned by statics may outlive it otherwise.
        static StoreRegistry* const registry = [] {
            // A program that does not flush before it ends still loses nothing when its
            // application object goes, while files can still be written.
            qAddPostRoutine([] { flushAllUserDefaults(); });
            return new StoreRegistry;
        }();
        return *registry;
    }

    std::shared_ptr<SettingsDomainStore> open(const QString& filePath) {
        const QString key = canonicalPath(filePath);
        std::scoped_lock lock(m_mutex);
        Entry& entry = m_entries[key];
        if (!entry.store) {
            entry.store = std::make_shared<SettingsDomainStore>(filePath, key);
        }
        ++entry.users;
        return entry.store;
    }

    void release(const std::shared_ptr<SettingsDomainStore>& store) {
        std::scoped_lock lock(m_mutex);
        const auto found = m_entries.find(store->canonicalPath());
        if (found == m_entries.end() || --found->second.users > 0) {
            return;
        }
        // Under the registry lock: nobody opens the file again before this write is done.
        store->close();
        m_entries.erase(found);
    }

    std::vector<std::shared_ptr<SettingsDomainStore>> stores() const {
        std::scoped_lock lock(m_mutex);
        std::vector<std::shared_ptr<SettingsDomainStore>> open;
        for (const auto& [path, entry] : m_entries) {
            open.push_back(entry.store);
        }
        return open;
    }

private:
    struct Entry {
        std::shared_ptr<SettingsDomainStore> store;
        int users = 0;
    };

    mutable std::mutex m_mutex;
    std::map<QString, Entry> m_entries;
};

} // namespace

SettingsUserDefaults::SettingsUserDefaults(QString filePath)
    : m_filePath(std::move(filePath))
    , m_store(StoreRegistry::shared().open(m_filePath)) {}

SettingsUserDefaults::~SettingsUserDefaults() {
    StoreRegistry::shared().release(m_store);
}

std::optional<QString> SettingsUserDefaults::string(const QString& key) const {
    const std::optional<QVariant> value = m_store->value(key);
    if (!value || value->typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value->toString();
}

std::optional<QStringList> SettingsUserDefaults::stringArray(const QString& key) const {
    const std::optional<QVariant> value = m_store->value(key);
    if (!value) {
        return std::nullopt;
    }
    // The INI form loses the kind of short lists: an empty list reads back as an invalid
    // value and a one-element list as a plain string.
    switch (value->typeId()) {
    case QMetaType::QStringList:
        return value->toStringList();
    case QMetaType::QString:
        return QStringList{value->toString()};
    case QMetaType::UnknownType:
        return QStringList{};
    default:
        return std::nullopt;
    }
}

std::optional<QByteArray> SettingsUserDefaults::data(const QString& key) const {
    const std::optional<QVariant> value = m_store->value(key);
    if (!value || value->typeId() != QMetaType::QByteArray) {
        return std::nullopt;
    }
    return value->toByteArray();
}

void SettingsUserDefaults::setString(const QString& key, const QString& value) {
    m_store->change(key, QVariant(value));
}

void SettingsUserDefaults::setStringArray(const QString& key, const QStringList& value) {
    m_store->change(key, QVariant(value));
}

void SettingsUserDefaults::setData(const QString& key, const QByteArray& value) {
    m_store->change(key, QVariant(value));
}

void SettingsUserDefaults::remove(const QString& key) {
    m_store->change(key, std::nullopt);
}

bool SettingsUserDefaults::synchronize() {
    return m_store->synchronize();
}

std::uint64_t SettingsUserDefaults::fileWrites() const {
    return m_store->fileWrites();
}

bool flushAllUserDefaults() {
    bool written = true;
    for (const auto& store : StoreRegistry::shared().stores()) {
        written = store->flush() && written;
    }
    return written;
}

QString SettingsUserDefaultsDomains::defaultDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' +
           helperFolderName;
}

SettingsUserDefaultsDomains::SettingsUserDefaultsDomains(QString directory)
    : m_directory(std::move(directory)) {}

std::shared_ptr<UserDefaults> SettingsUserDefaultsDomains::domain(const QString& fileName) {
    std::scoped_lock lock(m_mutex);
    auto& slot = m_domains[fileName];
    if (!slot) {
        slot = std::make_shared<SettingsUserDefaults>(m_directory + u'/' + fileName);
    }
    return slot;
}

std::shared_ptr<UserDefaults> SettingsUserDefaultsDomains::standard() {
    return domain(standardDomainFileName);
}

std::shared_ptr<UserDefaults> SettingsUserDefaultsDomains::suite(const QString& name) {
    const bool plainFileName = !name.isEmpty() && name != u"." && name != u".." &&
                               !name.contains(u'/') && !name.contains(QChar(0));
    if (!plainFileName || name == standardDomainFileName) {
        return nullptr;
    }
    return domain(name);
}

std::shared_ptr<UserDefaultsDomains> systemUserDefaultsDomains() {
    // Never destroyed, so that no file is written while statics are torn down;
    // flushAllUserDefaults() writes its changes before the program ends.
    static const auto* const domains =
        new std::shared_ptr<UserDefaultsDomains>(std::make_shared<SettingsUserDefaultsDomains>());
    return *domains;
}

} // namespace quorix
