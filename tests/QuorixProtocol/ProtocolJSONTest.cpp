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
    auto page = [](std::string_view id, std::string name, std::int64_t order, GradientPreset look) {
        return PageRecord{uuid(id), std::move(name), order, look, {}, 6, 3};
    };
    const ColorGradient gradient{"#4facfe", "#00f2fe", 135};
    const ColorGradient greys{"#ffffff", "#000000", 22.5};
    PageRecord work =
        page("11111111-2222-3333-4444-555555555555", "Work/仕事", 0, GradientPreset::zoom);
    work.buttons = {
        {uuid("AAAAAAAA-0000-0000-0000-000000000001"), 0, IconRef::sfSymbol("star.fill"), gradient,
         ActionSpec::keyboardShortcut({{Modifier::command}, "c"})},
        {uuid("aaaaaaaa-0000-0000-0000-000000000002"), 1,
         IconRef::favicon(url("https://example.com/favicon.ico")), greys,
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
    const PageRecord empty =
        page("66666666-7777-8888-9999-aaaaaaaaaaaa", "Empty", 1, GradientPreset::claudeCode);
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

/// Checks that `value` encodes to exactly `json` and that `json` decodes back to `value`.
template <typename T, typename Decode>
void expectCanonical(const T& value, std::string_view json, Decode decode) {
    EXPECT_EQ(encoded(value), json);
    const auto decoded = decode(json);
    ASSERT_TRUE(decoded) << json << ": " << decoded.error().description();
    EXPECT_EQ(*decoded, value) << json;
}

TEST(ProtocolJSON, encodesALayoutCanonicallyAndDecodesItBack) {
    expectCanonical(sampleLayout(), sampleLayoutJSON, ProtocolJSON::decodeLayout);
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
        expectCanonical(message, json, ProtocolJSON::decodeClient);
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
        expectCanonical(message, json, ProtocolJSON::decodeServer);
    }
}

TEST(ProtocolJSON, writesTheQRPayloadKeysInSortedOrderAndLeavesOutAbsentOnes) {
    expectCanonical(
        PairingQRCodePayload{"Kestrane の Mac", "042195", "AB:CD", "192.168.1.20", 65535, true},
        R"({"code":"042195","fingerprint":"AB:CD","host":"192.168.1.20","port":65535,)"
        R"("serviceName":"Kestrane の Mac","usesSecureTransport":true})",
        ProtocolJSON::decodePairingQRCodePayload);
    const PairingQRCodePayload bare{"desk", "000000", {}, {}, {}, false};
    expectCanonical(bare, R"({"code":"000000","serviceName":"desk","usesSecureTransport":false})",
                    ProtocolJSON::decodePairingQRCodePayload);
    EXPECT_EQ(*ProtocolJSON::decodePairingQRCodePayload(
                  R"({"code":"000000","serviceName":"desk","usesSecureTransport":false,)"
                  R"("fingerprint":null,"host":null,"port":null})"),
              bare);
}

TEST(ProtocolJSON, writesADeviceWithoutItsLastConnectionWhenAbsent) {
    DeviceRecord device{uuid(buttonIdText), "iPhone", DeviceType::windows,
                        std::nullopt,       "t0k",    "FP"};
    const std::string withoutDate =
        R"({"authToken":"t0k","deviceType":"windows","fingerprint":"FP",)"
        R"("id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"iPhone"})";
    expectCanonical(device, withoutDate, ProtocolJSON::decodeDevice);

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
        expectCanonical(action, json, ProtocolJSON::decodeAction);
    }
}

TEST(ProtocolJSON, readsOnlyTheKeysOfTheGivenKindAndWritesEscapedTextCanonically) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {R"({"type":"execute","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","action":)"
         R"({"type":"openURL","url":"https://a.example","combo":{"bad":1},"command":5}})",
         R"({"action":{"type":"openURL","url":"https:\/\/a.example"},)"
         R"("buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","type":"execute"})"},
        {R"({"type":"request_state","code":5,"layout":[]})", R"({"type":"request_state"})"},
        {R"({"t\u0079pe":"auth_request","code":"\u0041\/\u00e9\ud83d\ude00\u0001"})",
         "{\"code\":\"A\\/é😀\\u0001\",\"type\":\"auth_request\"}"},
    };
    for (const auto& [json, canonical] : cases) {
        const auto decoded = ProtocolJSON::decodeClient(json);
        ASSERT_TRUE(decoded) << json << ": " << decoded.error().description();
        EXPECT_EQ(encoded(*decoded), canonical);
    }
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
