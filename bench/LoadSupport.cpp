#include "LoadSupport.h"

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorix::bench {

void fail(const std::string& why) {
    std::cerr << "bench: " << why << "\n";
    std::exit(1);
}

ReceiverProcess::ReceiverProcess(const std::vector<std::string>& arguments, int stream,
                                 const std::regex& ready,
                                 const std::vector<std::string>& environment) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        fail("pipe");
    }
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(pipeFds[1], stream);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        for (const std::string& assignment : environment) {
            const auto equals = assignment.find('=');
            if (equals == std::string::npos) {
                ::unsetenv(assignment.c_str());
            } else {
                ::setenv(assignment.substr(0, equals).c_str(), assignment.c_str() + equals + 1, 1);
            }
        }
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        std::perror("exec");
        std::_Exit(127);
    }
    ::close(pipeFds[1]);
    m_output = pipeFds[0];
    std::string seen;
    while (true) {
        m_line.clear();
        char byte = 0;
        ssize_t got = 0;
        while ((got = ::read(m_output, &byte, 1)) == 1 && byte != '\n') {
            m_line.push_back(byte);
        }
        if (std::regex_search(m_line, m_match, ready)) {
            break;
        }
        seen += m_line + "\n";
        if (got != 1) {
            fail("the receiver did not start:\n" + seen);
        }
    }
    m_drain = std::thread([fd = m_output] {
        char buffer[65536];
        while (::read(fd, buffer, sizeof buffer) > 0) {
        }
    });
}

ReceiverProcess::~ReceiverProcess() {
    ::kill(m_pid, SIGTERM);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_drain.join();
    ::close(m_output);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << "bench: the receiver did not stop cleanly\n";
    }
}

double ReceiverProcess::residentMiB() const {
    std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024;
        }
    }
    fail("no resident memory for the receiver");
}

RunningReceiver startDryRunReceiver(const std::string& cli) {
    auto process = std::make_unique<ReceiverProcess>(
        std::vector<std::string>{cli, "serve", "--dry-run", "--no-advertise", "--port", "0"},
        STDOUT_FILENO, std::regex(R"re("pairingCode":"(\d{6})","port":(\d+))re"));
    const std::smatch& line = process->readyLine();
    RunningReceiver receiver;
    receiver.code = line[1];
    receiver.port = static_cast<std::uint16_t>(std::stoi(line[2]));
    receiver.process = std::move(process);
    return receiver;
}

double ReceiverProcess::cpuSeconds() const {
    std::ifstream stat("/proc/" + std::to_string(m_pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command, which may hold blanks, in parentheses: utime and stime
    // are the 12th and 13th of them.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 1; i <= 13 && fields >> field; ++i) {
        if (i >= 12) {
            ticks += std::stod(field);
        }
    }
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

std::string maskedTextFrame(const std::string& payload) {
    std::string frame;
    frame.reserve(payload.size() + 14);
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

Phone::Phone(std::uint16_t port) {
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

Phone::~Phone() {
    ::close(m_fd);
}

void Phone::sendAll(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            fail("send failed");
        }
        sent += std::size_t(n);
    }
}

ServerFrame Phone::nextFrame() {
    while (true) {
        if (m_buffer.size() >= 2) {
            std::size_t length = std::uint8_t(m_buffer[1]) & 0x7F;
            std::size_t header = 2;
            if (length == 126 && m_buffer.size() >= 4) {
                length = (std::size_t(std::uint8_t(m_buffer[2])) << 8) | std::uint8_t(m_buffer[3]);
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
                ServerFrame frame{m_buffer[0] & 0x0F, m_buffer.substr(header, length)};
                m_buffer.erase(0, header + length);
                return frame;
            }
        }
        readSome();
    }
}

std::string Phone::nextMessage() {
    while (true) {
        ServerFrame frame = nextFrame();
        if (frame.opcode == 0x1) {
            return std::move(frame.payload);
        }
    }
}

std::string Phone::nextMessageWith(const std::string& marker) {
    while (true) {
        std::string message = nextMessage();
        if (message.find(marker) != std::string::npos) {
            return message;
        }
    }
}

std::string Phone::request(const QuorixClientMessage& message) {
    sendAll(maskedTextFrame(ProtocolJSON::encode(message).value()));
    return nextMessage();
}

void Phone::readSome() {
    // Large enough that reading a layout of megabytes does not cost the phone more time
    // than the receiver takes to send it.
    static thread_local std::vector<char> chunk(256 * 1024);
    const ssize_t n = ::recv(m_fd, chunk.data(), chunk.size(), 0);
    if (n <= 0) {
        fail("the receiver closed the connection");
    }
    m_buffer.append(chunk.data(), std::size_t(n));
}

std::string authenticate(Phone& phone, const QuorixClientMessage& request) {
    const std::string reply = phone.request(request);
    auto decoded = ProtocolJSON::decodeServer(reply);
    const auto* success =
        decoded ? std::get_if<QuorixServerMessage::AuthSuccess>(&decoded->value) : nullptr;
    if (!success) {
        fail("authentication refused: " + reply);
    }
    return success->token;
}

double percentile(std::vector<double>& values, double fraction) {
    const std::size_t index =
        std::min(values.size() - 1, std::size_t(fraction * double(values.size())));
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(index), values.end());
    return values[index];
}

} // namespace quorix::bench
