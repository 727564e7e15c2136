#include "QuorixMacCore/Catalog/AppChoices.h"

#include "QuorixMacCore/Catalog/AppIconRendering.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>

namespace quorix {

std::vector<RunningAppChoice> runningAppChoices(const std::vector<RunningApplication>& applications,
                                                const QString& localeName) {
    std::vector<RunningAppChoice> choices;
    for (const RunningApplication& application : applications) {
        if (!application.isRegular || application.name.isEmpty()) {
            continue;
        }
        std::string bundleID = application.bundleID.toStdString();
        std::optional<std::string> path;
        if (application.path) {
            path = application.path->toStdString();
        }
        if (bundleID.empty() && !path) {
            continue;
        }
        std::string id = !bundleID.empty() ? bundleID : *path;
        choices.push_back({std::move(id), application.name.toStdString(), std::move(bundleID),
                           std::move(path), application.iconName});
    }
    QCollator collator(localeName.isEmpty() ? QLocale::c() : QLocale(localeName));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(choices.begin(), choices.end(),
                     [&collator](const RunningAppChoice& a, const RunningAppChoice& b) {
                         return collator.compare(QString::fromStdString(a.name),
                                                 QString::fromStdString(b.name)) < 0;
                     });
    return choices;
}

std::optional<Bytes> runningAppIconData(const RunningAppChoice& choice) {
    if (!choice.iconName) {
        return std::nullopt;
    }
    return AppIconRendering::normalizedIconPNGData(*choice.iconName, chosenAppIconPixelSize);
}

FileSystemAppChoice FileSystemAppChoice::fromPath(const QString& path,
                                                  const ApplicationFiles& files) {
    const ApplicationFile file = files.describe(path);
    std::optional<Bytes> iconData;
    if (file.iconName) {
        iconData = AppIconRendering::normalizedIconPNGData(*file.iconName, chosenAppIconPixelSize);
    }
    return {file.name.toStdString(), file.bundleID.toStdString(), path.toStdString(),
            std::move(iconData)};
}

} // namespace quorix
