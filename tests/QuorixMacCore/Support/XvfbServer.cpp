#include "QuorixMacCore/Support/XvfbServer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quorix::test {

namespace {

// Xvfb needs well under a second here; a loaded machine may need more.
constexpr auto startTimeout = std::chrono::seconds(30);
// The descriptor Xvfb writes its display number to.
constexpr int displayDescriptor = 3;

} // namespace

XvfbServer::XvfbServer(const std::string& screen) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        m_failure = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], displayDescriptor);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string descriptor = std::to_string(displayDescriptor);
    std::vector<std::string> arguments{"Xvfb",    "-displayfd", descriptor, "-nolisten", "tcp",
                                       "-screen", "0",          screen,     "-noreset"};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const int spawned = posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        m_pid = -1;
        close(pipeEnds[0]);
        m_failure = std::string("cannot start Xvfb: ") + std::strerror(spawned);
        return;
    }

    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + startTimeout;
    while (number.empty() || number.back() != '\n') {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{pipeEnds[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
            m_failure = "Xvfb did not report a display in time";
            break;
        }
        char buffer[16];
        const ssize_t count = read(pipeEnds[0], buffer, sizeof buffer);
        if (count <= 0) {
            m_failure = "Xvfb exited before reporting a display";
            break;
        }
        number.append(buffer, static_cast<std::size_t>(count));
    }
    close(pipeEnds[0]);
    if (!m_failure.empty()) {
        kill();
        return;
    }
    number.pop_back();
    m_displayName = ":" + number;
}

XvfbServer::~XvfbServer() {
    kill();
}

void XvfbServer::kill() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGTERM);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
}

} // namespace quorix::test
