#pragma once

#include "QuorixProtocol/Messages.h"
#include "QuorixProtocol/PairingQRCodePayload.h"

#include <string>
#include <string_view>

namespace quorix {

/// Why some input did not decode: the path of the offending key
/// ("layout.pages[0].buttons[2].icon.dataBase64") and what was wrong with it.
struct DecodingError {
    std::string path;
    std::string message;

    /// "path: message", or the message alone at the top level.
    std::string description() const;
    bool operator==(const DecodingError&) const = default;
};

/// A value that cannot be written as JSON (a number that is not finite).
struct EncodingError {
    std::string path;
    std::string message;

    std::string description() const;
    bool operator==(const EncodingError&) const = default;
};

template <typename T>
using Decoded = Expected<T, DecodingError>;
using Encoded = Expected<std::string, EncodingError>;

/// The one shared coder pair: compact JSON with sorted keys, "/" escaped, UUIDs in upper
/// case, dates as ISO 8601 whole seconds. Encoding the same value twice gives the same
/// bytes; decoding is strict and never throws.
namespace ProtocolJSON {

Encoded encode(const QuorixClientMessage& message);
Encoded encode(const QuorixServerMessage& message);
Decoded<QuorixClientMessage> decodeClient(std::string_view bytes);
Decoded<QuorixServerMessage> decodeServer(std::string_view bytes);

// The records travel on their own too: the stored layout, the QR payload.
Encoded encode(const LayoutRecord& layout);
Encoded encode(const ActionSpec& action);
Encoded encode(const KeyCombo& combo);
Encoded encode(const AppInfo& app);
Encoded encode(const DeviceRecord& device);
Encoded encode(const PairingQRCodePayload& payload);
Decoded<LayoutRecord> decodeLayout(std::string_view bytes);
Decoded<ActionSpec> decodeAction(std::string_view bytes);
Decoded<KeyCombo> decodeKeyCombo(std::string_view bytes);
Decoded<AppInfo> decodeAppInfo(std::string_view bytes);
Decoded<DeviceRecord> decodeDevice(std::string_view bytes);
Decoded<PairingQRCodePayload> decodePairingQRCodePayload(std::string_view bytes);

} // namespace ProtocolJSON

/// Deepest nesting of macros accepted in decoded input; hostile input must not be able
/// to exhaust the stack.
inline constexpr int maxMacroNesting = 32;

} // namespace quorix
