#include "QuorixMacCore/Pairing/PairingTokenStore.h"

#include <algorithm>

namespace quorix {

InMemoryPairingTokenStore::InMemoryPairingTokenStore(std::set<std::string, std::less<>> tokens)
    : m_tokens(std::move(tokens)) {}

void InMemoryPairingTokenStore::save(std::string_view token) {
    std::scoped_lock lock(m_mutex);
    m_tokens.emplace(token);
}

bool InMemoryPairingTokenStore::contains(std::string_view token) const {
    std::scoped_lock lock(m_mutex);
    return m_tokens.find(token) != m_tokens.end();
}

CompositePairingTokenStore::CompositePairingTokenStore(
    std::vector<std::shared_ptr<PairingTokenStore>> stores)
    : m_stores([&] {
        std::erase(stores, nullptr);
        return std::move(stores);
    }()) {}

void CompositePairingTokenStore::save(std::string_view token) {
    for (const auto& store : m_stores) {
        store->save(token);
    }
}

bool CompositePairingTokenStore::contains(std::string_view token) const {
    return std::any_of(m_stores.begin(), m_stores.end(),
                       [&](const auto& store) { return store->contains(token); });
}

} // namespace quorix
