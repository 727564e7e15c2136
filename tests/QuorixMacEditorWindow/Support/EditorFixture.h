#pragma once

#include "QuorixMacCore/Catalog/InstalledAppsScanner.h"
#include "QuorixMacCore/Catalog/MacAppIconImageCache.h"
#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/EditorWindow/IconArtwork.h"

#include <QPromise>
#include <QString>

#include <atomic>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

namespace quorix::test {

inline URL url(std::string_view text) {
    return *URL::parse(text);
}

inline QuorixButtonRecord button(std::int64_t position,
                                 IconRef icon = IconRef::sfSymbol("star.fill"),
                                 ActionSpec action = ActionSpec::launchApp("")) {
    return {
        UUID::random(), position, std::move(icon), {"#4f46e5", "#38bdf8", 135}, std::move(action)};
}

inline PageRecord page(std::int64_t order, std::vector<QuorixButtonRecord> buttons = {}) {
    return {UUID::random(), "Page", order, GradientPreset::custom, std::move(buttons), 3, 5};
}

inline LayoutRecord layoutOf(std::vector<PageRecord> pages) {
    return {UUID::random(), std::move(pages), Theme::liquidGlass, currentDate()};
}

/// Site icon lookups that the test answers when it likes.
class FakeWebIconResolver final : public WebIconResolving {
public:
    QFuture<WebIconData> iconData(const URL& url) override {
        requests.push_back(url.absoluteString());
        promises.push_back(std::make_shared<QPromise<WebIconData>>());
        promises.back()->start();
        return promises.back()->future();
    }
    void answer(std::size_t request, WebIconData data) {
        promises.at(request)->addResult(std::move(data));
        promises.at(request)->finish();
    }
    /// Answers every request not answered yet.
    void answerAll(const WebIconData& data) {
        for (std::size_t request = 0; request < promises.size(); ++request) {
            if (!promises[request]->future().isFinished()) {
                answer(request, data);
            }
        }
    }

    std::vector<std::string> requests;
    std::vector<std::shared_ptr<QPromise<WebIconData>>> promises;
};

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
