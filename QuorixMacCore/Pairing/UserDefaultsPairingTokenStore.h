#pragma once

#include "QuorixMacCore/Pairing/PairingTokenStore.h"
#include "QuorixMacCore/Platform/UserDefaults.h"

#include <QString>

namespace quorix {

/// Tokens as a string array under one key of a defaults domain: sorted ascending, without
/// duplicates. Anything under the key that is not an array of strings counts as no tokens.
class UserDefaultsPairingTokenStore final : public PairingTokenStore {
public:
    UserDefaultsPairingTokenStore(std::shared_ptr<UserDefaults> defaults, QString key);

    void save(std::string_view token) override;
    bool contains(std::string_view token) const override;

private:
    std::set<std::string, std::less<>> readTokens() const;

    const std::shared_ptr<UserDefaults> m_defaults;
    const QString m_key;
    mutable std::mutex m_mutex;
};

} // namespace quorix
