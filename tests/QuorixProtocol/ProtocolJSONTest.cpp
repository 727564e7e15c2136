#include "QuorixProtocol/ProtocolJSON.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <tuple>

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
         ActionSpec::keyboardShortcut({{Modifier::command, Modifier::function}, "c"})},
        {uuid("aaaaaaaa-0000-0000-0000-000000000002"), 1,
         IconRef::favicon(url("https://example.com/favicon.ico")), greys,
         ActionSpec::launchApp("com.apple.Safari", "/Applications/Safari.app")},
        {uuid("AAAAAAAA-0000-0000-0000-000000000003"), 2, IconRef::appIcon("com.apple.Notes"),
         gradient, ActionSpec::openURL(url("shortcuts://run-shortcut?name=My%20Shortcut"))},
        {uuid("AAAAAAAA-0000-0000-0000-000000000004"), std::numeric_limits<std::int64_t>::min(),
         IconRef::custom({0xFB, 0xFF, 0xBF, 0x00}), gradient,
         ActionSpec::macro(
             {ActionSpec::keyboardShortcut({{Modifier::control, Modifier::option}, "left"}),
              ActionSpec::shellCommand("echo \"hi\"\n"), ActionSpec::macro({}, {})},
             {0.5, 1e-05})},
    };
    const PageRecord empty =
        page("66666666-7777-8888-9999-aaaaaaaaaaaa", "Empty", 1, GradientPreset::claudeCode);
    return {
        uuid("0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"), {work, empty}, Theme::liquidGlass, updatedAt};
}

constexpr std::string_view sampleLayoutJSON =
    R"({"id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","pages":[{"buttons":[)"
    R"({"action":{"combo":{"key":"c","modifiers":["command","function"]},"type":"keyboardShortcut"},)"
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
    R"("type":"keyboardShortcut"},{"command":"echo \"hi\"\n","type":"shellCommand"},)"
    R"({"actions":[],"delays":[],"type":"macro"}],)"
    R"("delays":[0.5,1e-05],"type":"macro"},)"
    R"("colorGradient":{"angle":135,"endHex":"#00f2fe","startHex":"#4facfe"},)"
    R"("icon":{"dataBase64":"+\/+\/AA==","type":"custom"},)"
    R"("id":"AAAAAAAA-0000-0000-0000-000000000004","position":-9223372036854775808}],)"
    R"("gradient":"zoom","gridColumns":6,"gridRows":3,)"
    R"("id":"11111111-2222-3333-4444-555555555555","name":"Work\/仕事","order":0},)"
    R"({"buttons":[],"gradient":"claudeCode","gridColumns":6,"gridRows":3,)"
    R"("id":"66666666-7777-8888-9999-AAAAAAAAAAAA","name":"Empty","order":1}],)"
    R"("theme":"liquidGlass","updatedAt":"2026-01-31T09:15:00Z"})";

const std::string layoutUpdate =
    R"({"layout":)" + std::string(sampleLayoutJSON) + R"(,"type":"layout_update"})";

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

TEST(ProtocolJSON, encodesEveryClientMessageKind) {
    const std::pair<Client, std::string> cases[] = {
        {{Client::AuthRequest{"123456"}}, R"({"code":"123456","type":"auth_request"})"},
        {{Client::AuthResume{"tok/en"}}, R"({"token":"tok\/en","type":"auth_resume"})"},
        {{Client::Execute{uuid(buttonIdText), ActionSpec::launchApp("org.mozilla.firefox")}},
         R"({"action":{"bundleID":"org.mozilla.firefox","type":"launchApp"},)"
         R"("buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","type":"execute"})"},
        {{Client::LayoutUpdate{sampleLayout()}}, layoutUpdate},
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

template <typename T, typename E>
std::string failureOf(const Expected<T, E>& result) {
    return result ? std::string("(succeeded)") : result.error().description();
}

TEST(ProtocolJSON, refusesToEncodeNumbersJSONCannotExpressNamingTheFirst) {
    LayoutRecord layout = sampleLayout();
    layout.pages[0].buttons[1].colorGradient.angle = -std::numeric_limits<double>::infinity();
    ActionSpec& macro = layout.pages[0].buttons[3].action;
    std::get<ActionSpec::Macro>(macro.value).delays[1] = std::nan("");
    EXPECT_EQ(
        failureOf(ProtocolJSON::encode(Client{Client::LayoutUpdate{layout}})),
        "layout.pages[0].buttons[1].colorGradient.angle: JSON cannot express the number -inf");
    EXPECT_EQ(failureOf(ProtocolJSON::encode(macro)),
              "delays[1]: JSON cannot express the number nan");
}

/// `layoutUpdate` with the one occurrence of `replaced` replaced.
std::string broken(std::string_view replaced, std::string_view replacement) {
    std::string json(layoutUpdate);
    const std::size_t at = json.find(replaced);
    EXPECT_NE(at, std::string::npos) << replaced;
    EXPECT_EQ(json.find(replaced, at + 1), std::string::npos) << "ambiguous: " << replaced;
    return json.replace(at, replaced.size(), replacement);
}

std::string repeated(std::string_view text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

/// Macros inside macros, `depth` levels in all, in canonical form.
std::string nestedMacros(int depth) {
    return repeated(R"({"actions":[)", depth - 1) + R"({"actions":[],"delays":[],"type":"macro"})" +
           repeated(R"(],"delays":[0],"type":"macro"})", depth - 1);
}

/// The canonical encoding of what `json` decodes to, or why it does not decode.
template <auto decode>
std::string decoding(std::string_view json) {
    const auto decoded = decode(json);
    return decoded ? encoded(*decoded) : decoded.error().description();
}

constexpr auto client = decoding<ProtocolJSON::decodeClient>;
constexpr auto server = decoding<ProtocolJSON::decodeServer>;
constexpr auto action = decoding<ProtocolJSON::decodeAction>;
constexpr auto qrPayload = decoding<ProtocolJSON::decodePairingQRCodePayload>;

TEST(ProtocolJSONDecoding, readsOnlyTheKeysOfTheKindAndNamesThePathAndTheFaultOfWhatIsBroken) {
    const std::string qr = R"({"code":"1","serviceName":"s","usesSecureTransport":true,)";
    const std::string execute =
        R"({"type":"execute","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F")";
    const std::string x64(64, 'x');
    const std::tuple<std::string (*)(std::string_view), std::string, std::string> cases[] = {
        {client,
         execute + R"(,"action":{"type":"openURL","url":"https://a.example","combo":{"bad":1},)"
                   R"("command":5}})",
         R"({"action":{"type":"openURL","url":"https:\/\/a.example"},)"
         R"("buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","type":"execute"})"},
        {client, R"({"t\u0079pe":"auth_request","code":"\u0041\/\u00e9\ud83d\ude00\u0001"})",
         "{\"code\":\"A\\/é😀\\u0001\",\"type\":\"auth_request\"}"},
        {client, execute + R"(,"action":{"type":"openURL","combo":{"modifiers":[],"key":"a"}}})",
         "action.url: missing key"},
        {client, " \n\t", "empty input"},
        {client, R"([{"type":"list_apps"}])", "expected an object, found an array"},
        {client, "{\"type\":\"auth_request\",\"code\":\"\xff\"}", "input is not valid UTF-8"},
        {client, "{\"type\":\"auth_request\",\"code\":\"\xed\xa0\x80\"}",
         "input is not valid UTF-8"},
        {client,
         R"({"type":"auth_request","code":"1","x":)" + std::string(5000, '[') +
             std::string(5000, ']') + "}",
         "not valid JSON: nested too deeply"},
        {client, R"({"code":"1"})", "type: missing key"},
        {client, R"({"type":"AUTH_REQUEST","code":"1"})", R"(type: unknown value "AUTH_REQUEST")"},
        {server, R"({"type":"request_state"})", R"(type: unknown value "request_state")"},
        {server, R"({"type":"auth_failure","reason":"Invalid_Code"})",
         R"(reason: unknown value "Invalid_Code")"},
        {server,
         R"({"type":"execute_result","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
         R"("success":"true"})",
         "success: expected a boolean, found a string"},
        {server,
         R"({"type":"apps_list","apps":[{"name":"a","bundleID":"b","iconBase64":""},)"
         R"({"name":"a","bundleID":"b"}]})",
         "apps[1].iconBase64: missing key"},
        {qrPayload, qr + R"("port":70000})", "port: expected a port from 0 to 65535, found 70000"},
        {qrPayload, qr + R"("port":-1})", "port: expected a port from 0 to 65535, found -1"},
        {action, nestedMacros(maxMacroNesting), nestedMacros(maxMacroNesting)},
        {client, execute + R"(,"action":)" + nestedMacros(maxMacroNesting + 1) + "}",
         "action" + repeated(".actions[0]", maxMacroNesting) +
             ": macros nested deeper than 32 levels"},
        // Quoted values are cut short, at a whole character, and escaped.
        {action, R"({"type":")" + x64 + R"(xx"})", R"(type: unknown value ")" + x64 + R"("...)"},
        {action, R"({"type":")" + x64.substr(1) + "é\"}",
         R"(type: unknown value ")" + x64.substr(1) + R"("...)"},
        {action, R"({"type":"a\"b\n"})", R"(type: unknown value "a\"b\u000a")"},
        // Each of the rest breaks one part of a layout.
        {client, broken(R"(00Z")", R"(00.000Z")"),
         R"(layout.updatedAt: not an ISO 8601 date-time with whole seconds: )"
         R"("2026-01-31T09:15:00.000Z")"},
        {client, broken(R"(,"name":"Work\/仕事")", ""), "layout.pages[0].name: missing key"},
        {client, broken(R"("gridRows":3,"id":"6)", R"("gridRows":null,"id":"6)"),
         "layout.pages[1].gridRows: expected an integer, found null"},
        {client, broken(R"(6,"gridRows":3,"id":"1)", R"(6e0,"gridRows":3,"id":"1)"),
         "layout.pages[0].gridColumns: expected an integer, found a number that is not a 64-bit "
         "integer"},
        {client, broken(R"("position":1})", R"("position":9223372036854775808})"),
         "layout.pages[0].buttons[1].position: expected an integer, found a number that is not a "
         "64-bit integer"},
        {client, broken("000000000002", "00000000000G"),
         R"(layout.pages[0].buttons[1].id: not a UUID: "AAAAAAAA-0000-0000-0000-00000000000G")"},
        {client, broken("AA==", "AA="),
         "layout.pages[0].buttons[3].icon.dataBase64: custom icon is not valid Base64"},
        {client, broken("favicon.ico", "fav icon.ico"),
         R"(layout.pages[0].buttons[1].icon.url: not a valid URL: )"
         R"("https://example.com/fav icon.ico")"},
        {client, broken(R"("command","function")", R"("command","Function")"),
         R"(layout.pages[0].buttons[0].action.combo.modifiers[1]: unknown value "Function")"},
        {client, broken(R"(["command","function"])", R"("command")"),
         "layout.pages[0].buttons[0].action.combo.modifiers: expected an array, found a string"},
        {client, broken(R"("\/Applications\/Safari.app")", "7"),
         "layout.pages[0].buttons[1].action.fallbackPath: expected a string, found a number"},
        {client, broken(R"("delays":[0.5,1e-05],)", ""),
         "layout.pages[0].buttons[3].action.delays: missing key"},
        {client, broken(R"(1e-05])", R"("1"])"),
         "layout.pages[0].buttons[3].action.delays[1]: expected a number, found a string"},
        {client, broken(R"("command":"echo \"hi\"\n",)", ""),
         "layout.pages[0].buttons[3].action.actions[1].command: missing key"},
    };
    for (const auto& [decode, json, outcome] : cases) {
        EXPECT_EQ(decode(json), outcome) << json;
    }
}

TEST(ProtocolJSONDecoding, readsIntegersBeyond64BitsAsNumbersAndRefusesThemOnlyAsIntegers) {
    const std::string wide = "123456789012345678901234567890";
    const std::string notAnInteger = ": expected an integer, found a number that is not a 64-bit "
                                     "integer";
    const std::pair<std::string, std::string> cases[] = {
        // Where a number may stand, or where nothing is read, they are numbers like any other.
        {client(broken(R"("angle":22.5)", R"("angle":-)" + wide)),
         client(broken(R"("angle":22.5)", R"("angle":-1.2345678901234568e+29)"))},
        {action(R"({"type":"macro","actions":[],"delays":[18446744073709551616,)"
                R"(0.1234567890123456789012345678]})"),
         R"({"actions":[],"delays":[1.8446744073709552e+19,0.12345678901234568],"type":"macro"})"},
        {client(R"({"type":"list_apps","extra":[)" + wide + ",-" + wide + "]}"),
         R"({"type":"list_apps"})"},
        // Inside texts, escaped quotes included, digits are left alone.
        {client(R"({"type":"auth_request","code":"\")" + wide + R"(","n":)" + wide + "}"),
         R"({"code":"\")" + wide + R"(","type":"auth_request"})"},
        // Where an integer is read they are refused there, like any other out-of-range value.
        {client(broken(R"("order":1})", R"("order":)" + wide + "}")),
         "layout.pages[1].order" + notAnInteger},
        {client(broken(R"("position":2})", R"("position":18446744073709551616})")),
         "layout.pages[0].buttons[2].position" + notAnInteger},
        {client(broken(R"(6,"gridRows":3,"id":"1)", "-" + wide + R"(,"gridRows":3,"id":"1)")),
         "layout.pages[0].gridColumns" + notAnInteger},
        {client(R"({"type":"capture_keys","timeoutMs":-9223372036854775809})"),
         "timeoutMs" + notAnInteger},
        // Malformed numbers stay malformed, however wide.
        {client(R"({"type":"list_apps","extra":0)" + wide + "}"),
         "not valid JSON: a number is malformed or out of range"},
        {client(R"({"type":"list_apps","extra":)" + wide + ".}"),
         "not valid JSON: a number is malformed or out of range"},
    };
    for (const auto& [outcome, expected] : cases) {
        EXPECT_EQ(outcome, expected);
    }
}

TEST(ProtocolJSONDecoding, refusesTruncationsAndTrailingContentAndSurvivesSingleByteDamage) {
    for (const std::string_view trailing :
         {R"({"type":"list_apps"} {})", R"({"type":"list_apps"},)"}) {
        EXPECT_TRUE(client(trailing).starts_with("not valid JSON")) << trailing;
    }
    const char damages[] = {'"', '{', ']', ',', '0', '.', 'x', '\0', '\xff'};
    for (std::size_t position = 0; position < layoutUpdate.size(); ++position) {
        const std::string cut = client(layoutUpdate.substr(0, position));
        EXPECT_TRUE(cut == "empty input" || cut.starts_with("not valid JSON")) << position << cut;
        for (const char damage : damages) {
            std::string json(layoutUpdate);
            json[position] = damage;
            const auto decoded = ProtocolJSON::decodeClient(json);
            if (!decoded) {
                EXPECT_FALSE(decoded.error().description().empty());
                continue;
            }
            // Whatever decodes has one canonical form, which decodes to the same value.
            const auto canonical = ProtocolJSON::encode(*decoded);
            ASSERT_TRUE(canonical);
            const auto again = ProtocolJSON::decodeClient(*canonical);
            ASSERT_TRUE(again) << *canonical;
            EXPECT_EQ(*again, *decoded) << json;
            EXPECT_EQ(*ProtocolJSON::encode(*again), *canonical);
        }
    }
}

} // namespace
} // namespace quorix
