#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace quorix {

/// One persistent key-value domain of the user's settings. Every value has one of three
/// kinds; a getter gives nothing when the key is absent or holds another kind. Safe to use
/// from several threads at once.
class UserDefaults {
public:
    virtual ~UserDefaults() = default;

    virtual std::optional<QString> string(const QString& key) const = 0;
    virtual std::optional<QStringList> stringArray(const QString& key) const = 0;
    virtual std::optional<QByteArray> data(const QString& key) const = 0;

    virtual void setString(const QString& key, const QString& value) = 0;
    virtual void setStringArray(const QString& key, const QStringList& value) = 0;
    virtual void setData(const QString& key, const QByteArray& value) = 0;
    virtual void remove(const QString& key) = 0;

    /// Writes pending changes to disk now and picks up changes made by other processes;
    /// false when the domain could not be read or written.
    virtual bool synchronize() = 0;
};

/// Opens the standard domain and named suites.
class UserDefaultsDomains {
public:
    virtual ~UserDefaultsDomains() = default;

    virtual std::shared_ptr<UserDefaults> standard() = 0;
    /// The suite of that name, or nullptr when the name cannot name a suite.
    virtual std::shared_ptr<UserDefaults> suite(const QString& name) = 0;
};

/// The domains of the user running the program.
std::shared_ptr<UserDefaultsDomains> systemUserDefaultsDomains();

/// Waits for every write in progress and writes every change not yet on disk, in all
/// domains of this process; call it before the program ends. False when some domain could
/// not be written.
bool flushAllUserDefaults();

} // namespace quorix
