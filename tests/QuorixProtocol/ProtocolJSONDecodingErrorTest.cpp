#include "QuorixProtocol/ProtocolJSON.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

// A valid layout_update with one button of each sort of payload; each case below breaks
// one part of it.
constexpr std::string_view validLayoutUpdate =
    R"({"type":"layout_update","layout":{"id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0",)"
    R"("theme":"liquidGlass","updatedAt":"2026-01-31T09:15:00Z","pages":[)"
    R"({"id":"11111111-2222-3333-4444-555555555555","name":"Main","order":0,"gradient":"zoom",)"
    R"("gridColumns":6,"gridRows":3,"buttons":[)"
    R"({"id":"AAAAAAAA-0000-0000-0000-000000000001","position":0,)"
    R"("icon":{"type":"sfSymbol","name":"star"},)"
    R"("colorGradient":{"startHex":"#111111","endHex":"#222222","angle":135},)"
    R"("action":{"type":"keyboardShortcut","combo":{"modifiers":["command"],"key":"c"}}},)"
    R"({"id":"AAAAAAAA-0000-0000-0000-000000000002","position":1,)"
    R"("icon":{"type":"favicon","url":"https://example.com/i.ico"},)"
    R"("colorGradient":{"startHex":"#333333","endHex":"#444444","angle":90},)"
    R"("action":{"type":"launchApp","bundleID":"com.example.app"}},)"
    R"({"id":"AAAAAAAA-0000-0000-0000-000000000003","position":2,)"
    R"("icon":{"type":"custom","dataBase64":"AAEC"},)"
    R"("colorGradient":{"startHex":"#555555","endHex":"#666666","angle":45},)"
    R"("action":{"type":"macro","actions":[{"type":"openURL","url":"https://example.com"},)"
    R"({"type":"shellCommand","command":"true"}],"delays":[0.5]}}]}]}})";

struct Breakage {
    std::string_view replaced;
    std::string_view replacement;
    std::string_view description;
};

const Breakage layoutBreakages[] = {
    {R"("type":"layout_update",)", "", "type: missing key"},
    {R"("type":"layout_update")", R"("type":"Layout_Update")",
     R"(type: unknown value "Layout_Update")"},
    {R"("id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0",)", "", "layout.id: missing key"},
    {R"("theme":"liquidGlass")", R"("theme":"LiquidGlass")",
     R"(layout.theme: unknown value "LiquidGlass")"},
    {R"("updatedAt":"2026-01-31T09:15:00Z")", R"("updatedAt":"2026-01-31T09:15:00.000Z")",
     R"(layout.updatedAt: not an ISO 8601 date-time with whole seconds: "2026-01-31T09:15:00.000Z")"},
    {R"("updatedAt":"2026-01-31T09:15:00Z")", R"("updatedAt":1769850900)",
     "layout.updatedAt: expected a date string, found a number"},
    {R"("gradient":"zoom")", R"("gradient":"Zoom")",
     R"(layout.pages[0].gradient: unknown value "Zoom")"},
    {R"("name":"Main",)", "", "layout.pages[0].name: missing key"},
    {R"("gridRows":3)", R"("gridRows":null)",
     "layout.pages[0].gridRows: expected an integer, found null"},
    {R"("order":0)", R"("order":0.0)",
     "layout.pages[0].order: expected an integer, found a number that is not a 64-bit integer"},
    {R"("gridColumns":6)", R"("gridColumns":6e0)",
     "layout.pages[0].gridColumns: expected an integer, found a number that is not a 64-bit "
     "integer"},
    {R"("position":1)", R"("position":9223372036854775808)",
     "layout.pages[0].buttons[1].position: expected an integer, found a number that is not a "
     "64-bit integer"},
    {R"("position":2,)", "", "layout.pages[0].buttons[2].position: missing key"},
    {R"("id":"AAAAAAAA-0000-0000-0000-000000000002")",
     R"("id":"AAAAAAAA-0000-0000-0000-00000000000G")",
     R"(layout.pages[0].buttons[1].id: not a UUID: "AAAAAAAA-0000-0000-0000-00000000000G")"},
    {R"("dataBase64":"AAEC")", R"("dataBase64":"AAE")",
     "layout.pages[0].buttons[2].icon.dataBase64: custom icon is not valid Base64"},
    {R"("dataBase64":"AAEC")", R"("dataBase64":"AA\nC")",
     "layout.pages[0].buttons[2].icon.dataBase64: custom icon is not valid Base64"},
    {R"("dataBase64":"AAEC")", R"("dataBase64":null)",
     "layout.pages[0].buttons[2].icon.dataBase64: expected a string, found null"},
    {R"("type":"custom",)", R"("type":"Custom",)",
     R"(layout.pages[0].buttons[2].icon.type: unknown value "Custom")"},
    {R"("url":"https://example.com/i.ico")", R"("url":"https://example.com/i co")",
     R"(layout.pages[0].buttons[1].icon.url: not a valid URL: "https://example.com/i co")"},
    {R"("name":"star")", R"("nam":"star")", "layout.pages[0].buttons[0].icon.name: missing key"},
    {R"("angle":90)", R"("angle":"90")",
     "layout.pages[0].buttons[1].colorGradient.angle: expected a number, found a string"},
    {R"("startHex":"#555555",)", "",
     "layout.pages[0].buttons[2].colorGradient.startHex: missing key"},
    {R"("modifiers":["command"])", R"("modifiers":["cmd"])",
     R"(layout.pages[0].buttons[0].action.combo.modifiers[0]: unknown value "cmd")"},
    {R"("modifiers":["command"])", R"("modifiers":"command")",
     "layout.pages[0].buttons[0].action.combo.modifiers: expected an array, found a string"},
    {R"("bundleID":"com.example.app")", R"("bundleID":"com.example.app","fallbackPath":7)",
     "layout.pages[0].buttons[1].action.fallbackPath: expected a string, found a number"},
    {R"("bundleID":"com.example.app")", R"("bundleId":"com.example.app")",
     "layout.pages[0].buttons[1].action.bundleID: missing key"},
    {R"(,"delays":[0.5])", "", "layout.pages[0].buttons[2].action.delays: missing key"},
    {R"("delays":[0.5])", R"("delays":[0.5,"1"])",
     "layout.pages[0].buttons[2].action.delays[1]: expected a number, found a string"},
    {R"({"type":"shellCommand","command":"true"})", R"({"type":"shellCommand"})",
     "layout.pages[0].buttons[2].action.actions[1].command: missing key"},
    {R"("url":"https://example.com"})", R"("url":""})",
     R"(layout.pages[0].buttons[2].action.actions[0].url: not a valid URL: "")"},
    {R"("type":"openURL")", R"("type":"openUrl")",
     R"(layout.pages[0].buttons[2].action.actions[0].type: unknown value "openUrl")"},
    {R"("pages":[)", R"("pages":7,"x":[)", "layout.pages: expected an array, found a number"},
};

std::string broken(const Breakage& breakage) {
    std::string json(validLayoutUpdate);
    const std::size_t at = json.find(breakage.replaced);
    EXPECT_NE(at, std::string::npos) << breakage.replaced;
    EXPECT_EQ(json.find(breakage.replaced, at + 1), std::string::npos)
        << "ambiguous: " << breakage.replaced;
    return json.replace(at, breakage.replaced.size(), breakage.replacement);
}

template <typename T>
std::string failureOf(const Decoded<T>& decoded) {
    return decoded ? std::string("(decoded)") : decoded.error().description();
}

TEST(ProtocolJSONDecoding, theUnbrokenLayoutUpdateDecodes) {
    const auto decoded = ProtocolJSON::decodeClient(validLayoutUpdate);
    ASSERT_TRUE(decoded) << decoded.error().description();
}

TEST(ProtocolJSONDecoding, namesThePathAndTheFaultOfAnyBrokenPartOfALayout) {
    for (const Breakage& breakage : layoutBreakages) {
        EXPECT_EQ(failureOf(ProtocolJSON::decodeClient(broken(breakage))), breakage.description);
    }
}

TEST(ProtocolJSONDecoding, aLayoutAloneHasPathsRootedAtTheLayout) {
    std::string layout(validLayoutUpdate.substr(validLayoutUpdate.find(R"({"id")")));
    layout.pop_back();
    ASSERT_TRUE(ProtocolJSON::decodeLayout(layout));
    layout.replace(layout.find("AAEC"), 4, "AA=E");
    EXPECT_EQ(failureOf(ProtocolJSON::decodeLayout(layout)),
              "pages[0].buttons[2].icon.dataBase64: custom icon is not valid Base64");
}

struct Malformed {
    std::string_view json;
    std::string_view description;
};

TEST(ProtocolJSONDecoding, refusesMalformedClientMessages) {
    const Malformed cases[] = {
        {"", "empty input"},
        {" \n\t", "empty input"},
        {R"([{"type":"list_apps"}])", "expected an object, found an array"},
        {R"("list_apps")", "expected an object, found a string"},
        {"null", "expected an object, found null"},
        {"{\"type\":\"auth_request\",\"code\":\"\xff\"}", "input is not valid UTF-8"},
        {"{\"type\":\"auth_request\",\"code\":\"\xed\xa0\x80\"}", "input is not valid UTF-8"},
        {R"({"code":"1"})", "type: missing key"},
        {R"({"type":null})", "type: expected a string, found null"},
        {R"({"type":["auth_request"]})", "type: expected a string, found an array"},
        {R"({"type":"AUTH_REQUEST","code":"1"})", R"(type: unknown value "AUTH_REQUEST")"},
        {R"({"type":"auth_request "})", R"(type: unknown value "auth_request ")"},
        {R"({"type":"auth_request"})", "code: missing key"},
        {R"({"type":"auth_request","code":123456})", "code: expected a string, found a number"},
        {R"({"type":"auth_resume","token":null})", "token: expected a string, found null"},
        {R"({"type":"execute","action":{"type":"shellCommand","command":"x"}})",
         "buttonId: missing key"},
        {R"({"type":"execute","buttonId":"E621E1F8C36C495A93FC0C247A3E6E5F","action":{}})",
         R"(buttonId: not a UUID: "E621E1F8C36C495A93FC0C247A3E6E5F")"},
        {R"({"type":"execute","buttonId":42,"action":{}})",
         "buttonId: expected a UUID string, found a number"},
        {R"({"type":"execute","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"})",
         "action: missing key"},
        {R"({"type":"execute","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","action":[]})",
         "action: expected an object, found an array"},
        {R"({"type":"execute","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
         R"("action":{"type":"foo"}})",
         R"(action.type: unknown value "foo")"},
        {R"({"type":"execute","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
         R"("action":{"type":"openURL","combo":{"modifiers":[],"key":"a"}}})",
         "action.url: missing key"},
        {R"({"type":"capture_keys","timeoutMs":2.5})",
         "timeoutMs: expected an integer, found a number that is not a 64-bit integer"},
        {R"({"type":"capture_keys","timeoutMs":2.0})",
         "timeoutMs: expected an integer, found a number that is not a 64-bit integer"},
        {R"({"type":"capture_keys","timeoutMs":"5000"})",
         "timeoutMs: expected an integer, found a string"},
        {R"({"type":"capture_keys","timeoutMs":true})",
         "timeoutMs: expected an integer, found a boolean"},
        {R"({"type":"capture_keys","timeoutMs":-9223372036854775809})",
         "not valid JSON: a number is malformed or out of range"},
        {R"({"type":"layout_update"})", "layout: missing key"},
        {R"({"type":"layout_update","layout":"{}"})", "layout: expected an object, found a string"},
    };
    for (const auto& [json, description] : cases) {
        EXPECT_EQ(failureOf(ProtocolJSON::decodeClient(json)), description) << json;
    }
}

TEST(ProtocolJSONDecoding, refusesMalformedServerMessages) {
    const Malformed cases[] = {
        {R"({"type":"request_state"})", R"(type: unknown value "request_state")"},
        {R"({"type":"auth_failure","reason":"Invalid_Code"})",
         R"(reason: unknown value "Invalid_Code")"},
        {R"({"type":"auth_failure"})", "reason: missing key"},
        {R"({"type":"auth_success","token":"t","deviceName":"d","deviceType":"linux"})",
         R"(deviceType: unknown value "linux")"},
        {R"({"type":"auth_success","token":"t","deviceType":"mac"})", "deviceName: missing key"},
        {R"({"type":"execute_result","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
         R"("success":"true"})",
         "success: expected a boolean, found a string"},
        {R"({"type":"execute_result","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
         R"("success":1})",
         "success: expected a boolean, found a number"},
        {R"({"type":"execute_result","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
         R"("success":false,"error":false})",
         "error: expected a string, found a boolean"},
        {R"({"type":"apps_list","apps":[{"name":"a","bundleID":"b","iconBase64":""},)"
         R"({"name":"a","bundleID":"b"}]})",
         "apps[1].iconBase64: missing key"},
        {R"({"type":"apps_list","apps":null})", "apps: expected an array, found null"},
        {R"({"type":"captured_keys","combo":{"modifiers":[],"key":null}})",
         "combo.key: expected a string, found null"},
        {R"({"type":"layout_changed","layout":{}})", "layout.id: missing key"},
    };
    for (const auto& [json, description] : cases) {
        EXPECT_EQ(failureOf(ProtocolJSON::decodeServer(json)), description) << json;
    }
}

TEST(ProtocolJSONDecoding, refusesMalformedStandaloneRecords) {
    const std::string_view qr = R"({"code":"1","serviceName":"s","usesSecureTransport":true,)";
    const std::pair<std::string, std::string_view> payloads[] = {
        {std::string(qr) + R"("port":70000})",
         "port: expected a port from 0 to 65535, found 70000"},
        {std::string(qr) + R"("port":-1})", "port: expected a port from 0 to 65535, found -1"},
        {std::string(qr) + R"("port":1.5})",
         "port: expected an integer, found a number that is not a 64-bit integer"},
        {std::string(qr) + R"("port":"47532"})", "port: expected an integer, found a string"},
        {std::string(qr) + R"("host":5})", "host: expected a string, found a number"},
        {R"({"code":"1","serviceName":"s","usesSecureTransport":"true"})",
         "usesSecureTransport: expected a boolean, found a string"},
        {R"({"code":"1","serviceName":"s"})", "usesSecureTransport: missing key"},
        {R"({"serviceName":"s","usesSecureTransport":false})", "code: missing key"},
    };
    for (const auto& [json, description] : payloads) {
        EXPECT_EQ(failureOf(ProtocolJSON::decodePairingQRCodePayload(json)), description) << json;
    }

    const std::string device = R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"n",)"
                               R"("deviceType":"mac","fingerprint":"f")";
    EXPECT_EQ(failureOf(ProtocolJSON::decodeDevice(device + "}")), "authToken: missing key");
    EXPECT_EQ(failureOf(ProtocolJSON::decodeDevice(
                  device + R"(,"authToken":"t","lastConnectedAt":"yesterday"})")),
              R"(lastConnectedAt: not an ISO 8601 date-time with whole seconds: "yesterday")");
    EXPECT_EQ(failureOf(ProtocolJSON::decodeDevice(
                  device + R"(,"authToken":"t","lastConnectedAt":"3000-01-01T00:00:00Z"})")),
              R"(lastConnectedAt: not an ISO 8601 date-time with whole seconds: )"
              R"("3000-01-01T00:00:00Z")");

    EXPECT_EQ(
        failureOf(ProtocolJSON::decodeKeyCombo(R"({"modifiers":["command","Shift"],"key":"a"})")),
        R"(modifiers[1]: unknown value "Shift")");
    EXPECT_EQ(
        failureOf(ProtocolJSON::decodeAppInfo(R"({"name":"a","bundleID":1,"iconBase64":""})")),
        "bundleID: expected a string, found a number");
    EXPECT_EQ(failureOf(ProtocolJSON::decodeAction(R"({"type":"macro","actions":[]})")),
              "delays: missing key");
}

TEST(ProtocolJSONDecoding, quotesLongOrOddValuesShortAndEscaped) {
    const std::string longType = R"({"type":")" + std::string(100, 'x') + R"("})";
    EXPECT_EQ(failureOf(ProtocolJSON::decodeAction(longType)),
              R"(type: unknown value ")" + std::string(64, 'x') + R"("...)");
    EXPECT_EQ(failureOf(ProtocolJSON::decodeAction(R"({"type":"a\"b\n"})")),
              R"(type: unknown value "a\"b\u000a")");
    // Cut back to a whole character rather than through one.
    const std::string accented = R"({"type":")" + std::string(63, 'x') + "é\"}";
    EXPECT_EQ(failureOf(ProtocolJSON::decodeAction(accented)),
              R"(type: unknown value ")" + std::string(63, 'x') + R"("...)");
}

std::string nestedMacros(int depth) {
    std::string json = R"({"type":"macro","actions":[],"delays":[]})";
    for (int level = 1; level < depth; ++level) {
        json = R"({"type":"macro","actions":[)" + json + R"(],"delays":[0]})";
    }
    return json;
}

TEST(ProtocolJSONDecoding, acceptsMacrosNestedToTheLimitAndNoDeeper) {
    EXPECT_TRUE(ProtocolJSON::decodeAction(nestedMacros(maxMacroNesting)));

    std::string path = "action";
    for (int level = 0; level < maxMacroNesting; ++level) {
        path += ".actions[0]";
    }
    const std::string message =
        R"({"type":"execute","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
        R"("action":)" +
        nestedMacros(maxMacroNesting + 1) + "}";
    EXPECT_EQ(failureOf(ProtocolJSON::decodeClient(message)),
              path + ": macros nested deeper than 32 levels");
    EXPECT_FALSE(ProtocolJSON::decodeAction(nestedMacros(1000)));
}

TEST(ProtocolJSONDecoding, refusesJSONNestedBeyondTheParsersDepth) {
    const std::string deep = R"({"type":"auth_request","code":"1","x":)" + std::string(5000, '[') +
                             std::string(5000, ']') + "}";
    EXPECT_EQ(failureOf(ProtocolJSON::decodeClient(deep)), "not valid JSON: nested too deeply");
}

TEST(ProtocolJSONDecoding, refusesEveryTruncationOfAValidMessage) {
    for (std::size_t length = 0; length < validLayoutUpdate.size(); ++length) {
        const auto decoded = ProtocolJSON::decodeClient(validLayoutUpdate.substr(0, length));
        ASSERT_FALSE(decoded) << length;
        const std::string description = decoded.error().description();
        EXPECT_TRUE(description == "empty input" || description.starts_with("not valid JSON"))
            << length << ": " << description;
    }
}

TEST(ProtocolJSONDecoding, survivesEverySingleByteDamageAndReencodesWhatStillDecodes) {
    const char damages[] = {'"', '{', ']', ',', '0', '.', 'x', '\0', '\xff'};
    for (std::size_t position = 0; position < validLayoutUpdate.size(); ++position) {
        for (const char damage : damages) {
            std::string json(validLayoutUpdate);
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

TEST(ProtocolJSONDecoding, refusesTrailingContent) {
    EXPECT_TRUE(failureOf(ProtocolJSON::decodeClient(R"({"type":"list_apps"} {})"))
                    .starts_with("not valid JSON"));
    EXPECT_TRUE(failureOf(ProtocolJSON::decodeClient(R"({"type":"list_apps"},)"))
                    .starts_with("not valid JSON"));
}

} // namespace
} // namespace quorix
