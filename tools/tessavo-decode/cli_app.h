// tessavo-decode as a function, so that tests run it on in-memory streams.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace tessavo::cli {

struct CliStreams {
    std::istream& in;  // read for "-" and when no file is named
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;  // draw the progress bar on `err`
};

// `args` are the command-line arguments after the program name. Returns the exit status:
// 0 success, 1 a file that cannot be opened, read or written, 2 bad options.
int RunCli(const std::vector<std::string>& args, CliStreams io);

}  // namespace tessavo::cli
