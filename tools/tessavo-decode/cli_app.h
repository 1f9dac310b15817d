// tessavo-decode as a function, so that tests run it on in-memory streams.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace tessavo::cli {

class FdStreamBuf;
class LibraryOutput;

struct CliStreams {
    std::istream& in;  // read for "-" and when no file is named
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;  // draw the progress bar on `err`
    // The process's own descriptors, set by main(): standard input is then read with
    // read(2) so that a live pipe is decoded as its bytes arrive.
    int inFd = -1;
    bool inIsTerminal = false;               // no input named: print the usage, not wait
    const FdStreamBuf* outBuffer = nullptr;  // behind `out`, for the reason of a failed write
    LibraryOutput* library = nullptr;        // the library's messages, moved off `out`
};

// `args` are the command-line arguments after the program name. Returns the exit status:
// 0 success, 1 a file that cannot be opened, read or written, 2 bad options or an output
// that names an input, 128 + the signal number when SIGINT or SIGTERM stopped the run.
int RunCli(const std::vector<std::string>& args, CliStreams io);

}  // namespace tessavo::cli
