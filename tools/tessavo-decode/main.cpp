// tessavo-decode: decodes DIAG capture files from the command line.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli_app.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    tessavo::cli::CliStreams io{std::cin, std::cout, std::cerr, isatty(STDERR_FILENO) == 1};
    return tessavo::cli::RunCli(args, io);
}
