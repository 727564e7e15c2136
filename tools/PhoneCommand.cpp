#include "QuorixProtocol/ProtocolJSON.h"
#include "tools/CliCommand.h"
#include "tools/PhoneConnection.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <charconv>
#include <cstring>
#include <fstream>
#include <iostream>

namespace quorix::cli {

namespace {

constexpr std::chrono::milliseconds defaultTimeout{10'000};

struct PhoneOptions {
    QString host = QStringLiteral("127.0.0.1");
    std::uint16_t port = QuorixNetworkDefaults::preferredPort;
    std::optional<std::string> token;
    bool secure = false;
    /// Lower-case SHA-256 hex of the certificate a secure receiver must present.
    std::optional<QString> fingerprint;
    std::chrono::milliseconds timeout = defaultTimeout;
    std::string_view action;
    std::vector<std::string_view> operands;
};

constexpr std::string_view usage =
    "usage: kestrane-cli phone [--host H] [--port P] [--secure --fingerprint HEX] [--token T]\n"
    "       [--timeout MS]\n"
    "       pair CODE | resume TOKEN | execute ACTION-JSON | push-layout FILE | list-apps | "
    "watch\n";

template <typename Number>
bool parseNumber(std::string_view text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::optional<PhoneOptions> parseOptions(std::span<const std::string_view> arguments,
                                         Streams& streams) {
    PhoneOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == "--host" && hasValue) {
            options.host = QString::fromUtf8(arguments[++i]);
        } else if (argument == "--port" && hasValue) {
            if (!parseNumber(arguments[++i], options.port)) {
                streams.err << "kestrane-cli phone: not a port: " << arguments[i] << "\n";
                return std::nullopt;
            }
        } else if (argument == "--secure") {
            options.secure = true;
        } else if (argument == "--fingerprint" && hasValue) {
            const QString text = QString::fromUtf8(arguments[++i]).toLower();
            static const QRegularExpression sha256Hex(QStringLiteral("^[0-9a-f]{64}$"));
            if (!sha256Hex.match(text).hasMatch()) {
                streams.err << "kestrane-cli phone: not a SHA-256 fingerprint (64 hexadecimal "
                               "digits): "
                            << arguments[i] << "\n";
                return std::nullopt;
            }
            options.fingerprint = text;
        } else if (argument == "--token" && hasValue) {
            options.token = std::string(arguments[++i]);
        } else if (argument == "--timeout" && hasValue) {
            int milliseconds = 0;
            if (!parseNumber(arguments[++i], milliseconds) || milliseconds <= 0) {
                streams.err << "kestrane-cli phone: not a time-out: " << arguments[i] << "\n";
                return std::nullopt;
            }
            options.timeout = std::chrono::milliseconds(milliseconds);
        } else if (argument.starts_with("--")) {
            streams.err << "kestrane-cli phone: unknown option " << argument << "\n" << usage;
            return std::nullopt;
        } else if (options.action.empty()) {
            options.action = argument;
        } else {
            options.operands.push_back(argument);
        }
    }
    if (options.secure != options.fingerprint.has_value()) {
        // TLS without a pinned certificate would trust whoever answers, and a pin without
        // TLS would be ignored: neither is what the caller meant.
        streams.err << "kestrane-cli phone: --secure and --fingerprint go together\n" << usage;
        return std::nullopt;
    }
    static constexpr std::pair<std::string_view, std::size_t> actions[] = {
        {"pair", 1},        {"resume", 1},    {"execute", 1},
        {"push-layout", 1}, {"list-apps", 0}, {"watch", 0},
    };
    for (const auto& [name, operandCount] : actions) {
        if (name == options.action && options.operands.size() == operandCount) {
            return options;
        }
    }
    streams.err << usage;
    return std::nullopt;
}

void printLine(const QByteArray& json, Streams& streams) {
    streams.out.write(json.constData(), json.size());
    streams.out << "\n";
    streams.out.flush();
}

/// Waits for the first message that `wanted` accepts, printing nothing on the way; false
/// (with the reason on standard error) when none comes.
template <typename Wanted>
bool awaitMessage(PhoneConnection& connection, const PhoneOptions& options, Streams& streams,
                  Wanted wanted, QuorixServerMessage& message, QByteArray& raw) {
    while (true) {
        std::string problem;
        switch (connection.next(options.timeout, message, raw, problem)) {
        case PhoneConnection::Received::message:
            if (wanted(message)) {
                return true;
            }
            continue;
        case PhoneConnection::Received::closed:
            streams.err << "kestrane-cli phone: the connection closed\n";
            return false;
        case PhoneConnection::Received::timedOut:
            streams.err << "kestrane-cli phone: no answer in time\n";
            return false;
        case PhoneConnection::Received::invalid:
            streams.err << "kestrane-cli phone: " << problem << "\n";
            return false;
        }
    }
}

bool isAuthReply(const QuorixServerMessage& message) {
    return std::holds_alternative<QuorixServerMessage::AuthSuccess>(message.value) ||
           std::holds_alternative<QuorixServerMessage::AuthFailure>(message.value);
}

/// Sends an authentication message and waits for its answer; the answer is printed
/// when `print` is set, and a failure always goes to standard error.
bool authenticate(PhoneConnection& connection, const QuorixClientMessage& request,
                  const PhoneOptions& options, Streams& streams, bool print,
                  std::optional<std::string>& token) {
    QuorixServerMessage reply;
    QByteArray raw;
    if (!connection.send(request) ||
        !awaitMessage(connection, options, streams, isAuthReply, reply, raw)) {
        return false;
    }
    if (const auto* failure = std::get_if<QuorixServerMessage::AuthFailure>(&reply.value)) {
        streams.err << "kestrane-cli phone: authentication refused: " << rawValue(failure->reason)
                    << "\n";
        if (print) {
            printLine(raw, streams);
        }
        return false;
    }
    token = std::get<QuorixServerMessage::AuthSuccess>(reply.value).token;
    if (print) {
        printLine(raw, streams);
    }
    return true;
}

int request(PhoneConnection& connection, const QuorixClientMessage& message,
            const PhoneOptions& options, Streams& streams,
            const std::function<bool(const QuorixServerMessage&)>& isAnswer) {
    QuorixServerMessage reply;
    QByteArray raw;
    if (!connection.send(message)) {
        streams.err << "kestrane-cli phone: could not send\n";
        return exitFailure;
    }
    const auto answerOrRefusal = [&](const QuorixServerMessage& candidate) {
        return isAnswer(candidate) ||
               std::holds_alternative<QuorixServerMessage::AuthFailure>(candidate.value);
    };
    if (!awaitMessage(connection, options, streams, answerOrRefusal, reply, raw)) {
        return exitFailure;
    }
    printLine(raw, streams);
    if (std::holds_alternative<QuorixServerMessage::AuthFailure>(reply.value)) {
        return exitFailure;
    }
    if (const auto* result = std::get_if<QuorixServerMessage::ExecuteResult>(&reply.value)) {
        return result->success ? exitSuccess : exitFailure;
    }
    return exitSuccess;
}

std::optional<std::string> readFile(std::string_view path, Streams& streams) {
    std::ifstream file{std::string(path), std::ios::binary};
    if (!file) {
        streams.err << "cannot read " << path << ": " << std::strerror(errno) << "\n";
        return std::nullopt;
    }
    return readAll(file);
}

int runPhone(std::span<const std::string_view> arguments, Streams& streams) {
    const std::optional<PhoneOptions> parsed = parseOptions(arguments, streams);
    if (!parsed) {
        return exitUsage;
    }
    const PhoneOptions& options = *parsed;
    int argc = 1;
    char name[] = "kestrane-cli";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);

    // Check what will be sent before connecting, so a typo costs no pairing attempt.
    QuorixClientMessage message;
    if (options.action == "pair") {
        message = {QuorixClientMessage::AuthRequest{std::string(options.operands[0])}};
    } else if (options.action == "resume") {
        message = {QuorixClientMessage::AuthResume{std::string(options.operands[0])}};
    } else if (options.action == "execute") {
        Decoded<ActionSpec> action = ProtocolJSON::decodeAction(options.operands[0]);
        if (!action) {
            streams.err << "kestrane-cli phone: not an action: " << action.error().description()
                        << "\n";
            return exitFailure;
        }
        message = {QuorixClientMessage::Execute{UUID::random(), std::move(action).value()}};
    } else if (options.action == "push-layout") {
        const std::optional<std::string> text = readFile(options.operands[0], streams);
        if (!text) {
            return exitFailure;
        }
        Decoded<LayoutRecord> layout = ProtocolJSON::decodeLayout(*text);
        if (!layout) {
            streams.err << "kestrane-cli phone: not a layout: " << layout.error().description()
                        << "\n";
            return exitFailure;
        }
        message = {QuorixClientMessage::LayoutUpdate{std::move(layout).value()}};
    } else if (options.action == "list-apps") {
        message = {QuorixClientMessage::ListApps{}};
    }

    PhoneConnection connection;
    if (const auto failure =
            connection.open(options.host, options.port, options.timeout, options.fingerprint)) {
        streams.err << "kestrane-cli phone: " << *failure << "\n";
        return exitFailure;
    }
    std::optional<std::string> token;
    if (options.token && options.action != "pair" && options.action != "resume") {
        if (!authenticate(connection, {QuorixClientMessage::AuthResume{*options.token}}, options,
                          streams, options.action == "watch", token)) {
            return exitFailure;
        }
    }

    if (options.action == "pair") {
        if (!authenticate(connection, message, options, streams, false, token)) {
            return exitFailure;
        }
        streams.out << *token << "\n";
        return exitSuccess;
    }
    if (options.action == "resume") {
        return authenticate(connection, message, options, streams, true, token) ? exitSuccess
                                                                                : exitFailure;
    }
    if (options.action == "execute") {
        const UUID buttonId = std::get<QuorixClientMessage::Execute>(message.value).buttonId;
        return request(connection, message, options, streams, [&](const auto& reply) {
            const auto* result = std::get_if<QuorixServerMessage::ExecuteResult>(&reply.value);
            return result && result->buttonId == buttonId;
        });
    }
    if (options.action == "push-layout") {
        return request(connection, message, options, streams, [](const auto& reply) {
            return std::holds_alternative<QuorixServerMessage::LayoutChanged>(reply.value);
        });
    }
    if (options.action == "list-apps") {
        return request(connection, message, options, streams, [](const auto& reply) {
            return std::holds_alternative<QuorixServerMessage::AppsList>(reply.value);
        });
    }

    // watch: every server message until the connection ends.
    while (true) {
        QuorixServerMessage received;
        QByteArray raw;
        std::string problem;
        switch (connection.next(std::nullopt, received, raw, problem)) {
        case PhoneConnection::Received::message:
            printLine(raw, streams);
            continue;
        case PhoneConnection::Received::closed:
            return exitSuccess;
        case PhoneConnection::Received::timedOut:
            continue;
        case PhoneConnection::Received::invalid:
            streams.err << "kestrane-cli phone: " << problem << "\n";
            return exitFailure;
        }
    }
}

} // namespace

Command phoneCommand() {
    return {"phone", "[--host H] [--port P] [--secure --fingerprint HEX] [--token T] ACTION ...",
            "Speak the protocol from the phone's side.",
            "Connects to a receiver (default 127.0.0.1:47532) and does one thing:\n"
            "  pair CODE            pair with a code; prints the token\n"
            "  resume TOKEN         authenticate with a token; prints the answer\n"
            "  execute ACTION-JSON  run an action; prints the execute_result\n"
            "  push-layout FILE     send a layout; prints the layout_changed answer\n"
            "  list-apps            prints the apps_list answer\n"
            "  watch                prints every server message as a JSON line until the\n"
            "                       connection closes\n"
            "With --secure --fingerprint HEX the connection speaks TLS and goes on only when\n"
            "the receiver's certificate has that SHA-256 fingerprint (as `serve --secure`\n"
            "prints it); any other certificate ends it before anything is sent, with exit\n"
            "status 1.\n"
            "With --token the connection authenticates with that token first. Answers are\n"
            "printed as the server sent them. Exits 0 on success, 1 when the receiver\n"
            "refuses or does not answer within --timeout milliseconds (default 10000).\n",
            runPhone};
}

} // namespace quorix::cli
