#include "tools/CliCommand.h"

#include <array>
#include <iostream>
#include <sstream>
#include <vector>

namespace quorix::cli {

std::string readAll(std::istream& in) {
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return std::move(buffer).str();
}

namespace {

constexpr std::string_view toolName = "kestrane-cli";

const std::array<Command, 4>& commands() {
    static const std::array<Command, 4> table{decodeCommand(), checkLayoutCommand(), serveCommand(),
                                              phoneCommand()};
    return table;
}

void printUsage(std::ostream& stream) {
    stream << "usage: " << toolName << " COMMAND [ARGUMENTS]\n\n"
           << "Developer tool for the Kestrane receiver.\n\ncommands:\n";
    for (const Command& command : commands()) {
        const std::string line = std::string(command.name) + " " + std::string(command.synopsis);
        stream << "  " << line << std::string(line.size() < 30 ? 30 - line.size() : 1, ' ')
               << command.summary << "\n";
    }
    stream << "\nRun '" << toolName << " COMMAND --help' for the details of one command.\n";
}

void printCommandHelp(const Command& command, std::ostream& stream) {
    stream << "usage: " << toolName << " " << command.name << " " << command.synopsis << "\n\n"
           << command.summary << "\n";
    if (!command.details.empty()) {
        stream << "\n" << command.details;
    }
}

bool isHelp(std::string_view argument) {
    return argument == "--help" || argument == "-h";
}

int runTool(std::span<const std::string_view> arguments, Streams& streams) {
    if (arguments.empty()) {
        printUsage(streams.err);
        return exitUsage;
    }
    if (isHelp(arguments.front()) || arguments.front() == "help") {
        printUsage(streams.out);
        return exitSuccess;
    }
    for (const Command& command : commands()) {
        if (command.name != arguments.front()) {
            continue;
        }
        const auto rest = arguments.subspan(1);
        for (const std::string_view argument : rest) {
            if (isHelp(argument)) {
                printCommandHelp(command, streams.out);
                return exitSuccess;
            }
        }
        return command.run(rest, streams);
    }
    streams.err << toolName << ": unknown command '" << arguments.front() << "'\n\n";
    printUsage(streams.err);
    return exitUsage;
}

} // namespace

} // namespace quorix::cli

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    quorix::cli::Streams streams{std::cin, std::cout, std::cerr};
    const int status = quorix::cli::runTool(arguments, streams);
    std::cout.flush();
    return status;
}
