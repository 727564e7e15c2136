#pragma once

#include <QByteArrayView>
#include <QFuture>
#include <QString>

#include <chrono>
#include <string>
#include <vector>

class QThreadPool;

namespace quorix {

/// A shortcut the user can pick for a button; both fields hold the shortcut's name.
struct ShortcutChoice {
    std::string id;
    std::string name;

    bool operator==(const ShortcutChoice&) const = default;
};

/// Lists the user's shortcuts by running the shortcuts tool with the argument "list".
/// Where the tool is missing, fails or misbehaves the list is simply empty.
class ShortcutScanner {
public:
    static constexpr const char* defaultToolPath = "/usr/bin/shortcuts";
    // A listing is one short line per shortcut; output beyond this is not a listing, and
    // holding it would only cost memory.
    static constexpr qsizetype maxListingBytes = qsizetype{16} * 1024 * 1024;
    // The tool answers from a local database; one that has not finished by then is stuck,
    // and would otherwise hold a pool thread for good.
    static constexpr std::chrono::seconds toolTimeout{60};

    explicit ShortcutScanner(QString toolPath = QString::fromLatin1(defaultToolPath));

    /// Runs the tool on a thread of `pool` (the global pool when null).
    QFuture<std::vector<ShortcutChoice>> scan(QThreadPool* pool = nullptr) const;

    /// Runs the tool and waits for it on the calling thread.
    std::vector<ShortcutChoice> scanBlocking() const;

    /// The choices in a listing: one per line, trimmed, empty lines dropped, duplicates
    /// and order kept. Output that is not UTF-8 lists nothing.
    static std::vector<ShortcutChoice> parseListing(QByteArrayView output);

private:
    QString m_toolPath;
};

} // namespace quorix
