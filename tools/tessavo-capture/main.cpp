// tessavo-capture: records a handset's diagnostic port and decodes it live.
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "capture_app.h"
#include "output_file.h"
#include "platform.h"
#include "run_control.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    tessavo::capture::CaptureParse parsed = tessavo::capture::ParseCaptureCommandLine(args);
    if (parsed.exitCode) {
        (*parsed.exitCode == 0 ? std::cout : std::cerr) << parsed.message;
        return *parsed.exitCode;
    }
    tessavo::cli::InstallStopHandlers();
#ifndef _WIN32
    std::signal(SIGPIPE, SIG_IGN);  // a bridge that closes is a device gone, not a crash
#endif
    tessavo::cli::LibraryOutput library;
    std::string error;
    if (!library.Redirect(error)) std::cerr << "tessavo-capture: warning: " << error << '\n';
    tessavo::cli::UseBinaryMode(library.DataDescriptor());
    tessavo::cli::FdStreamBuf dataBuffer(library.DataDescriptor());
    std::ostream data(&dataBuffer);
    tessavo::capture::CaptureIo io{data, std::cerr, tessavo::cli::IsTerminal(STDERR_FILENO),
                                   &library};
    int status = tessavo::capture::RunCapture(parsed.options, io);
    data.flush();
    return status;
}
