#pragma once

#include "QuorixMacCore/Platform/UserDefaults.h"

#include <QSettings>

#include <functional>
#include <map>
#include <mutex>

namespace quorix {

/// A defaults domain kept in one INI file. Its folder is made with mode 0700 and the file
/// with mode 0600, since domains hold pairing tokens. Every call opens the file afresh:
/// QSettings shares one cache per file inside the process, and a long-lived QSettings
/// would flush from its own thread's event loop outside this object's lock.
class SettingsUserDefaults final : public UserDefaults {
public:
    explicit SettingsUserDefaults(QString filePath);

    const QString& filePath() const { return m_filePath; }

    std::optional<QString> string(const QString& key) const override;
    std::optional<QStringList> stringArray(const QString& key) const override;
    std::optional<QByteArray> data(const QString& key) const override;

    void setString(const QString& key, const QString& value) override;
    void setStringArray(const QString& key, const QStringList& value) override;
    void setData(const QString& key, const QByteArray& value) override;
    void remove(const QString& key) override;

    bool synchronize() override;

private:
    QVariant read(const QString& key) const;
    void write(const std::function<void(QSettings&)>& change);

    const QString m_filePath;
    mutable std::mutex m_mutex;
    bool m_lastWriteFailed = false;
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
