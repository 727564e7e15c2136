#pragma once

#include "QuorixMacCore/Platform/UserDefaults.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace quorix {

class SettingsDomainStore;

/// A defaults domain kept in one INI file. Its folder is made with mode 0700 and the file
/// with mode 0600, since domains hold pairing tokens.
///
/// Values live in memory, read from the file on first use; a change is visible at once and
/// reaches the file from a background thread shortly after, a burst of changes in one
/// write. Every instance for the same file in this process shares the same values, so they
/// always agree whatever has been written yet. The last instance for a file writes what is
/// still pending when it is destroyed; flushAllUserDefaults() does so for every file.
class SettingsUserDefaults final : public UserDefaults {
public:
    explicit SettingsUserDefaults(QString filePath);
    ~SettingsUserDefaults() override;

    SettingsUserDefaults(const SettingsUserDefaults&) = delete;
    SettingsUserDefaults& operator=(const SettingsUserDefaults&) = delete;

    const QString& filePath() const { return m_filePath; }

    std::optional<QString> string(const QString& key) const override;
    std::optional<QStringList> stringArray(const QString& key) const override;
    std::optional<QByteArray> data(const QString& key) const override;

    void setString(const QString& key, const QString& value) override;
    void setStringArray(const QString& key, const QStringList& value) override;
    void setData(const QString& key, const QByteArray& value) override;
    void remove(const QString& key) override;

    /// Waits for a write in progress, writes pending changes, then reads the file again:
    /// changes other processes made appear, except where this process has a newer one.
    bool synchronize() override;

    /// How many times this process has written the file, successfully or not.
    std::uint64_t fileWrites() const;

private:
    const QString m_filePath;
    const std::shared_ptr<SettingsDomainStore> m_store;
};

/// Domains as INI files in one directory: the standard domain in "standard", each suite in
/// a file named after it.
class SettingsUserDefaultsDomains final : public UserDefaultsDomains {
public:
    /// The user's configuration directory followed by "QuorixMacHelper".
    static QString defaultDirectory();

    explicit SettingsUserDefaultsDomains(QString directory = defaultDirectory());

    std::shared_ptr<UserDefaults> standard() override;
    /// Nothing for names that are not plain file names, or that name the standard domain's file.
    std::shared_ptr<UserDefaults> suite(const QString& name) override;

private:
    std::shared_ptr<UserDefaults> domain(const QString& fileName);

    const QString m_directory;
    std::mutex m_mutex;
    std::map<QString, std::shared_ptr<UserDefaults>> m_domains;
};

} // namespace quorix
