#include "QuorixMacCore/Platform/Linux/StandardApplicationDirectories.h"

#include <QStandardPaths>

namespace quorix {

std::optional<QString> StandardApplicationDirectories::applicationSupportDirectory() const {
    const QStringList locations =
        QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    if (locations.isEmpty() || locations.first().isEmpty()) {
        return std::nullopt;
    }
    return locations.first();
}

QString StandardApplicationDirectories::temporaryDirectory() const {
    return QStandardPaths::writableLocation(QStandardPaths::TempLocation);
}

std::shared_ptr<const ApplicationDirectories> systemApplicationDirectories() {
    return std::make_shared<StandardApplicationDirectories>();
}

} // namespace quorix
