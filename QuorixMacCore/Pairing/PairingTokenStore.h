#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quorix {

/// Remembers the tokens given to paired phones. Stores never report errors: a failed read
/// counts as no tokens, a failed write is skipped. Each operation is atomic with respect
/// to other calls on the same object.
class PairingTokenStore {
public:
    virtual ~PairingTokenStore() = default;

    virtual void save(std::string_view token) = 0;
    /// Whether the token was saved (exact string equality).
    virtual bool contains(std::string_view token) const = 0;
};

class InMemoryPairingTokenStore final : public PairingTokenStore {
public:
    explicit InMemoryPairingTokenStore(std::set<std::string, std::less<>> tokens = {});

    void save(std::string_view token) override;
    bool contains(std::string_view token) const override;

private:
    std::set<std::string, std::less<>> m_tokens;
    mutable std::mutex m_mutex;
};

/// Saves into every member in order; a token known to any member is known.
class CompositePairingTokenStore final : public PairingTokenStore {
public:
    explicit CompositePairingTokenStore(std::vector<std::shared_ptr<PairingTokenStore>> stores);

    void save(std::string_view token) override;
    /// Asks the members in order and stops at the first that knows the token.
    bool contains(std::string_view token) const override;

    const std::vector<std::shared_ptr<PairingTokenStore>>& stores() const { return m_stores; }

private:
    const std::vector<std::shared_ptr<PairingTokenStore>> m_stores;
};

} // namespace quorix
