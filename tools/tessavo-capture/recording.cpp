#include "recording.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "output_file.h"
#include "platform.h"

#ifdef _WIN32
#include <io.h>
#define TESSAVO_SYNC(fd) ::_commit(fd)
#define TESSAVO_BINARY O_BINARY
#else
#define TESSAVO_SYNC(fd) ::fdatasync(fd)
#define TESSAVO_BINARY 0
#endif

namespace tessavo::capture {

using Clock = std::chrono::steady_clock;

std::string NumberedPath(const std::string& path, unsigned number) {
    if (number == 0) return path;
    const size_t nameStart = cli::FileNameStart(path);
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= nameStart) dot = path.size();
    return path.substr(0, dot) + "." + std::to_string(number) + path.substr(dot);
}

Recorder::~Recorder() {
    std::string ignored;
    Close(ignored);
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (syncer_.joinable()) syncer_.join();
}

bool Recorder::Open(std::string& error) {
    if (!OpenNumber(0, error)) return false;
    syncer_ = std::thread([this] { SyncEverySecond(); });
    return true;
}

void Recorder::SyncEverySecond() {
    std::unique_lock<std::mutex> hold(lock_);
    while (!stopping_) {
        wake_.wait_for(hold, std::chrono::seconds(1));
        if (fd_ >= 0 && unsynced_.exchange(false)) TESSAVO_SYNC(fd_);
    }
}

bool Recorder::OpenNumber(unsigned number, std::string& error) {
    const std::string path = NumberedPath(settings_.path, number);
    const int flags = O_WRONLY | O_CREAT | TESSAVO_BINARY | (settings_.force ? O_TRUNC : O_EXCL);
    std::lock_guard<std::mutex> hold(lock_);
    fd_ = ::open(path.c_str(), flags, 0644);
    if (fd_ < 0) {
        error = errno == EEXIST ? "'" + path + "' exists; name another file or give --force"
                                : "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    number_ = number;
    fileBytes_ = 0;
    fileStart_ = Clock::now();
    files_.push_back(path);
    return true;
}

bool Recorder::RotationDue(size_t adding) const {
    if (settings_.rotateBytes != 0 && fileBytes_ + adding >= settings_.rotateBytes) return true;
    return settings_.rotateSeconds != 0 &&
           Clock::now() - fileStart_ >= std::chrono::seconds(settings_.rotateSeconds);
}

bool Recorder::Write(std::span<const uint8_t> chunk, size_t frameEnd, std::string& error) {
    if (frameEnd != 0 && RotationDue(frameEnd)) {
        if (!WriteAll(chunk.first(frameEnd), error) || !NextFile(error)) return false;
        chunk = chunk.subspan(frameEnd);
    }
    return WriteAll(chunk, error);
}

bool Recorder::WriteAll(std::span<const uint8_t> bytes, std::string& error) {
    while (!bytes.empty()) {
        auto count = ::write(fd_, bytes.data(), static_cast<unsigned>(bytes.size()));
        if (count < 0) {
            if (errno == EINTR) continue;
            error = cli::WriteErrorText(files_.back(), errno);
            return false;
        }
        bytes = bytes.subspan(static_cast<size_t>(count));
        fileBytes_ += static_cast<uint64_t>(count);
        totalBytes_ += static_cast<uint64_t>(count);
        unsynced_ = true;
    }
    return true;
}

bool Recorder::NextFile(std::string& error) {
    if (!Close(error)) return false;
    return OpenNumber(number_ + 1, error);
}

bool Recorder::Close(std::string& error) {
    std::lock_guard<std::mutex> hold(lock_);
    if (fd_ < 0) return true;
    TESSAVO_SYNC(fd_);
    const bool closed = ::close(fd_) == 0;
    if (!closed) error = cli::WriteErrorText(files_.back(), errno);
    fd_ = -1;
    return closed;
}

}  // namespace tessavo::capture
