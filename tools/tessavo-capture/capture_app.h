// tessavo-capture as a function: opens the outputs and the port, sets the handset up for
// logging, records and decodes until stopped, and puts the handset back.
#pragma once

#include <ostream>

#include "capture_options.h"

namespace tessavo::cli {
class LibraryOutput;
}

namespace tessavo::capture {

// Exit statuses besides 0 (a requested stop: --duration, --idle-stop) and 128 + a signal.
inline constexpr int kExitFiles = 1;    // an output cannot be opened or written
inline constexpr int kExitUsage = 2;    // bad options
inline constexpr int kExitDevice = 3;   // the device cannot be opened, never answered or went away
inline constexpr int kExitRefused = 4;  // the handset refused the log mask

struct CaptureIo {
    std::ostream& out;  // decoded items without -o
    std::ostream& err;  // messages, the live view, the status line
    bool errIsTerminal = false;
    cli::LibraryOutput* library = nullptr;  // the library's own messages, moved off `out`
};

int RunCapture(const CaptureOptions& options, CaptureIo io);

}  // namespace tessavo::capture
