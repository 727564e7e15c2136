#include "QuorixMacCore/Pairing/FilePairingTokenStore.h"

#include "QuorixMacCore/Pairing/PairingLogging.h"
#include "QuorixMacCore/Platform/PrivateFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace quorix {

QString FilePairingTokenStore::defaultFilePath(const ApplicationDirectories& directories) {
    return directories.helperDirectory() + u'/' + fileName;
}

FilePairingTokenStore::FilePairingTokenStore(std::optional<QString> filePath)
    : m_filePath(filePath ? std::move(*filePath)
                          : defaultFilePath(*systemApplicationDirectories())) {}

std::set<std::string, std::less<>> FilePairingTokenStore::readTokens() const {
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        qCWarning(lcPairing) << "The token file" << m_filePath
                             << "is not a JSON array; it counts as empty";
        return {};
    }
    std::set<std::string, std::less<>> tokens;
    for (const QJsonValue value : document.array()) {
        if (!value.isString()) {
            qCWarning(lcPairing) << "The token file" << m_filePath
                                 << "holds a value that is not a string; it counts as empty";
            return {};
        }
        tokens.insert(value.toString().toStdString());
    }
    return tokens;
}

void FilePairingTokenStore::save(std::string_view token) {
    std::scoped_lock lock(m_mutex);
    std::set<std::string, std::less<>> tokens = readTokens();
    tokens.emplace(token);
    if (!PrivateFiles::makeDirectory(QFileInfo(m_filePath).path())) {
        qCWarning(lcPairing) << "No folder for the token file" << m_filePath;
        return;
    }
    QJsonArray array;
    for (const std::string& each : tokens) {
        array.append(QString::fromStdString(each));
    }
    if (!PrivateFiles::writeAtomically(m_filePath,
                                       QJsonDocument(array).toJson(QJsonDocument::Compact))) {
        qCWarning(lcPairing) << "A token could not be written to" << m_filePath;
    }
}

bool FilePairingTokenStore::contains(std::string_view token) const {
    std::scoped_lock lock(m_mutex);
    return readTokens().contains(token);
}

} // namespace quorix
