#include "QuorixProtocol/ProtocolJSON.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace quorix {
namespace {

using namespace std::chrono;
using Client = QuorixClientMessage;
using Server = QuorixServerMessage;

UUID uuid(std::string_view text) {
    return *UUID::fromString(text);
}
URL url(std::string_view text) {
    return *URL::parse(text);
}

const Date updatedAt = Date{sys_days{2026y / 1 / 31} + 9h + 15min};
constexpr std::string_view buttonIdText = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";

/// One page with a button of every icon and action kind, and one empty page.
LayoutRecord sampleLayout() {
    const ColorGradient gradient{"#4facfe", "#00f2fe", 135};
    PageRecord work{uuid("11111111-2222-3333-4444-555555555555"),
                    "Work/仕事",
                    0,
                    GradientPreset::zoom,
                    {},
                    6,
                    3};
    work.buttons = {
        {uuid("AAAAAAAA-0000-0000-0000-000000000001"), 0, IconRef::sfSymbol("star.fill"), gradient,
         ActionSpec::keyboardShortcut({{Modifier::command}, "c"})},
        {uuid("aaaaaaaa-0000-0000-0000-000000000002"),
         1,
         IconRef::favicon(url("https://example.com/favicon.ico")),
         {"#ffffff", "#000000", 22.5},
         ActionSpec::launchApp("com.apple.Safari", "/Applications/Safari.app")},
        {uuid("AAAAAAAA-0000-0000-0000-000000000003"), 2, IconRef::appIcon("com.apple.Notes"),
         gradient, ActionSpec::openURL(url("shortcuts://run-shortcut?name=My%20Shortcut"))},
        {uuid("AAAAAAAA-0000-0000-0000-000000000004"), std::numeric_limits<std::int64_t>::min(),
         IconRef::custom({0xFB, 0xFF, 0xBF, 0x00}), gradient,
         ActionSpec::macro(
             {ActionSpec::keyboardShortcut({{Modifier::control, Modifier::option}, "left"}),
              ActionSpec::shellCommand("echo \"hi\"\n")},
             {0.5, 1e-05})},
    };
    PageRecord empty{uuid("66666666-7777-8888-9999-aaaaaaaaaaaa"),
                     "Empty",
                     1,
                     GradientPreset::claudeCode,
                     {},
                     6,
                     3};
    return {
        uuid("0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"), {work, empty}, Theme::liquidGlass, updatedAt};
}

constexpr std::string_view sampleLayoutJSON =
    R"({"id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","pages":[{"buttons":[)"
    R"({"action":{"combo":{"key":"c","modifiers":["command"]},"type":"keyboardShortcut"},)"
    R"("colorGradient":{"angle":135,"endHex":"#00f2fe","startHex":"#4facfe"},)"
    R"("icon":{"name":"star.fill","type":"sfSymbol"},)"
    R"("id":"AAAAAAAA-0000-0000-0000-000000000001","position":0},)"
    R"({"action":{"bundleID":"com.apple.Safari","fallbackPath":"\/Applications\/Safari.app",)"
    R"("type":"launchApp"},"colorGradient":{"angle":22.5,"endHex":"#000000","startHex":"#ffffff"},)"
    R"("icon":{"type":"favicon","url":"https:\/\/example.com\/favicon.ico"},)"
    R"("id":"AAAAAAAA-0000-0000-0000-000000000002","position":1},)"
    R"({"action":{"type":"openURL","url":"shortcuts:\/\/run-shortcut?name=My%20Shortcut"},)"
    R"("colorGradient":{"angle":135,"endHex":"#00f2fe","startHex":"#4facfe"},)"
    R"("icon":{"bundleID":"com.apple.Notes","type":"appIcon"},)"
    R"("id":"AAAAAAAA-0000-0000-0000-000000000003","position":2},)"
    R"({"action":{"actions":[{"combo":{"key":"left","modifiers":["control","option"]},)"
    R"("type":"keyboardShortcut"},{"command":"echo \"hi\"\n","type":"shellCommand"}],)"
    R"("delays":[0.5,1e-05],"type":"macro"},)"
    R"("colorGradient":{"angle":135,"endHex":"#00f2fe","startHex":"#4facfe"},)"
    R"("icon":{"dataBase64":"+\/+\/AA==","type":"custom"},)"
    R"("id":"AAAAAAAA-0000-0000-0000-000000000004","position":-9223372036854775808}],)"
    R"("gradient":"zoom","gridColumns":6,"gridRows":3,)"
    R"("id":"11111111-2222-3333-4444-555555555555","name":"Work\/仕事","order":0},)"
    R"({"buttons":[],"gradient":"claudeCode","gridColumns":6,"gridRows":3,)"
    R"("id":"66666666-7777-8888-9999-AAAAAAAAAAAA","name":"Empty","order":1}],)"
    R"("theme":"liquidGlass","updatedAt":"2026-01-31T09:15:00Z"})";

template <typename T>
std::string encoded(const T& value) {
    auto result = ProtocolJSON::encode(value);
    EXPECT_TRUE(result.hasValue()) << (result ? "" : result.error().description());
    return result ? *result : std::string();
}

TEST(ProtocolJSON, encodesALayoutCanonicallyAndDecodesItBack) {
    EXPECT_EQ(encoded(sampleLayout()), sampleLayoutJSON);
    const auto layout = ProtocolJSON::decodeLayout(sampleLayoutJSON);
    ASSERT_TRUE(layout) << layout.error().description();
    EXPECT_EQ(*layout, sampleLayout());
    EXPECT_EQ(encoded(*layout), sampleLayoutJSON);
}

TEST(ProtocolJSON, encodesEveryClientMessageKind) {
    const std::pair<Client, std::string> cases[] = {
        {{Client::AuthRequest{"123456"}}, R"({"code":"123456","type":"auth_request"})"},
        {{Client::AuthResume{"tok/en"}}, R"({"token":"tok\/en","type":"auth_resume"})"},
        {{Client::Execute{uuid(buttonIdText), ActionSpec::keyboardShortcut(
                                                  {{Modifier::function, Modifier::shift}, "c"})}},
         R"({"action":{"combo":{"key":"c","modifiers":["function","shift"]},"type":"keyboardShortcut"},)"
         R"("buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","type":"execute"})"},
        {{Client::LayoutUpdate{sampleLayout()}},
         R"({"layout":)" + std::string(sampleLayoutJSON) + R"(,"type":"layout_update"})"},
        {{Client::CaptureKeys{5000}}, R"({"timeoutMs":5000,"type":"capture_keys"})"},
        {{Client::RequestState{}}, R"({"type":"request_state"})"},
        {{Client::ListApps{}}, R"({"type":"list_apps"})"},
    };
    for (const auto& [message, json] : cases) {
        EXPECT_EQ(encoded(message), json);
        const auto decoded = ProtocolJSON::decodeClient(json);
        ASSERT_TRUE(decoded) << json << ": " << decoded.error().description();
        EXPECT_EQ(*decoded, message) << json;
    }
}

TEST(ProtocolJSON, encodesEveryServerMessageKind) {
    const std::pair<Server, std::string> cases[] = {
        {{Server::AuthSuccess{"tok", "Mac の机", DeviceType::mac}},
         R"({"deviceName":"Mac の机","deviceType":"mac","token":"tok","type":"auth_success"})"},
        {{Server::AuthFailure{AuthFailureReason::invalidCode}},
         R"({"reason":"invalid_code","type":"auth_failure"})"},
        {{Server::ExecuteResult{uuid(buttonIdText), false, "app_not_found"}},
         R"({"buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","error":"app_not_found",)"
         R"("success":false,"type":"execute_result"})"},
        {{Server::ExecuteResult{uuid(buttonIdText), true, std::nullopt}},
         R"({"buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","success":true,)"
         R"("type":"execute_result"})"},
        {{Server::CapturedKeys{{{Modifier::option, Modifier::option}, "F5"}}},
         R"({"combo":{"key":"F5","modifiers":["option","option"]},"type":"captured_keys"})"},
        {{Server::AppsList{{{"Safari", "com.apple.Safari", "iVBO+/=="}, {"", "", "not base64"}}}},
         R"({"apps":[{"bundleID":"com.apple.Safari","iconBase64":"iVBO+\/==","name":"Safari"},)"
         R"({"bundleID":"","iconBase64":"not base64","name":""}],"type":"apps_list"})"},
        {{Server::LayoutChanged{sampleLayout()}},
         R"({"layout":)" + std::string(sampleLayoutJSON) + R"(,"type":"layout_changed"})"},
    };
    for (const auto& [message, json] : cases) {
        EXPECT_EQ(encoded(message), json);
        const auto decoded = ProtocolJSON::decodeServer(json);
        ASSERT_TRUE(decoded) << json << ": " << decoded.error().description();
        EXPECT_EQ(*decoded, message) << json;
    }
}

TEST(ProtocolJSON, everyAuthFailureReasonTravelsByItsRawValue) {
    const std::pair<AuthFailureReason, std::string_view> reasons[] = {
        {AuthFailureReason::invalidCode, "invalid_code"},
        {AuthFailureReason::expiredCode, "expired_code"},
        {AuthFailureReason::locked, "locked"},
        {AuthFailureReason::invalidToken, "invalid_token"},
        {AuthFailureReason::notAuthenticated, "not_authenticated"},
        {AuthFailureReason::protocolError, "protocol_error"},
    };
    for (const auto& [reason, raw] : reasons) {
        EXPECT_EQ(rawValue(reason), raw);
        EXPECT_EQ(fromRawValue<AuthFailureReason>(raw), reason);
    }
}

TEST(ProtocolJSON, writesTheQRPayloadKeysInSortedOrderAndLeavesOutAbsentOnes) {
    const PairingQRCodePayload full{"Kestrane の Mac", "042195", "AB:CD",
                                    "192.168.1.20",    47532,    true};
    const std::string fullJSON = R"({"code":"042195","fingerprint":"AB:CD","host":"192.168.1.20",)"
                                 R"("port":47532,"serviceName":"Kestrane の Mac",)"
                                 R"("usesSecureTransport":true})";
    EXPECT_EQ(encoded(full), fullJSON);
    EXPECT_EQ(*ProtocolJSON::decodePairingQRCodePayload(fullJSON), full);

    const PairingQRCodePayload bare{"desk", "000000", {}, {}, {}, false};
    const std::string bareJSON =
        R"({"code":"000000","serviceName":"desk","usesSecureTransport":false})";
    EXPECT_EQ(encoded(bare), bareJSON);
    EXPECT_EQ(*ProtocolJSON::decodePairingQRCodePayload(bareJSON), bare);

    const auto nulls = ProtocolJSON::decodePairingQRCodePayload(
        R"({"code":"1","serviceName":"s","usesSecureTransport":false,"fingerprint":null,)"
        R"("host":null,"port":null})");
    ASSERT_TRUE(nulls);
    EXPECT_EQ(*nulls, (PairingQRCodePayload{"s", "1", {}, {}, {}, false}));

    for (const std::uint16_t port : {0, 65535}) {
        const auto decoded = ProtocolJSON::decodePairingQRCodePayload(
            R"({"code":"1","serviceName":"s","usesSecureTransport":true,"port":)" +
            std::to_string(port) + "}");
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->port, port);
    }
}

TEST(ProtocolJSON, writesADeviceWithoutItsLastConnectionWhenAbsent) {
    DeviceRecord device{uuid(buttonIdText), "iPhone", DeviceType::windows,
                        std::nullopt,       "t0k",    "FP"};
    const std::string withoutDate =
        R"({"authToken":"t0k","deviceType":"windows","fingerprint":"FP",)"
        R"("id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"iPhone"})";
    EXPECT_EQ(encoded(device), withoutDate);
    EXPECT_EQ(*ProtocolJSON::decodeDevice(withoutDate), device);

    device.lastConnectedAt = updatedAt + 250ms;
    const std::string withDate = R"({"authToken":"t0k","deviceType":"windows","fingerprint":"FP",)"
                                 R"("id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
                                 R"("lastConnectedAt":"2026-01-31T09:15:00Z","name":"iPhone"})";
    EXPECT_EQ(encoded(device), withDate);
    EXPECT_EQ(ProtocolJSON::decodeDevice(withDate)->lastConnectedAt, updatedAt);
}

TEST(ProtocolJSON, actionsWithoutTheirOptionalPartsRoundTrip) {
    const std::pair<ActionSpec, std::string_view> actions[] = {
        {ActionSpec::launchApp("org.mozilla.firefox"),
         R"({"bundleID":"org.mozilla.firefox","type":"launchApp"})"},
        {ActionSpec::macro({ActionSpec::macro({}, {2})}, {}),
         R"({"actions":[{"actions":[],"delays":[2],"type":"macro"}],"delays":[],"type":"macro"})"},
    };
    for (const auto& [action, json] : actions) {
        EXPECT_EQ(encoded(action), json);
        EXPECT_EQ(*ProtocolJSON::decodeAction(json), action);
    }
}

TEST(ProtocolJSON, readsOnlyTheKeysOfTheGivenKind) {
    const auto action = ProtocolJSON::decodeAction(
        R"({"type":"openURL","url":"https://a.example","combo":{"bad":1},"command":5})");
    ASSERT_TRUE(action) << action.error().description();
    EXPECT_EQ(*action, ActionSpec::openURL(url("https://a.example")));

    const auto layout = ProtocolJSON::decodeLayout(
        R"({"id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0",)"
        R"("pages":[{"buttons":[{"action":{"type":"shellCommand","command":"x"},)"
        R"("colorGradient":{"angle":1e2,"endHex":"","startHex":""},)"
        R"("icon":{"type":"sfSymbol","name":"bolt","url":"::bad::"},)"
        R"("id":"AAAAAAAA-0000-0000-0000-000000000001","position":0}],)"
        R"("gradient":"x","gridColumns":1,"gridRows":1,)"
        R"("id":"11111111-2222-3333-4444-555555555555","name":"","order":0,"extra":[1]}],)"
        R"("theme":"liquidGlass","updatedAt":"2026-01-31T18:15:00+09:00","x":null})");
    ASSERT_TRUE(layout) << layout.error().description();
    const QuorixButtonRecord& button = layout->pages[0].buttons[0];
    EXPECT_EQ(button.icon, IconRef::sfSymbol("bolt"));
    EXPECT_EQ(button.colorGradient.angle, 100);
    EXPECT_EQ(layout->updatedAt, updatedAt);
    EXPECT_EQ(encoded(*layout).find("::bad::"), std::string::npos);

    const auto extra =
        ProtocolJSON::decodeClient(R"({"type":"request_state","code":5,"layout":[]})");
    ASSERT_TRUE(extra);
    EXPECT_EQ(*extra, Client{Client::RequestState{}});

    const auto noError = ProtocolJSON::decodeServer(
        R"({"type":"execute_result","buttonId":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","success":false,"error":null})");
    ASSERT_TRUE(noError);
    EXPECT_EQ(*noError, (Server{Server::ExecuteResult{uuid(buttonIdText), false, std::nullopt}}));
}

TEST(ProtocolJSON, readsEscapedTextAndWritesItCanonically) {
    const auto decoded = ProtocolJSON::decodeClient(
        R"({"t\u0079pe":"auth_request","code":"\u0041\/\u00e9\ud83d\ude00\u0001"})");
    ASSERT_TRUE(decoded) << decoded.error().description();
    EXPECT_EQ(encoded(*decoded), "{\"code\":\"A\\/é😀\\u0001\",\"type\":\"auth_request\"}");
}

TEST(ProtocolJSON, refusesToEncodeNumbersJSONCannotExpress) {
    LayoutRecord layout = sampleLayout();
    layout.pages[0].buttons[1].colorGradient.angle = std::numeric_limits<double>::infinity();
    const auto angle = ProtocolJSON::encode(Client{Client::LayoutUpdate{layout}});
    ASSERT_FALSE(angle);
    EXPECT_EQ(angle.error().description(),
              "layout.pages[0].buttons[1].colorGradient.angle: JSON cannot express the number inf");

    layout = sampleLayout();
    std::get<ActionSpec::Macro>(layout.pages[0].buttons[3].action.value).delays[1] = std::nan("");
    const auto delay = ProtocolJSON::encode(layout);
    ASSERT_FALSE(delay);
    EXPECT_EQ(delay.error().description(),
              "pages[0].buttons[3].action.delays[1]: JSON cannot express the number nan");
}

} // namespace
} // namespace quorix
