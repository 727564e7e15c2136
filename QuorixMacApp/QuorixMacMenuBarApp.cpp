#include "QuorixMacApp/AppDelegate.h"
#include "QuorixMacApp/TerminationSignals.h"

#include <QApplication>

#include <iostream>

namespace {

// The receiver works without windows, so a machine without a display still runs it:
// Qt's offscreen platform stands in for the missing one. A platform chosen explicitly
// for Qt is left alone.
void chooseOffscreenPlatformWithoutDisplay() {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

void printStatus(const QString& line) {
    std::cerr << "kestrane: " << line.toStdString() << std::endl;
}

} // namespace

int main(int argc, char** argv) {
    chooseOffscreenPlatformWithoutDisplay();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrane"));
    QApplication::setQuitOnLastWindowClosed(false);

    quorix::TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &quorix::TerminationSignals::terminationRequested,
                     &application, &QCoreApplication::quit);

    quorix::AppDelegate delegate;
    QObject::connect(&delegate, &quorix::AppDelegate::pairingCompleted,
                     [] { printStatus(QStringLiteral("a phone connected")); });
    // Until the pairing window exists, the code to type in goes to standard error.
    QObject::connect(
        &delegate, &quorix::AppDelegate::pairingCodeRequested,
        [](const QString& code) { printStatus(QStringLiteral("pairing code %1").arg(code)); });

    delegate.applicationDidFinishLaunching();
    const quorix::QuorixMacServerController& controller = delegate.controller();
    if (!controller.isRunning()) {
        // Without its listener the program has nothing to offer until a window can restart
        // it, so it says why and ends.
        printStatus(QStringLiteral("cannot receive on port %1: %2")
                        .arg(controller.preferredPort())
                        .arg(controller.lastError().value_or(QString())));
        delegate.applicationWillTerminate();
        return 1;
    }
    if (!controller.fingerprint().isEmpty()) {
        printStatus(QStringLiteral("speaking TLS, certificate fingerprint ") +
                    controller.fingerprint());
    } else if (controller.lastError()) {
        // The secure setting is on but no identity could be made: phones reach a plain
        // receiver, and the user is told why.
        printStatus(QStringLiteral("receiving without TLS: ") + *controller.lastError());
    }
    const std::optional<QString> memo = delegate.pairingCodeMemoPath();
    printStatus(QStringLiteral("listening on port %1, pairing code %2, memo %3")
                    .arg(controller.port().value_or(0))
                    .arg(controller.pairingCode(), memo.value_or(QStringLiteral("(none)"))));

    const int status = QApplication::exec();
    delegate.applicationWillTerminate();
    return status;
}
