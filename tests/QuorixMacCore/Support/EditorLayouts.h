#pragma once

#include "QuorixMacCore/Editor/WebIconResolver.h"
#include "QuorixProtocol/Models.h"

#include <QPromise>

#include <chrono>
#include <memory>
#include <string>
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

/// Stamped in whole seconds, so that the layout comes back from the store unchanged.
inline LayoutRecord layoutOf(std::vector<PageRecord> pages) {
    using namespace std::chrono_literals;
    return {UUID::random(), std::move(pages), Theme::liquidGlass, Date(1'780'000'000s)};
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

} // namespace quorix::test
