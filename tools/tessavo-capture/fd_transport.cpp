#ifndef _WIN32

#include "fd_transport.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tessavo::capture {
namespace {

constexpr int kWriteWaitMs = 1000;

}  // namespace

ReadResult FdTransport::Read(std::span<uint8_t> buffer, int timeoutMs) {
    pollfd wait{fd_, POLLIN, 0};
    const int ready = ::poll(&wait, 1, timeoutMs);
    if (ready < 0)
        return {errno == EINTR ? ReadStatus::kInterrupted : ReadStatus::kGone, 0,
                std::strerror(errno)};
    if (ready == 0) return {ReadStatus::kTimeout, 0, {}};
    const ssize_t count = ::read(fd_, buffer.data(), buffer.size());
    if (count > 0) return {ReadStatus::kData, static_cast<size_t>(count), {}};
    if (count < 0 && errno == EINTR) return {ReadStatus::kInterrupted, 0, {}};
    if (count < 0 && errno == EAGAIN) return {ReadStatus::kTimeout, 0, {}};
    // An unplugged USB serial device reads EIO (or ENXIO, ENODEV), a hung-up pty EIO or end
    // of file, a socket whose peer closed end of file, one that was reset ECONNRESET.
    return {ReadStatus::kGone, 0, count == 0 ? "end of file" : std::strerror(errno)};
}

bool FdTransport::Write(std::span<const uint8_t> bytes, std::string& error) {
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd_, bytes.data(), bytes.size());
        if (count < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                pollfd wait{fd_, POLLOUT, 0};
                if (::poll(&wait, 1, kWriteWaitMs) > 0) continue;
            }
            error = std::strerror(errno);
            return false;
        }
        bytes = bytes.subspan(static_cast<size_t>(count));
    }
    return true;
}

void FdTransport::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace tessavo::capture

#endif
