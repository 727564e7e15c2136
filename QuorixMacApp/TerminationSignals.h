#pragma once

#include <QObject>

class QSocketNotifier;

namespace quorix {

/// Turns SIGINT and SIGTERM into a Qt signal on the thread that made this object, so that
/// termination runs the program's ordinary shut-down instead of ending it mid-way. Only one
/// may exist at a time; the signals' earlier handlers come back when it is destroyed.
class TerminationSignals final : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    /// Whether the handlers are in place.
    bool isInstalled() const { return m_notifier != nullptr; }

Q_SIGNALS:
    /// SIGINT or SIGTERM arrived; `signalNumber` says which.
    void terminationRequested(int signalNumber);

private:
    void drainPipe();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace quorix
