#include "QuorixMacCore/Actions/DryRunActionExecutor.h"
#include "QuorixMacCore/Catalog/InstalledAppsScanner.h"
#include "QuorixMacCore/Pairing/PairingService.h"
#include "QuorixMacCore/Platform/ApplicationDirectories.h"
#include "QuorixMacCore/Transport/SerialQueue.h"
#include "QuorixMacCore/Transport/TLSCertificateManager.h"
#include "QuorixMacCore/Transport/WebSocketServer.h"
#include "QuorixProtocol/ProtocolJSON.h"
#include "tools/CliCommand.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QSysInfo>

#include <charconv>
#include <csignal>
#include <functional>
#include <iostream>
#include <unistd.h>

namespace quorix::cli {

namespace {

int signalPipe[2] = {-1, -1};

void forwardSignal(int) {
    const char byte = 1;
    // Nothing else is safe in a signal handler; the event loop reads the pipe.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

/// Writes whole lines to standard output, in the order they were handed in from any thread.
/// Lines are made on a thread of their own: encoding a layout of megabytes to print it must
/// not hold up the connection thread that all phones share.
class LinePrinter {
public:
    explicit LinePrinter(std::ostream& out)
        : m_out(out) {}

    /// `writeLine` writes one line, without its end.
    void print(std::function<void(std::ostream&)> writeLine) {
        m_queue.post([this, writeLine = std::move(writeLine)] {
            writeLine(m_out);
            m_out << "\n";
            m_out.flush();
        });
    }

private:
    std::ostream& m_out;
    // Declared last: ending it runs the lines still waiting, while the stream is there.
    SerialQueue m_queue{QStringLiteral("kestrane-cli.output")};
};

/// {"<key>":<json>,"type":"<type>"}, keys sorted as everywhere else.
void writeEvent(std::ostream& out, std::string_view key, const Encoded& json,
                std::string_view type) {
    if (!json) {
        out << R"({"error":"unencodable","type":")" << type << "\"}";
        return;
    }
    out << "{\"" << key << "\":" << *json << ",\"type\":\"" << type << "\"}";
}

constexpr std::string_view serveUsage =
    "usage: kestrane-cli serve --dry-run [--port N] [--no-advertise] [--secure [--tls-dir DIR]]\n";

/// The identity in `directory`, or in the receiver's own folder when none is given; made
/// there first when it does not exist.
Expected<TLSIdentityBundle, TLSCertificateError>
loadIdentity(const std::optional<QString>& directory) {
    Expected<QString, TLSCertificateError> folder =
        directory ? Expected<QString, TLSCertificateError>(*directory)
                  : TLSCertificateManager::defaultDirectory(*systemApplicationDirectories());
    if (!folder) {
        return folder.error();
    }
    return TLSCertificateManager(*folder).loadOrCreateIdentity(QSysInfo::machineHostName());
}

int runServe(std::span<const std::string_view> arguments, Streams& streams) {
    bool dryRun = false;
    bool advertise = true;
    bool secure = false;
    std::optional<QString> tlsDirectory;
    std::uint16_t port = QuorixNetworkDefaults::preferredPort;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--dry-run") {
            dryRun = true;
        } else if (argument == "--no-advertise") {
            advertise = false;
        } else if (argument == "--secure") {
            secure = true;
        } else if (argument == "--tls-dir" && i + 1 < arguments.size()) {
            tlsDirectory = QString::fromUtf8(arguments[++i]);
        } else if (argument == "--port" && i + 1 < arguments.size()) {
            const std::string_view text = arguments[++i];
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
            if (error != std::errc() || end != text.data() + text.size()) {
                streams.err << "kestrane-cli serve: not a port: " << text << "\n";
                return exitUsage;
            }
        } else {
            streams.err << serveUsage;
            return exitUsage;
        }
    }
    if (tlsDirectory && !secure) {
        streams.err << "kestrane-cli serve: --tls-dir needs --secure\n" << serveUsage;
        return exitUsage;
    }
    if (!dryRun) {
        // Actions from a phone would reach this desktop; only the recording executor is
        // offered here.
        streams.err << "kestrane-cli serve: only --dry-run is supported\n";
        return exitUsage;
    }

    // Catalogue icons render through the GUI module, which needs a platform even
    // without a display.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int argc = 1;
    char name[] = "kestrane-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);

    std::optional<TLSIdentityBundle> identity;
    if (secure) {
        Expected<TLSIdentityBundle, TLSCertificateError> loaded = loadIdentity(tlsDirectory);
        if (!loaded) {
            streams.err << "kestrane-cli serve: " << loaded.error().description().toStdString()
                        << "\n";
            return exitFailure;
        }
        identity = std::move(loaded).value();
    }

    if (::pipe(signalPipe) != 0) {
        streams.err << "kestrane-cli serve: cannot set up signal handling\n";
        return exitFailure;
    }
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &application,
                     [] { QCoreApplication::quit(); });
    std::signal(SIGINT, forwardSignal);
    std::signal(SIGTERM, forwardSignal);

    LinePrinter printer(streams.out);
    auto executor = std::make_shared<DryRunActionExecutor>([&printer](const ActionSpec& action) {
        printer.print([action](std::ostream& out) {
            writeEvent(out, "action", ProtocolJSON::encode(action), "executed");
        });
    });
    auto pairingService = std::make_shared<PairingService>(
        PairingConfiguration::standard, std::make_shared<InMemoryPairingTokenStore>());
    const std::string code = pairingService->issueNewCode();
    auto server = std::make_unique<WebSocketServer>(
        QSysInfo::machineHostName(), pairingService, executor,
        std::make_shared<InstalledAppsScanner>(),
        identity ? TransportSecurityMode::secureSelfSigned
                 : TransportSecurityMode::plaintextForLocalTesting,
        identity, QString::fromStdString(code));
    server->setOnLayoutUpdate([&printer](LayoutRecord layout) {
        printer.print([layout = std::move(layout)](std::ostream& out) {
            writeEvent(out, "layout", ProtocolJSON::encode(layout), "layout_received");
        });
    });

    const auto started = server->start(port, advertise);
    if (!started) {
        streams.err << "kestrane-cli serve: " << started.error().description().toStdString()
                    << "\n";
        return exitFailure;
    }
    const std::string fingerprint =
        identity ? R"("fingerprint":")" + identity->fingerprintSHA256.toStdString() + "\"," : "";
    printer.print([line = "{" + fingerprint + R"("pairingCode":")" + code + R"(","port":)" +
                          std::to_string(*started) + "}"](std::ostream& out) { out << line; });

    QGuiApplication::exec();

    server.reset();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    return exitSuccess;
}

} // namespace

Command serveCommand() {
    return {"serve", "--dry-run [--port N] [--no-advertise] [--secure [--tls-dir DIR]]",
            "Run the receiver without carrying out any action.",
            "Listens for phones on port N (default 47532; 0 picks a free port) and advertises\n"
            "the service by DNS-SD unless --no-advertise is given. The first line of standard\n"
            "output is {\"pairingCode\":\"CODE\",\"port\":PORT}; then one JSON line follows for\n"
            "every action a phone executes ({\"action\":...,\"type\":\"executed\"}) and every\n"
            "layout a phone sends ({\"layout\":...,\"type\":\"layout_received\"}). Actions are\n"
            "recorded and reported as successful, never carried out. Tokens are kept in memory\n"
            "for the life of the process. SIGINT or SIGTERM stops the receiver cleanly.\n"
            "\n"
            "With --secure phones must speak TLS. The receiver's self-signed identity is kept\n"
            "in DIR (default ~/.local/share/Quorix/M1TLS) and made there with openssl when it\n"
            "does not exist; the first line then also carries the certificate's SHA-256\n"
            "fingerprint, which phones pin: {\"fingerprint\":\"HEX\",\"pairingCode\":...}.\n",
            runServe};
}

} // namespace quorix::cli
