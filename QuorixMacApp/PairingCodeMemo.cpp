#include "QuorixMacApp/PairingCodeMemo.h"

#include "QuorixMacCore/Platform/PrivateFiles.h"

#include <QDir>
#include <QFileInfo>

namespace quorix::PairingCodeMemo {

QString text(const QString& code) {
    return QStringLiteral("Kestrane QR接続用コード\n") + code +
           QStringLiteral("\n\n通常はKestraneアプリでQRを読み取って接続します。");
}

std::optional<QString> filePath(const ApplicationDirectories& directories) {
    const std::optional<QString> support = directories.applicationSupportDirectory();
    if (!support) {
        return std::nullopt;
    }
    return QDir(*support).filePath(helperFolderName + u'/' + fileName);
}

std::optional<QString> write(const ApplicationDirectories& directories, const QString& code) {
    if (code.isEmpty()) {
        return std::nullopt;
    }
    std::optional<QString> path = filePath(directories);
    if (!path || !PrivateFiles::makeDirectory(QFileInfo(*path).absolutePath()) ||
        !PrivateFiles::writeAtomically(*path, text(code).toUtf8())) {
        return std::nullopt;
    }
    return path;
}

} // namespace quorix::PairingCodeMemo
