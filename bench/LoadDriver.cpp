// End-to-end load on the receiver: N phones connected to `kestrane-cli serve --dry-run`,
// each authenticated (one pairing, then resuming with its token) and sending `execute` as
// fast as the answers come back. Prints round-trip p50/p99 and messages per second.
//
// usage: LoadDriver [--cli PATH] [--phones 1,8,64] [--seconds S]

#include "QuorixProtocol/ProtocolJSON.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

#ifndef KESTRANE_CLI_PATH
#define KESTRANE_CLI_PATH "kestrane-cli"
#endif

struct Options {
    std::string cli = KESTRANE_CLI_PATH;
    std::vector<int> phoneCounts = {1, 8, 64};
    double seconds = 3;
};

[[noreturn]] void fail(const std::string& why) {
    std::cerr << "LoadDriver: " << why << "\n";
    std::exit(1);
}

/// The receiver as a child process; its output after the first line is read and dropped
/// so that its printing never blocks on a full pipe.
class Receiver {
public:
    explicit Receiver(const std::string& cli) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) {
            fail("pipe");
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(pipeFds[1], STDOUT_FILENO);
            ::close(pipeFds[0]);
            ::close(pipeFds[1]);
            ::execl(cli.c_str(), cli.c_str(), "serve", "--dry-run", "--no-advertise", "--port", "0",
                    static_cast<char*>(nullptr));
            std::perror("exec");
            std::_Exit(127);
        }
        ::close(pipeFds[1]);
        m_output = pipeFds[0];
        std::string first;
        char byte = 0;
        while (::read(m_output, &byte, 1) == 1 && byte != '\n') {
            first.push_back(byte);
        }
        // {"pairingCode":"123456","port":40000}
        const auto code = first.find("\"pairingCode\":\"");
        const auto port = first.find("\"port\":");
        if (code == std::string::npos || port == std::string::npos) {
            fail("the receiver did not start: " + first);
        }
        m_code = first.substr(code + 15, 6);
        m_port = static_cast<std::uint16_t>(std::stoi(first.substr(port + 7)));
        m_drain = std::thread([fd = m_output] {
            char buffer[65536];
            while (::read(fd, buffer, sizeof buffer) > 0) {
            }
        });
    }

    ~Receiver() {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_drain.join();
        ::close(m_output);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::cerr << "LoadDriver: the receiver did not stop cleanly\n";
        }
    }

    std::uint16_t port() const { return m_port; }
    const std::string& code() const { return m_code; }

private:
    pid_t m_pid = -1;
    int m_output = -1;
    std::thread m_drain;
    std::uint16_t m_port = 0;
    std::string m_code;
};

std::string maskedTextFrame(const std::string& payload) {
    std::string frame;
    frame.push_back(char(0x81));
    const std::size_t length = payload.size();
    if (length <= 125) {
        frame.push_back(char(0x80 | length));
    } else if (length <= 0xFFFF) {
        frame.push_back(char(0x80 | 126));
        frame.push_back(char(length >> 8));
        frame.push_back(char(length));
    } else {
        frame.push_back(char(0x80 | 127));
        for (int shift = 56; shift >= 0; shift -= 8) {
            frame.push_back(char(length >> shift));
        }
    }
    const char mask[4] = {0x12, 0x34, 0x56, 0x78};
    frame.append(mask, 4);
    for (std::size_t i = 0; i < length; ++i) {
        frame.push_back(char(payload[i] ^ mask[i % 4]));
    }
    return frame;
}

/// One phone over a blocking socket.
class Phone {
public:
    explicit Phone(std::uint16_t port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            fail(std::string("connect: ") + std::strerror(errno));
        }
        const int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sendAll("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: "
                "Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                "Sec-WebSocket-Version: 13\r\n\r\n");
        while (m_buffer.find("\r\n\r\n") == std::string::npos) {
            readSome();
        }
        if (m_buffer.rfind("HTTP/1.1 101", 0) != 0) {
            fail("handshake refused");
        }
        m_buffer.erase(0, m_buffer.find("\r\n\r\n") + 4);
    }
    ~Phone() { ::close(m_fd); }

    void sendAll(const std::string& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                fail("send failed");
            }
            sent += std::size_t(n);
        }
    }

    /// The payload of the next text frame.
    std::string nextMessage() {
        while (true) {
            if (m_buffer.size() >= 2) {
                std::size_t length = std::uint8_t(m_buffer[1]) & 0x7F;
                std::size_t header = 2;
                if (length == 126 && m_buffer.size() >= 4) {
                    length =
                        (std::size_t(std::uint8_t(m_buffer[2])) << 8) | std::uint8_t(m_buffer[3]);
                    header = 4;
                } else if (length == 127 && m_buffer.size() >= 10) {
                    length = 0;
                    for (int i = 2; i < 10; ++i) {
                        length = (length << 8) | std::uint8_t(m_buffer[i]);
                    }
                    header = 10;
                } else if (length >= 126) {
                    header = 0;
                }
                if (header != 0 && m_buffer.size() >= header + length) {
                    std::string payload = m_buffer.substr(header, length);
                    const int opcode = m_buffer[0] & 0x0F;
                    m_buffer.erase(0, header + length);
                    if (opcode == 0x1) {
                        return payload;
                    }
                    continue;
                }
            }
            readSome();
        }
    }

    std::string request(const quorix::QuorixClientMessage& message) {
        sendAll(maskedTextFrame(quorix::ProtocolJSON::encode(message).value()));
        return nextMessage();
    }

private:
    void readSome() {
        char chunk[4096];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            fail("the receiver closed the connection");
        }
        m_buffer.append(chunk, std::size_t(n));
    }

    int m_fd = -1;
    std::string m_buffer;
};

std::string authenticate(Phone& phone, const quorix::QuorixClientMessage& request) {
    const std::string reply = phone.request(request);
    auto decoded = quorix::ProtocolJSON::decodeServer(reply);
    const auto* success =
        decoded ? std::get_if<quorix::QuorixServerMessage::AuthSuccess>(&decoded->value) : nullptr;
    if (!success) {
        fail("authentication refused: " + reply);
    }
    return success->token;
}

struct RunResult {
    std::vector<double> roundTripsMicroseconds;
    double elapsedSeconds = 0;
};

RunResult run(const Receiver& receiver, const std::string& token, int phoneCount, double seconds) {
    std::vector<std::unique_ptr<Phone>> phones;
    for (int i = 0; i < phoneCount; ++i) {
        phones.push_back(std::make_unique<Phone>(receiver.port()));
        authenticate(*phones.back(), {quorix::QuorixClientMessage::AuthResume{token}});
    }
    const quorix::QuorixClientMessage execute{quorix::QuorixClientMessage::Execute{
        quorix::UUID::random(), quorix::ActionSpec::launchApp("org.example.bench")}};
    const std::string frame = maskedTextFrame(quorix::ProtocolJSON::encode(execute).value());

    std::vector<std::vector<double>> samples(static_cast<std::size_t>(phoneCount));
    std::atomic<bool> go{false};
    const auto duration = std::chrono::duration<double>(seconds);
    std::vector<std::thread> threads;
    Clock::time_point start;
    for (int i = 0; i < phoneCount; ++i) {
        threads.emplace_back([&, i] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            Phone& phone = *phones[std::size_t(i)];
            auto& mine = samples[std::size_t(i)];
            mine.reserve(1 << 16);
            const auto end = start + duration;
            while (true) {
                const auto sent = Clock::now();
                if (sent >= end) {
                    break;
                }
                phone.sendAll(frame);
                const std::string reply = phone.nextMessage();
                const auto received = Clock::now();
                if (reply.find("\"success\":true") == std::string::npos) {
                    fail("unexpected answer: " + reply);
                }
                mine.push_back(std::chrono::duration<double, std::micro>(received - sent).count());
            }
        });
    }
    start = Clock::now();
    go = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    RunResult result;
    result.elapsedSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (const auto& perPhone : samples) {
        result.roundTripsMicroseconds.insert(result.roundTripsMicroseconds.end(), perPhone.begin(),
                                             perPhone.end());
    }
    return result;
}

double percentile(std::vector<double>& values, double fraction) {
    const std::size_t index =
        std::min(values.size() - 1, std::size_t(fraction * double(values.size())));
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(index), values.end());
    return values[index];
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--cli" && i + 1 < argc) {
            options.cli = argv[++i];
        } else if (argument == "--seconds" && i + 1 < argc) {
            options.seconds = std::stod(argv[++i]);
        } else if (argument == "--phones" && i + 1 < argc) {
            options.phoneCounts.clear();
            std::stringstream list(argv[++i]);
            std::string item;
            while (std::getline(list, item, ',')) {
                options.phoneCounts.push_back(std::stoi(item));
            }
        } else {
            fail("usage: LoadDriver [--cli PATH] [--phones 1,8,64] [--seconds S]");
        }
    }
    return options;
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    Receiver receiver(options.cli);
    std::string token;
    {
        Phone first(receiver.port());
        token = authenticate(first, {quorix::QuorixClientMessage::AuthRequest{receiver.code()}});
    }
    std::printf("%-8s %12s %12s %12s %14s\n", "phones", "messages", "p50 (us)", "p99 (us)",
                "messages/s");
    for (const int phoneCount : options.phoneCounts) {
        RunResult result = run(receiver, token, phoneCount, options.seconds);
        if (result.roundTripsMicroseconds.empty()) {
            fail("no round trip completed");
        }
        const std::size_t count = result.roundTripsMicroseconds.size();
        const double p50 = percentile(result.roundTripsMicroseconds, 0.50);
        const double p99 = percentile(result.roundTripsMicroseconds, 0.99);
        std::printf("%-8d %12zu %12.1f %12.1f %14.0f\n", phoneCount, count, p50, p99,
                    double(count) / result.elapsedSeconds);
        std::fflush(stdout);
    }
    return 0;
}
