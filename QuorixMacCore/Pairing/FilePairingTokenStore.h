#pragma once

#include "QuorixMacCore/Pairing/PairingTokenStore.h"
#include "QuorixMacCore/Platform/ApplicationDirectories.h"

#include <QString>

#include <optional>

namespace quorix {

/// Tokens as one JSON array of strings in a file, read afresh on every call. The file is
/// written atomically with mode 0600 in a folder of mode 0700. A file that is not such an
/// array counts as no tokens and is replaced whole at the next save.
class FilePairingTokenStore final : public PairingTokenStore {
public:
    static constexpr QLatin1StringView fileName{"pairing-tokens.json"};

    /// "pairing-tokens.json" in the program's folder of those directories.
    static QString defaultFilePath(const ApplicationDirectories& directories);

    /// At `filePath`, or at the default place of the user's directories when absent.
    explicit FilePairingTokenStore(std::optional<QString> filePath = std::nullopt);

    const QString& filePath() const { return m_filePath; }

    void save(std::string_view token) override;
    bool contains(std::string_view token) const override;

private:
    std::set<std::string, std::less<>> readTokens() const;

    const QString m_filePath;
    mutable std::mutex m_mutex;
};

} // namespace quorix
