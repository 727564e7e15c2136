#include "QuorixMacCore/Pairing/UserDefaultsPairingTokenStore.h"

#include "QuorixMacCore/Pairing/PairingLogging.h"

namespace quorix {

UserDefaultsPairingTokenStore::UserDefaultsPairingTokenStore(std::shared_ptr<UserDefaults> defaults,
                                                             QString key)
    : m_defaults(std::move(defaults))
    , m_key(std::move(key)) {}

std::set<std::string, std::less<>> UserDefaultsPairingTokenStore::readTokens() const {
    std::set<std::string, std::less<>> tokens;
    for (const QString& token : m_defaults->stringArray(m_key).value_or(QStringList{})) {
        tokens.insert(token.toStdString());
    }
    return tokens;
}

void UserDefaultsPairingTokenStore::save(std::string_view token) {
    std::scoped_lock lock(m_mutex);
    std::set<std::string, std::less<>> tokens = readTokens();
    tokens.emplace(token);
    // The set orders by bytes, which for UTF-8 is the order of code points.
    QStringList sorted;
    sorted.reserve(qsizetype(tokens.size()));
    for (const std::string& each : tokens) {
        sorted.append(QString::fromStdString(each));
    }
    m_defaults->setStringArray(m_key, sorted);
    if (!m_defaults->synchronize()) {
        qCWarning(lcPairing) << "A token could not be stored under" << m_key;
    }
}

bool UserDefaultsPairingTokenStore::contains(std::string_view token) const {
    std::scoped_lock lock(m_mutex);
    return readTokens().contains(token);
}

} // namespace quorix
