#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

class QLocalServer;

namespace quorix {

/// Keeps one running program per user: the first to start holds a lock and listens on a
/// local socket; a later start finds the lock taken and asks the running program, over the
/// socket, to show itself instead of starting a second receiver. A lock left by a program
/// that crashed is taken over, and its socket replaced.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        /// This process is the one running program.
        primary,
        /// Another program runs and was asked to show itself.
        reopenedRunning,
        /// Another program holds the lock but did not answer.
        runningButSilent,
        /// The lock or the socket could not be made at all.
        failed,
    };

    /// How long a later start waits for the running program to answer; it may still be
    /// starting its receiver.
    static constexpr std::chrono::milliseconds answerTimeout{10'000};

    /// The user's runtime folder ($XDG_RUNTIME_DIR), else a folder of the user's own under
    /// the temporary folder.
    static QString defaultDirectory();

    /// Uses the lock and socket in `directory`, made owner-only if missing.
    explicit SingleInstance(QString directory = defaultDirectory(), QObject* parent = nullptr);
    ~SingleInstance() override;

    /// Becomes the running program or asks the running one to show itself.
    Outcome claim(std::chrono::milliseconds timeout = answerTimeout);
    /// Why the last claim failed.
    const QString& failure() const { return m_failure; }
    QString socketPath() const;

Q_SIGNALS:
    /// A later start asked this program to show itself.
    void reopenRequested();

private:
    bool listen();
    Outcome askRunning(std::chrono::milliseconds timeout);

    const QString m_directory;
    QLockFile m_lock;
    QLocalServer* m_server = nullptr;
    QString m_failure;
};

} // namespace quorix
