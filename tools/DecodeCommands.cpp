#include "QuorixProtocol/ProtocolJSON.h"
#include "tools/CliCommand.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

namespace quorix::cli {

namespace {

/// Writes the canonical encoding of a decoded value, or the reason there is none.
template <typename T>
int writeCanonical(const Decoded<T>& decoded, Streams& streams) {
    if (!decoded) {
        streams.err << decoded.error().description() << "\n";
        return exitFailure;
    }
    const Encoded encoded = ProtocolJSON::encode(*decoded);
    if (!encoded) {
        streams.err << encoded.error().description() << "\n";
        return exitFailure;
    }
    streams.out.write(encoded->data(), static_cast<std::streamsize>(encoded->size()));
    streams.out << "\n";
    return exitSuccess;
}

int runDecode(std::span<const std::string_view> arguments, Streams& streams) {
    if (arguments.size() != 1 || (arguments[0] != "client" && arguments[0] != "server")) {
        streams.err << "usage: kestrane-cli decode client|server < MESSAGE.json\n";
        return exitUsage;
    }
    const std::string input = readAll(streams.in);
    if (arguments[0] == "client") {
        return writeCanonical(ProtocolJSON::decodeClient(input), streams);
    }
    return writeCanonical(ProtocolJSON::decodeServer(input), streams);
}

int runCheckLayout(std::span<const std::string_view> arguments, Streams& streams) {
    if (arguments.size() != 1) {
        streams.err << "usage: kestrane-cli check-layout FILE|-\n";
        return exitUsage;
    }
    std::string input;
    if (arguments[0] == "-") {
        input = readAll(streams.in);
    } else {
        const std::string path(arguments[0]);
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            streams.err << "cannot read " << path << ": " << std::strerror(errno) << "\n";
            return exitFailure;
        }
        input = readAll(file);
    }

    const Decoded<LayoutRecord> layout = ProtocolJSON::decodeLayout(input);
    const int status = writeCanonical(layout, streams);
    if (status != exitSuccess) {
        return status;
    }
    std::size_t buttons = 0;
    std::size_t iconBytes = 0;
    for (const PageRecord& page : layout->pages) {
        buttons += page.buttons.size();
        for (const QuorixButtonRecord& button : page.buttons) {
            if (const auto* custom = std::get_if<IconRef::Custom>(&button.icon.value)) {
                iconBytes += custom->data.size();
            }
        }
    }
    streams.err << "pages: " << layout->pages.size() << ", buttons: " << buttons
                << ", custom icon bytes: " << iconBytes << "\n";
    return exitSuccess;
}

} // namespace

Command decodeCommand() {
    return {"decode", "client|server", "Decode one protocol message from standard input.",
            "Reads one JSON message (client: sent by the phone; server: sent by the desktop)\n"
            "from standard input. On success writes its canonical encoding and a newline to\n"
            "standard output and exits 0; otherwise writes why it does not decode to standard\n"
            "error and exits 1.\n",
            runDecode};
}

Command checkLayoutCommand() {
    return {"check-layout", "FILE|-", "Check a stored or transmitted layout.",
            "Reads one layout from FILE (or standard input for \"-\"). On success writes its\n"
            "canonical encoding to standard output and a summary (pages, buttons, custom icon\n"
            "bytes) to standard error and exits 0; otherwise writes why it does not decode to\n"
            "standard error and exits 1.\n",
            runCheckLayout};
}

} // namespace quorix::cli
