#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace quorix::cli {

/// Exit statuses of every sub-command.
enum ExitStatus : int {
    exitSuccess = 0,
    /// The input was read but refused (it does not decode, a file cannot be read).
    exitFailure = 1,
    /// The command line itself is wrong.
    exitUsage = 2,
};

struct Streams {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
};

/// One sub-command of kestrane-cli.
struct Command {
    std::string_view name;
    /// The arguments after the name, as the one-line usage shows them.
    std::string_view synopsis;
    std::string_view summary;
    /// Printed by `kestrane-cli NAME --help`, after the usage line.
    std::string_view details;
    /// Gets the arguments after the name; "--help" is handled before it is called.
    int (*run)(std::span<const std::string_view> arguments, Streams& streams);
};

Command decodeCommand();
Command checkLayoutCommand();
Command serveCommand();
Command phoneCommand();

/// Everything `in` holds, bytes as they are.
std::string readAll(std::istream& in);

} // namespace quorix::cli
