#include "run_control.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform.h"

namespace tessavo::cli {
namespace {

volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void OnStopSignal(int signal) {
    gStopSignal = signal;
}

}  // namespace

void InstallStopHandlers() {
    InstallSignalHandlers(OnStopSignal);
}

int StopSignal() {
    return gStopSignal;
}

void RequestStop(int signal) {
    gStopSignal = signal;
}

void ClearStop() {
    gStopSignal = 0;
}

int StopExitStatus(int signal) {
    return 128 + signal;
}

LibraryOutput::~LibraryOutput() {
    if (scratchFd_ >= 0) {
        Drain();
        ::close(scratchFd_);
    }
}

bool LibraryOutput::Redirect(std::string& error) {
    std::fflush(stdout);
    int scratchFd = CreateScratchFile();
    if (scratchFd < 0) {
        error = std::string("cannot create a scratch file: ") + std::strerror(errno);
        return false;
    }
    int dataFd = DuplicateDescriptor(STDOUT_FILENO);
    if (scratchFd < 0 || dataFd < 0 || ::dup2(scratchFd, STDOUT_FILENO) < 0) {
        error = std::string("cannot redirect standard output: ") + std::strerror(errno);
        if (scratchFd >= 0) ::close(scratchFd);
        if (dataFd >= 0) ::close(dataFd);
        return false;
    }
    scratchFd_ = scratchFd;
    dataFd_ = dataFd;
    return true;
}

uint64_t LibraryOutput::Drain() {
    if (scratchFd_ < 0) return 0;
    // The library flushes after each message, so the scratch file holds whole messages.
    std::fflush(stdout);
    int64_t end = SeekDescriptor(STDOUT_FILENO, 0, SEEK_CUR);
    if (end <= 0) return 0;
    uint64_t lines = 0;
    char buffer[4096];
    for (int64_t at = 0; at < end;) {
        int64_t count = ReadAt(scratchFd_, buffer, sizeof buffer, static_cast<uint64_t>(at));
        if (count <= 0) break;
        for (int64_t i = 0; i < count; ++i) lines += buffer[i] == '\n';
        for (int64_t done = 0; done < count;) {
            int64_t written =
                ::write(STDERR_FILENO, buffer + done, static_cast<unsigned>(count - done));
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) break;
            done += written;
        }
        at += count;
    }
    if (TruncateToEmpty(scratchFd_)) SeekDescriptor(STDOUT_FILENO, 0, SEEK_SET);
    return lines;
}

}  // namespace tessavo::cli
