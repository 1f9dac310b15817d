#include "run_control.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tessavo::cli {
namespace {

volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void OnStopSignal(int signal) {
    gStopSignal = signal;
}

}  // namespace

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked read returns and the run stops
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
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
    std::FILE* scratch = std::tmpfile();
    if (scratch == nullptr) {
        error = std::string("cannot create a scratch file: ") + std::strerror(errno);
        return false;
    }
    int scratchFd = ::dup(fileno(scratch));
    std::fclose(scratch);
    int dataFd = scratchFd < 0 ? -1 : ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
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

uint64_t LibraryOutput::Drain(bool forward) {
    if (scratchFd_ < 0) return 0;
    // The library flushes after each message, so the scratch file holds whole messages.
    std::fflush(stdout);
    off_t end = ::lseek(STDOUT_FILENO, 0, SEEK_CUR);
    if (end <= 0) return 0;
    if (!forward) {
        if (::ftruncate(scratchFd_, 0) == 0) ::lseek(STDOUT_FILENO, 0, SEEK_SET);
        return 0;
    }
    uint64_t lines = 0;
    char buffer[4096];
    for (off_t at = 0; at < end;) {
        ssize_t count = ::pread(scratchFd_, buffer, sizeof buffer, at);
        if (count <= 0) break;
        for (ssize_t i = 0; i < count; ++i) lines += buffer[i] == '\n';
        for (ssize_t done = 0; done < count;) {
            ssize_t written =
                ::write(STDERR_FILENO, buffer + done, static_cast<size_t>(count - done));
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) break;
            done += written;
        }
        at += count;
    }
    if (::ftruncate(scratchFd_, 0) == 0) ::lseek(STDOUT_FILENO, 0, SEEK_SET);
    lines_ += lines;
    return lines;
}

}  // namespace tessavo::cli
