#pragma once

// What the end-to-end drivers share: a receiver run as a child process, phones over
// blocking loopback sockets, and the percentiles they report.

#include "QuorixProtocol/ProtocolJSON.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <regex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

#ifndef KESTRANE_CLI_PATH
#define KESTRANE_CLI_PATH "kestrane-cli"
#endif

namespace quorix::bench {

/// The `kestrane-cli` built with the drivers.
inline constexpr const char* defaultCliPath = KESTRANE_CLI_PATH;

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const std::string& why);

/// A program started with `arguments`, whose output stream `stream` (STDOUT_FILENO or
/// STDERR_FILENO) is read line by line until a line matches `ready`; everything it writes
/// after that is read and dropped, so that it never blocks on a full pipe. Ended with
/// SIGTERM.
class ReceiverProcess {
public:
    ReceiverProcess(const std::vector<std::string>& arguments, int stream, const std::regex& ready,
                    const std::vector<std::string>& environment = {});
    ~ReceiverProcess();
    ReceiverProcess(const ReceiverProcess&) = delete;
    ReceiverProcess& operator=(const ReceiverProcess&) = delete;

    /// The submatches of the line that matched `ready`.
    const std::smatch& readyLine() const { return m_match; }
    /// Resident memory now, from /proc.
    double residentMiB() const;
    /// Processor time used so far, all threads, from /proc.
    double cpuSeconds() const;

private:
    pid_t m_pid = -1;
    int m_output = -1;
    std::string m_line;
    std::smatch m_match;
    std::thread m_drain;
};

/// A receiver with the port it listens on and its pairing code.
struct RunningReceiver {
    std::unique_ptr<ReceiverProcess> process;
    std::uint16_t port = 0;
    std::string code;
};

/// `kestrane-cli serve --dry-run` on a free port, without advertising.
RunningReceiver startDryRunReceiver(const std::string& cli);

/// A text frame as a phone sends it: final and masked.
std::string maskedTextFrame(const std::string& payload);

struct ServerFrame {
    int opcode = 0;
    std::string payload;
};

/// One phone over a blocking socket to 127.0.0.1, the opening handshake done.
class Phone {
public:
    explicit Phone(std::uint16_t port);
    ~Phone();
    Phone(const Phone&) = delete;
    Phone& operator=(const Phone&) = delete;

    void sendAll(const std::string& bytes);
    ServerFrame nextFrame();
    /// The payload of the next text frame.
    std::string nextMessage();
    /// The payload of the next text frame that contains `marker`; others are skipped.
    std::string nextMessageWith(const std::string& marker);
    std::string request(const QuorixClientMessage& message);

private:
    void readSome();

    int m_fd = -1;
    std::string m_buffer;
};

/// Authenticates with `request` and gives the token; fails the run when refused.
std::string authenticate(Phone& phone, const QuorixClientMessage& request);

/// The value below which `fraction` of `values` lie (reorders them).
double percentile(std::vector<double>& values, double fraction);

} // namespace quorix::bench
