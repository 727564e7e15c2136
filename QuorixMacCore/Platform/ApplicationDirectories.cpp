#include "QuorixMacCore/Platform/ApplicationDirectories.h"

namespace quorix {

QString ApplicationDirectories::helperDirectory() const {
    const QString base = applicationSupportDirectory().value_or(temporaryDirectory());
    return base + u'/' + helperFolderName;
}

RootedApplicationDirectories::RootedApplicationDirectories(QString root)
    : m_root(std::move(root)) {}

std::optional<QString> RootedApplicationDirectories::applicationSupportDirectory() const {
    return m_root + QStringLiteral("/Application Support");
}

QString RootedApplicationDirectories::temporaryDirectory() const {
    return m_root + QStringLiteral("/tmp");
}

} // namespace quorix
