#include "output_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tessavo::cli {

FdStreamBuf::FdStreamBuf(int fd, size_t bufferSize) : fd_(fd), buffer_(bufferSize) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

FdStreamBuf::~FdStreamBuf() {
    Drain();
}

bool FdStreamBuf::WriteAll(const char* data, size_t size) {
    while (size > 0) {
        if (error_ != 0) return false;
        ssize_t written = ::write(fd_, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;  // a signal only asks the run to stop later
            error_ = errno;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return error_ == 0;
}

bool FdStreamBuf::Drain() {
    bool good = WriteAll(pbase(), static_cast<size_t>(pptr() - pbase()));
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return good;
}

FdStreamBuf::int_type FdStreamBuf::overflow(int_type c) {
    if (!Drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int FdStreamBuf::sync() {
    return Drain() ? 0 : -1;
}

std::streamsize FdStreamBuf::xsputn(const char* data, std::streamsize count) {
    size_t size = static_cast<size_t>(count);
    if (size <= static_cast<size_t>(epptr() - pptr())) {
        std::memcpy(pptr(), data, size);
        pbump(static_cast<int>(size));
        return count;
    }
    if (!Drain() || !WriteAll(data, size)) return 0;
    return count;
}

bool IdentifyFile(const std::string& path, FileIdentity& identity) {
    FileStatus status;
    if (!StatusOfPath(path, status) || !status.hasIdentity) return false;
    identity = status.identity;
    return true;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.inode == b.inode;
}

bool SamePath(const std::string& a, const std::string& b) {
    FileIdentity first, second;
    if (IdentifyFile(a, first) && IdentifyFile(b, second)) return SameFile(first, second);
    std::string targetA, targetB;
    const bool replaceableA = ReplaceableTarget(a, targetA);
    const bool replaceableB = ReplaceableTarget(b, targetB);
    return replaceableA && replaceableB ? targetA == targetB : a == b;
}

AtomicOutputFile::~AtomicOutputFile() {
    stream_.reset();
    buffer_.reset();
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

bool AtomicOutputFile::Open(const std::string& path, std::string& error) {
    path_ = path;
    if (!ReplaceableTarget(path, target_)) {
        fd_ = OpenInPlace(path);
        if (fd_ < 0) {
            error = "cannot write '" + path + "': " + std::strerror(errno);
            return false;
        }
    } else {
        size_t nameStart = FileNameStart(target_);
        std::string name =
            target_.substr(0, nameStart) + "." + target_.substr(nameStart) + ".XXXXXX";
        fd_ = CreateTemporaryFile(name);
        if (fd_ < 0) {
            error = "cannot write '" + path + "': " + std::strerror(errno);
            return false;
        }
        temporary_ = name;
        FileStatus status;
        existed_ = StatusOfPath(target_, status);
        // Before the first byte: a private file's contents are never readable by others.
        if (existed_) CopyModeAndOwner(fd_, target_);
    }
    buffer_ = std::make_unique<FdStreamBuf>(fd_);
    stream_ = std::make_unique<std::ostream>(buffer_.get());
    return true;
}

bool AtomicOutputFile::Close(std::string& error) {
    stream_->flush();
    int writeError = buffer_->Error();
    if (::close(fd_) != 0 && writeError == 0) writeError = errno;
    fd_ = -1;
    if (writeError != 0) {
        error = WriteErrorText("'" + path_ + "'", writeError);
        return false;
    }
    return true;
}

bool AtomicOutputFile::Commit(std::string& error) {
    if (!Close(error)) return false;
    if (temporary_.empty()) {
        committed_ = true;  // written in place
        return true;
    }
    if (!RenameOver(temporary_, target_)) {
        error = "cannot write '" + path_ + "': " + std::strerror(errno);
        return false;
    }
    committed_ = true;
    return true;
}

bool AtomicOutputFile::CommitPartial(std::string& where, std::string& error) {
    where = path_;
    if (temporary_.empty() || !existed_) return Commit(error);
    if (!Close(error)) return false;
    where = target_ + ".partial";
    if (!RenameOver(temporary_, where)) {
        error = "cannot write '" + where + "': " + std::strerror(errno);
        return false;
    }
    committed_ = true;
    return true;
}

std::string WriteErrorText(const std::string& name, int error) {
    return "error writing " + name + ": " + std::strerror(error);
}

}  // namespace tessavo::cli
