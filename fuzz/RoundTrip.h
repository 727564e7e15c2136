#pragma once

#include "FuzzSupport.h"
#include "QuorixProtocol/ProtocolJSON.h"

#include <string_view>

namespace quorix::fuzz {

/// What every decoder of the shared coder promises for any input: it either refuses, or
/// gives a value whose encoding decodes to an equal value and encodes to the same bytes.
/// Peers compare layouts by their encoding, so a value that changes on its way through
/// the coder would look like an edit nobody made.
template <typename Decode>
void requireRoundTrip(const std::uint8_t* data, std::size_t size, Decode decode) {
    const auto decoded = decode(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!decoded) {
        require(!decoded.error().message.empty(), "a refusal says why");
        return;
    }
    const Encoded encoded = ProtocolJSON::encode(*decoded);
    require(encoded.hasValue(), "a decoded value encodes");
    const auto again = decode(*encoded);
    require(again.hasValue(), "an encoding decodes");
    require(*again == *decoded, "decoding an encoding gives an equal value");
    const Encoded reencoded = ProtocolJSON::encode(*again);
    require(reencoded.hasValue() && *reencoded == *encoded, "encoding is byte-stable");
}

} // namespace quorix::fuzz
