#pragma once

#include "QuorixMacCore/Pairing/PairingTokenStore.h"
#include "QuorixMacCore/Platform/ApplicationDirectories.h"
#include "QuorixMacCore/Platform/UserDefaults.h"

#include <QString>

#include <array>

namespace quorix::PairingTokenStores {

/// The defaults key every defaults store uses.
inline constexpr QLatin1StringView defaultsKey{"quorix.pairing.tokens"};

/// The named suites that also keep tokens, after the standard domain.
inline constexpr std::array<QLatin1StringView, 3> suiteNames = {
    QLatin1StringView("app.quorix.mac.helper"),
    QLatin1StringView("quorix-mac-app"),
    QLatin1StringView("quorix-mac-m1"),
};

/// The store the server uses: every token goes to the standard defaults, the three suites
/// (a suite that cannot be opened is replaced by the standard defaults) and the token
/// file, and a token found in any of them is known.
std::shared_ptr<PairingTokenStore> persistent(UserDefaultsDomains& domains,
                                              const ApplicationDirectories& directories);
/// The same on the user's own defaults and directories.
std::shared_ptr<PairingTokenStore> persistent();

} // namespace quorix::PairingTokenStores
