#include "QuorixMacCore/Pairing/PairingTokenStores.h"

#include "QuorixMacCore/Pairing/FilePairingTokenStore.h"
#include "QuorixMacCore/Pairing/UserDefaultsPairingTokenStore.h"

namespace quorix::PairingTokenStores {

std::shared_ptr<PairingTokenStore> persistent(UserDefaultsDomains& domains,
                                              const ApplicationDirectories& directories) {
    const std::shared_ptr<UserDefaults> standard = domains.standard();
    std::vector<std::shared_ptr<PairingTokenStore>> stores;
    stores.push_back(std::make_shared<UserDefaultsPairingTokenStore>(standard, defaultsKey));
    for (const QLatin1StringView name : suiteNames) {
        std::shared_ptr<UserDefaults> suite = domains.suite(name);
        stores.push_back(
            std::make_shared<UserDefaultsPairingTokenStore>(suite ? suite : standard, defaultsKey));
    }
    stores.push_back(std::make_shared<FilePairingTokenStore>(
        FilePairingTokenStore::defaultFilePath(directories)));
    return std::make_shared<CompositePairingTokenStore>(std::move(stores));
}

std::shared_ptr<PairingTokenStore> persistent() {
    return persistent(*systemUserDefaultsDomains(), *systemApplicationDirectories());
}

} // namespace quorix::PairingTokenStores
