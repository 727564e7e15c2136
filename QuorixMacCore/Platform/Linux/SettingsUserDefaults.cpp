#include "QuorixMacCore/Platform/Linux/SettingsUserDefaults.h"

#include "QuorixMacCore/Platform/ApplicationDirectories.h"
#include "QuorixMacCore/Platform/PlatformLogging.h"
#include "QuorixMacCore/Platform/PrivateFiles.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace quorix {

namespace {

const QString standardDomainFileName = QStringLiteral("standard");

} // namespace

SettingsUserDefaults::SettingsUserDefaults(QString filePath)
    : m_filePath(std::move(filePath)) {}

QVariant SettingsUserDefaults::read(const QString& key) const {
    std::scoped_lock lock(m_mutex);
    const QSettings settings(m_filePath, QSettings::IniFormat);
    return settings.value(key);
}

std::optional<QString> SettingsUserDefaults::string(const QString& key) const {
    const QVariant value = read(key);
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString();
}

std::optional<QStringList> SettingsUserDefaults::stringArray(const QString& key) const {
    std::scoped_lock lock(m_mutex);
    const QSettings settings(m_filePath, QSettings::IniFormat);
    if (!settings.contains(key)) {
        return std::nullopt;
    }
    // The INI form loses the kind of short lists: an empty list reads back as an invalid
    // value and a one-element list as a plain string.
    const QVariant value = settings.value(key);
    switch (value.typeId()) {
    case QMetaType::QStringList:
        return value.toStringList();
    case QMetaType::QString:
        return QStringList{value.toString()};
    case QMetaType::UnknownType:
        return QStringList{};
    default:
        return std::nullopt;
    }
}

std::optional<QByteArray> SettingsUserDefaults::data(const QString& key) const {
    const QVariant value = read(key);
    if (value.typeId() != QMetaType::QByteArray) {
        return std::nullopt;
    }
    return value.toByteArray();
}

void SettingsUserDefaults::write(const std::function<void(QSettings&)>& change) {
    std::scoped_lock lock(m_mutex);
    // Made private before QSettings first writes it: its atomic writer keeps the mode of
    // the file it replaces.
    if (!PrivateFiles::makeDirectory(QFileInfo(m_filePath).path()) ||
        !PrivateFiles::restrictFile(m_filePath)) {
        m_lastWriteFailed = true;
        return;
    }
    QSettings settings(m_filePath, QSettings::IniFormat);
    change(settings);
    settings.sync();
    m_lastWriteFailed = settings.status() != QSettings::NoError;
    if (m_lastWriteFailed) {
        qCWarning(lcPlatform) << "Cannot write the defaults" << m_filePath;
    }
}

void SettingsUserDefaults::setString(const QString& key, const QString& value) {
    write([&](QSettings& settings) { settings.setValue(key, value); });
}

void SettingsUserDefaults::setStringArray(const QString& key, const QStringList& value) {
    write([&](QSettings& settings) { settings.setValue(key, value); });
}

void SettingsUserDefaults::setData(const QString& key, const QByteArray& value) {
    write([&](QSettings& settings) { settings.setValue(key, value); });
}

void SettingsUserDefaults::remove(const QString& key) {
    write([&](QSettings& settings) { settings.remove(key); });
}

bool SettingsUserDefaults::synchronize() {
    std::scoped_lock lock(m_mutex);
    QSettings settings(m_filePath, QSettings::IniFormat);
    settings.sync();
    return !m_lastWriteFailed && settings.status() == QSettings::NoError;
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
    static const auto domains = std::make_shared<SettingsUserDefaultsDomains>();
    return domains;
}

} // namespace quorix
