// tessavo-decode: decodes DIAG capture files from the command line.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli_app.h"
#include "output_file.h"
#include "platform.h"
#include "run_control.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    tessavo::cli::InstallStopHandlers();
    // The data goes to the original standard output; what the library prints there goes to
    // standard error instead.
    tessavo::cli::LibraryOutput library;
    std::string error;
    if (!library.Redirect(error)) std::cerr << "tessavo-decode: warning: " << error << '\n';
    // Captures and outputs are bytes: no line-end translation on Windows.
    tessavo::cli::UseBinaryMode(STDIN_FILENO);
    tessavo::cli::UseBinaryMode(library.DataDescriptor());
    tessavo::cli::FdStreamBuf dataBuffer(library.DataDescriptor());
    std::ostream data(&dataBuffer);
    tessavo::cli::CliStreams io{std::cin, data, std::cerr, tessavo::cli::IsTerminal(STDERR_FILENO)};
    io.inFd = STDIN_FILENO;
    io.inIsTerminal = tessavo::cli::IsTerminal(STDIN_FILENO);
    io.outBuffer = &dataBuffer;
    io.library = &library;
    int status = tessavo::cli::RunCli(args, io);
    data.flush();
    return status;
}
