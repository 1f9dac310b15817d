// Process-level concerns of the tool: stopping on SIGINT/SIGTERM at a clean point, and
// keeping the library's own messages out of the data.
#pragma once

#include <cstdint>
#include <string>

namespace tessavo::cli {

// Installs handlers for SIGINT and SIGTERM that only note the signal. Reads interrupted by
// it return, so a tool waiting on a pipe stops too.
void InstallStopHandlers();
// The signal that asked the run to stop, 0 when none did; RequestStop is what the handlers
// call (tests call it directly).
int StopSignal();
void RequestStop(int signal);
void ClearStop();
// Exit status for a run stopped by `signal`: 128 + its number (130 for SIGINT, 143 for
// SIGTERM).
int StopExitStatus(int signal);

// The library writes its messages (for example for unknown parameter IDs in a compact
// packet) to standard output, where the tool writes its data. LibraryOutput moves the
// process's descriptor 1 to an unlinked scratch file and gives the tool a duplicate of the
// original descriptor for its data. Drain passes what the library wrote since the last call
// on to standard error and counts its lines.
class LibraryOutput {
  public:
    LibraryOutput() = default;
    ~LibraryOutput();
    LibraryOutput(const LibraryOutput&) = delete;
    LibraryOutput& operator=(const LibraryOutput&) = delete;

    // False (with a message) when the descriptors cannot be set up; the data then goes to
    // descriptor 1 as before.
    bool Redirect(std::string& error);
    int DataDescriptor() const { return dataFd_; }  // the original standard output
    // Passes on the lines written since the last call; returns how many.
    uint64_t Drain();

  private:
    int dataFd_ = 1;
    int scratchFd_ = -1;
};

}  // namespace tessavo::cli
