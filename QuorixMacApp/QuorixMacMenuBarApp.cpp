#include "QuorixMacApp/AppDelegate.h"
#include "QuorixMacApp/BuildInfo.h"
#include "QuorixMacApp/SingleInstance.h"
#include "QuorixMacApp/TerminationSignals.h"

#include <QApplication>
#include <QIcon>

#include <iostream>
#include <string_view>

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

// Read before Qt sees the arguments, so asking for help needs no display and starts nothing.
bool asksForHelp(int argc, char** argv) {
    for (int index = 1; index < argc; ++index) {
        const std::string_view argument(argv[index]);
        if (argument == "--help" || argument == "-h") {
            return true;
        }
    }
    return false;
}

constexpr std::string_view usage =
    "usage: kestrane [--help]\n"
    "\n"
    "Receives button presses from paired phones and carries them out on this desktop.\n"
    "It listens on port 47532, puts its icon into the tray and opens the layout editor;\n"
    "started again, it asks the running copy to show its editor. Without a display it\n"
    "runs headless. Qt's own options, such as -platform NAME, are understood too.\n";

void printStatus(const QString& line) {
    // One write for the whole line: other threads log to the same stream, and a line cut
    // in two by theirs is no longer one that scripts can read.
    const std::string text = "kestrane: " + line.toStdString() + '\n';
    std::cerr.write(text.data(), static_cast<std::streamsize>(text.size()));
    std::cerr.flush();
}

} // namespace

int main(int argc, char** argv) {
    if (asksForHelp(argc, argv)) {
        std::cout << usage;
        return 0;
    }
    chooseOffscreenPlatformWithoutDisplay();
    QApplication application(argc, argv);
    // The name is the class of every window on X11, and the desktop file name the app id on
    // Wayland: the installed desktop entry names both, so a desktop files the running windows
    // under it.
    QApplication::setApplicationName(QStringLiteral("Kestrane"));
    QApplication::setDesktopFileName(QStringLiteral("kestrane"));
    QApplication::setApplicationVersion(QString(quorix::BuildInfo::shortVersion));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kestrane/kestrane.svg")));

    // A second start shows the running program's editor instead of a second receiver.
    quorix::SingleInstance instance;
    switch (instance.claim()) {
    case quorix::SingleInstance::Outcome::primary:
        break;
    case quorix::SingleInstance::Outcome::reopenedRunning:
        printStatus(QStringLiteral("already running; asked it to show its editor"));
        return 0;
    case quorix::SingleInstance::Outcome::runningButSilent:
        printStatus(QStringLiteral("already running, but it does not answer: ") +
                    instance.failure());
        return 1;
    case quorix::SingleInstance::Outcome::failed:
        // Without the lock two receivers could start; the port still keeps them apart.
        printStatus(QStringLiteral("cannot tell whether another copy runs: ") + instance.failure());
        break;
    }

    quorix::TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &quorix::TerminationSignals::terminationRequested,
                     &application, &QCoreApplication::quit);

    quorix::AppDelegate delegate(quorix::AppDelegate::Options{
        .shortVersion = quorix::BuildInfo::shortVersion.isEmpty()
                            ? std::nullopt
                            : std::optional<QString>(QString(quorix::BuildInfo::shortVersion)),
        .buildNumber = quorix::BuildInfo::buildNumber.isEmpty()
                           ? std::nullopt
                           : std::optional<QString>(QString(quorix::BuildInfo::buildNumber)),
    });
    QObject::connect(&delegate, &quorix::AppDelegate::pairingCompleted,
                     [] { printStatus(QStringLiteral("a phone connected")); });
    QObject::connect(&instance, &quorix::SingleInstance::reopenRequested, &delegate, [&delegate] {
        delegate.applicationShouldHandleReopen(delegate.hasVisibleWindows());
    });

    delegate.applicationDidFinishLaunching();
    const quorix::QuorixMacServerController& controller = delegate.controller();
    if (!controller.isRunning()) {
        printStatus(QStringLiteral("cannot receive on port %1: %2")
                        .arg(controller.preferredPort())
                        .arg(controller.lastError().value_or(QString())));
        if (!quorix::AppDelegate::hasDisplay()) {
            // Headless, nothing could restart the receiver: say why and end.
            delegate.applicationWillTerminate();
            return 1;
        }
    } else {
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
    }

    const int status = QApplication::exec();
    delegate.applicationWillTerminate();
    return status;
}
