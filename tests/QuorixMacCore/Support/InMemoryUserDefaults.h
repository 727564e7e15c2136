#pragma once

#include "QuorixMacCore/Platform/UserDefaults.h"

#include <QVariant>

#include <map>
#include <mutex>

namespace quorix::testsupport {

/// A defaults domain in memory that keeps the kind of every value exactly.
class InMemoryUserDefaults final : public UserDefaults {
public:
    std::optional<QString> string(const QString& key) const override { return get<QString>(key); }
    std::optional<QStringList> stringArray(const QString& key) const override {
        return get<QStringList>(key);
    }
    std::optional<QByteArray> data(const QString& key) const override {
        return get<QByteArray>(key);
    }
    void setString(const QString& key, const QString& value) override { set(key, value); }
    void setStringArray(const QString& key, const QStringList& value) override { set(key, value); }
    void setData(const QString& key, const QByteArray& value) override { set(key, value); }
    void remove(const QString& key) override {
        std::scoped_lock lock(m_mutex);
        m_values.erase(key);
    }
    bool synchronize() override {
        std::scoped_lock lock(m_mutex);
        ++m_synchronizations;
        return true;
    }

    /// Puts any value under a key, as another program might have.
    void setRaw(const QString& key, const QVariant& value) { set(key, value); }
    int synchronizations() const {
        std::scoped_lock lock(m_mutex);
        return m_synchronizations;
    }

private:
    template <typename T>
    std::optional<T> get(const QString& key) const {
        std::scoped_lock lock(m_mutex);
        const auto found = m_values.find(key);
        if (found == m_values.end() || found->second.typeId() != QMetaType::fromType<T>().id()) {
            return std::nullopt;
        }
        return found->second.value<T>();
    }
    void set(const QString& key, const QVariant& value) {
        std::scoped_lock lock(m_mutex);
        m_values[key] = value;
    }

    mutable std::mutex m_mutex;
    std::map<QString, QVariant> m_values;
    int m_synchronizations = 0;
};

/// Domains in memory; suites whose names are listed as refused cannot be opened.
class InMemoryUserDefaultsDomains final : public UserDefaultsDomains {
public:
    explicit InMemoryUserDefaultsDomains(QStringList refusedSuites = {})
        : m_refused(std::move(refusedSuites)) {}

    std::shared_ptr<UserDefaults> standard() override { return domain(QString()); }
    std::shared_ptr<UserDefaults> suite(const QString& name) override {
        if (name.isEmpty() || m_refused.contains(name)) {
            return nullptr;
        }
        return domain(name);
    }
    std::shared_ptr<InMemoryUserDefaults> domain(const QString& name) {
        std::scoped_lock lock(m_mutex);
        auto& slot = m_domains[name];
        if (!slot) {
            slot = std::make_shared<InMemoryUserDefaults>();
        }
        return slot;
    }

private:
    const QStringList m_refused;
    std::mutex m_mutex;
    std::map<QString, std::shared_ptr<InMemoryUserDefaults>> m_domains;
};

} // namespace quorix::testsupport
