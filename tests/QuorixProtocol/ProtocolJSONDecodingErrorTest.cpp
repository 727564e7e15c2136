#include "QuorixProtocol/ProtocolJSON.h"

#include <gtest/gtest.h>
#include <vector>

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
    R"("colorGradient":{"startHex":"#555555","endHex":"#666666","angle":4.5e1},)"
    R"("action":{"type":"macro","actions":[{"type":"openURL","url":"https://example.com"},)"
    R"({"type":"shellCommand","command":"true"}],"delays":[0.5]}}]}]}})";

struct Breakage {
    std::string_view replaced;
    std::string_view replacement;
    std::string_view description;
};

const Breakage layoutBreakages[] = {
    {R"("id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0",)", "", "layout.id: missing key"},
    {R"("theme":"liquidGlass")", R"("theme":"LiquidGlass")",
     R"(layout.theme: unknown value "LiquidGlass")"},
    {R"("updatedAt":"2026-01-31T09:15:00Z")", R"("updatedAt":"2026-01-31T09:15:00.000Z")",
     R"(layout.updatedAt: not an ISO 8601 date-time with whole seconds: "2026-01-31T09:15:00.000Z")"},
    {R"("updatedAt":"2026-01-31T09:15:00Z")", R"("updatedAt":1769850900)",
     "layout.updatedAt: expected a date string, found a number"},
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
    {R"("id":"AAAAAAAA-0000-0000-0000-000000000002")",
     R"("id":"AAAAAAAA-0000-0000-0000-00000000000G")",
     R"(layout.pages[0].buttons[1].id: not a UUID: "AAAAAAAA-0000-0000-0000-00000000000G")"},
    {R"("dataBase64":"AAEC")", R"("dataBase64":"AAE")",
     "layout.pages[0].buttons[2].icon.dataBase64: custom icon is not valid Base64"},
    {R"("url":"https://example.com/i.ico")", R"("url":"https://example.com/i co")",
     R"(layout.pages[0].buttons[1].icon.url: not a valid URL: "https://example.com/i co")"},
    {R"("name":"star")", R"("nam":"star")", "layout.pages[0].buttons[0].icon.name: missing key"},
    {R"("angle":90)", R"("angle":"90")",
     "layout.pages[0].buttons[1].colorGradient.angle: expected a number, found a string"},
    {R"("modifiers":["command"])", R"("modifiers":["cmd"])",
     R"(layout.pages[0].buttons[0].action.combo.modifiers[0]: unknown value "cmd")"},
    {R"("modifiers":["command"])", R"("modifiers":"command")",
     "layout.pages[0].buttons[0].action.combo.modifiers: expected an array, found a string"},
    {R"("bundleID":"com.example.app")", R"("bundleID":"com.example.app","fallbackPath":7)",
     "layout.pages[0].buttons[1].action.fallbackPath: expected a string, found a number"},
    {R"(,"delays":[0.5])", "", "layout.pages[0].buttons[2].action.delays: missing key"},
    {R"("delays":[0.5])", R"("delays":[0.5,"1"])",
     "layout.pages[0].buttons[2].action.delays[1]: expected a number, found a string"},
    {R"({"type":"shellCommand","command":"true"})", R"({"type":"shellCommand"})",
     "layout.pages[0].buttons[2].action.actions[1].command: missing key"},
    {R"("type":"openURL")", R"("type":"openUrl")",
     R"(layout.pages[0].buttons[2].action.actions[0].type: unknown value "openUrl")"},
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

TEST(ProtocolJSONDecoding, namesThePathAndTheFaultOfAnyBrokenPartOfALayout) {
    const auto unbroken = ProtocolJSON::decodeClient(validLayoutUpdate);
    ASSERT_TRUE(unbroken) << unbroken.error().description();
    for (const Breakage& breakage : layoutBreakages) {
        EXPECT_EQ(failureOf(ProtocolJSON::decodeClient(broken(breakage))), breakage.description);
    }
}

template <auto decode>
std::string failureOfDecoding(std::string_view json) {
    return failureOf(decode(json));
}

struct Malformed {
    std::string (*decoding)(std::string_view);
    std::string json;
    std::string description;
};

constexpr auto client = failureOfDecoding<ProtocolJSON::decodeClient>;
constexpr auto server = failureOfDecoding<ProtocolJSON::decodeServer>;
constexpr auto action = failureOfDecoding<ProtocolJSON::decodeAction>;
constexpr auto layout = failureOfDecoding<ProtocolJSON::decodeLayout>;
constexpr auto qrPayload = failureOfDecoding<ProtocolJSON::decodePairingQRCodePayload>;
constexpr auto device = failureOfDecoding<ProtocolJSON::decodeDevice>;

TEST(ProtocolJSONDecoding, refusesMalformedMessagesAndRecordsNamingTheFault) {
    const std::string qr = R"({"code":"1","serviceName":"s","usesSecureTransport":true,)";
    const std::string execute =
        R"({"type":"execute","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F")";
    const std::string x64(64, 'x');
    const Malformed cases[] = {
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
        {client, R"({"type":"auth_request","code":123456})",
         "code: expected a string, found a number"},
        {client, R"({"type":"execute","buttonId":42,"action":{}})",
         "buttonId: expected a UUID string, found a number"},
        {client, execute + R"(,"action":[]})", "action: expected an object, found an array"},
        {client, execute + R"(,"action":{"type":"openURL","combo":{"modifiers":[],"key":"a"}}})",
         "action.url: missing key"},
        {client, R"({"type":"capture_keys","timeoutMs":2.0})",
         "timeoutMs: expected an integer, found a number that is not a 64-bit integer"},
        {client, R"({"type":"capture_keys","timeoutMs":true})",
         "timeoutMs: expected an integer, found a boolean"},
        {client, R"({"type":"capture_keys","timeoutMs":-9223372036854775809})",
         "not valid JSON: a number is malformed or out of range"},
        {server, R"({"type":"request_state"})", R"(type: unknown value "request_state")"},
        {server, R"({"type":"auth_failure","reason":"Invalid_Code"})",
         R"(reason: unknown value "Invalid_Code")"},
        {server, R"({"type":"auth_success","token":"t","deviceName":"d","deviceType":"linux"})",
         R"(deviceType: unknown value "linux")"},
        {server,
         R"({"type":"execute_result","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
         R"("success":"true"})",
         "success: expected a boolean, found a string"},
        {server,
         R"({"type":"apps_list","apps":[{"name":"a","bundleID":"b","iconBase64":""},)"
         R"({"name":"a","bundleID":"b"}]})",
         "apps[1].iconBase64: missing key"},
        {server, R"({"type":"layout_changed","layout":{}})", "layout.id: missing key"},
        {layout, R"({"id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","pages":{}})",
         "pages: expected an array, found an object"},
        {qrPayload, qr + R"("port":70000})", "port: expected a port from 0 to 65535, found 70000"},
        {qrPayload, qr + R"("port":-1})", "port: expected a port from 0 to 65535, found -1"},
        {device,
         R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"n","deviceType":"mac",)"
         R"("fingerprint":"f","authToken":"t","lastConnectedAt":"3000-01-01T00:00:00Z"})",
         R"(lastConnectedAt: not an ISO 8601 date-time with whole seconds: "3000-01-01T00:00:00Z")"},
        // Quoted values are cut short, at a whole character, and escaped.
        {action, R"({"type":")" + x64 + R"(xx"})", R"(type: unknown value ")" + x64 + R"("...)"},
        {action, R"({"type":")" + x64.substr(1) + "é\"}",
         R"(type: unknown value ")" + x64.substr(1) + R"("...)"},
        {action, R"({"type":"a\"b\n"})", R"(type: unknown value "a\"b\u000a")"},
    };
    for (const auto& [decoding, json, description] : cases) {
        EXPECT_EQ(decoding(json), description) << json;
    }
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
    EXPECT_EQ(client(R"({"type":"execute","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
                     R"("action":)" +
                     nestedMacros(maxMacroNesting + 1) + "}"),
              path + ": macros nested deeper than 32 levels");
    EXPECT_FALSE(ProtocolJSON::decodeAction(nestedMacros(1000)));
}

TEST(ProtocolJSONDecoding, refusesEveryTruncationOfAValidMessageAndTrailingContent) {
    std::vector<std::string> inputs = {R"({"type":"list_apps"} {})", R"({"type":"list_apps"},)"};
    for (std::size_t length = 0; length < validLayoutUpdate.size(); ++length) {
        inputs.emplace_back(validLayoutUpdate.substr(0, length));
    }
    for (const std::string& json : inputs) {
        const std::string description = failureOf(ProtocolJSON::decodeClient(json));
        EXPECT_TRUE(description == "empty input" || description.starts_with("not valid JSON"))
            << json << ": " << description;
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

} // namespace
} // namespace quorix
