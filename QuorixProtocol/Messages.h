#pragma once

#include "QuorixProtocol/Models.h"

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace quorix {

enum class AuthFailureReason {
    invalidCode,
    expiredCode,
    locked,
    invalidToken,
    notAuthenticated,
    protocolError,
};

std::string_view rawValue(AuthFailureReason value);
template <>
std::optional<AuthFailureReason> fromRawValue<AuthFailureReason>(std::string_view text);

/// Phone to desktop.
struct QuorixClientMessage {
    struct AuthRequest {
        std::string code;
        bool operator==(const AuthRequest&) const = default;
    };
    struct AuthResume {
        std::string token;
        bool operator==(const AuthResume&) const = default;
    };
    struct Execute {
        UUID buttonId;
        ActionSpec action;
        bool operator==(const Execute&) const = default;
    };
    struct LayoutUpdate {
        LayoutRecord layout;
        bool operator==(const LayoutUpdate&) const = default;
    };
    struct CaptureKeys {
        std::int64_t timeoutMs = 0;
        bool operator==(const CaptureKeys&) const = default;
    };
    struct RequestState {
        bool operator==(const RequestState&) const = default;
    };
    struct ListApps {
        bool operator==(const ListApps&) const = default;
    };

    std::variant<AuthRequest, AuthResume, Execute, LayoutUpdate, CaptureKeys, RequestState,
                 ListApps>
        value;

    bool operator==(const QuorixClientMessage&) const = default;
};

/// Desktop to phone.
struct QuorixServerMessage {
    struct AuthSuccess {
        std::string token;
        std::string deviceName;
        DeviceType deviceType = DeviceType::mac;
        bool operator==(const AuthSuccess&) const = default;
    };
    struct AuthFailure {
        AuthFailureReason reason = AuthFailureReason::protocolError;
        bool operator==(const AuthFailure&) const = default;
    };
    struct ExecuteResult {
        UUID buttonId;
        bool success = false;
        std::optional<std::string> error;
        bool operator==(const ExecuteResult&) const = default;
    };
    struct CapturedKeys {
        KeyCombo combo;
        bool operator==(const CapturedKeys&) const = default;
    };
    struct AppsList {
        std::vector<AppInfo> apps;
        bool operator==(const AppsList&) const = default;
    };
    struct LayoutChanged {
        LayoutRecord layout;
        bool operator==(const LayoutChanged&) const = default;
    };

    using Payload = std::variant<AuthSuccess, AuthFailure, ExecuteResult, CapturedKeys, AppsList,
                                 LayoutChanged>;

    // Spelled out because the compiler cannot default-construct the variant inside the
    // class while its first alternative's member initialisers are still pending; queued
    // signals and containers need the default.
    QuorixServerMessage()
        : value(AuthSuccess{}) {}
    // The constraint keeps copies and moves of the message itself out of this overload.
    template <typename Alternative>
    requires std::is_constructible_v<Payload, Alternative&&>
    QuorixServerMessage(Alternative&& alternative) // NOLINT(bugprone-forwarding-reference-overload)
        : value(std::forward<Alternative>(alternative)) {}

    Payload value;

    bool operator==(const QuorixServerMessage&) const = default;
};

namespace QuorixNetworkDefaults {
inline constexpr std::uint16_t preferredPort = 47532;
} // namespace QuorixNetworkDefaults

} // namespace quorix
