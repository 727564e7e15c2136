#include "QuorixMacCore/Platform/PrivateFiles.h"

#include "QuorixMacCore/Platform/PlatformLogging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace quorix::PrivateFiles {

namespace {

constexpr QFile::Permissions ownerOnlyDirectory =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions ownerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;

// The owner, group and other bits: QFile also reports the running user's access.
constexpr QFile::Permissions modeBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                        QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

bool restrict(const QString& path, QFile::Permissions permissions) {
    if ((QFile::permissions(path) & modeBits) == permissions) {
        return true;
    }
    return QFile::setPermissions(path, permissions);
}

} // namespace

bool makeDirectory(const QString& path) {
    const QString target = QDir::cleanPath(QDir(path).absolutePath());
    // Collect the missing ancestors first so that each is made with its final mode and
    // never exists, even briefly, readable by others.
    QStringList missing;
    for (QString current = target; !QFileInfo::exists(current);
         current = QFileInfo(current).path()) {
        missing.prepend(current);
        if (current == QFileInfo(current).path()) {
            break;
        }
    }
    for (const QString& directory : std::as_const(missing)) {
        if (!QDir().mkdir(directory, ownerOnlyDirectory) && !QFileInfo(directory).isDir()) {
            qCWarning(lcPlatform) << "Cannot create the directory" << directory;
            return false;
        }
    }
    if (!QFileInfo(target).isDir()) {
        return false;
    }
    if (!restrict(target, ownerOnlyDirectory)) {
        qCWarning(lcPlatform) << "Cannot restrict the directory" << target;
    }
    return true;
}

bool writeAtomically(const QString& filePath, QByteArrayView bytes) {
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcPlatform) << "Cannot write" << filePath << file.errorString();
        return false;
    }
    // The temporary file is restricted before any byte reaches it; the rename keeps the mode.
    if (!file.setPermissions(ownerOnlyFile)) {
        qCWarning(lcPlatform) << "Cannot restrict" << filePath << file.errorString();
        file.cancelWriting();
        return false;
    }
    if (file.write(bytes.data(), bytes.size()) != bytes.size() || !file.commit()) {
        qCWarning(lcPlatform) << "Cannot write" << filePath << file.errorString();
        return false;
    }
    return true;
}

bool restrictFile(const QString& filePath) {
    if (!QFileInfo::exists(filePath)) {
        QFile file(filePath);
        // Created with mode 0600 from the start: there is no moment in which it is readable.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerOnlyFile)) {
            if (!QFileInfo::exists(filePath)) {
                qCWarning(lcPlatform) << "Cannot create" << filePath << file.errorString();
                return false;
            }
        }
    }
    return restrict(filePath, ownerOnlyFile);
}

} // namespace quorix::PrivateFiles
