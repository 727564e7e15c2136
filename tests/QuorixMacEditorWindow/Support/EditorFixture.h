#pragma once

#include "QuorixMacCore/Catalog/InstalledAppsScanner.h"
#include "QuorixMacCore/Catalog/MacAppIconImageCache.h"
#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/EditorWindow/IconArtwork.h"
#include "QuorixMacCore/Support/EditorLayouts.h"

#include <QString>

#include <map>
#include <memory>
#include <vector>

namespace quorix::test {

/// Installed applications whose icons are image files; lists none.
class IconFileApplications final : public InstalledApplications {
public:
    std::vector<InstalledApplication> offeredApplications() const override { return {}; }
    std::optional<QString> iconName(const QString& id) const override {
        const auto found = icons.find(id);
        return found == icons.end() ? std::nullopt : std::optional<QString>(found->second);
    }
    QString messagesLocale() const override { return {}; }

    std::map<QString, QString> icons;
};

/// An editor state without a store over fake site icons and applications, with the
/// artwork cache its views share.
class EditorFixture {
public:
    explicit EditorFixture(LayoutRecord layout = layoutOf({}))
        : state(std::move(layout), QStringLiteral("スマホ未同期"),
                std::make_shared<InstalledAppsScanner>(applications), std::nullopt,
                sharedResolver) {}

    std::shared_ptr<IconFileApplications> applications = std::make_shared<IconFileApplications>();
    MacAppIconImageCache appIcons{applications};
    std::shared_ptr<FakeWebIconResolver> sharedResolver = std::make_shared<FakeWebIconResolver>();
    FakeWebIconResolver& resolver = *sharedResolver;
    MacEditorState state;
    IconArtworkCache& artwork = *new IconArtworkCache(state, appIcons);
};

} // namespace quorix::test
