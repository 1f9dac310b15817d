// Output that never destroys what it replaces.
//
// FdStreamBuf writes an ostream to a file descriptor and keeps the errno of the first
// failed write, so a failure can say why. AtomicOutputFile writes into a temporary file in
// the target's folder and renames it over the target only when the run commits; a run
// that fails leaves the target as it was. A replaced file keeps its permission bits (and
// its owner where the process may set it) from the start of the run: captures carry
// subscriber identities. Paths that lead, through any link, to something other than a
// regular file (a /proc or /dev descriptor link, a device, a pipe, a terminal) are written
// in place, never renamed over. A run that ends early keeps its partial output beside an
// existing target as NAME.partial, or puts it in place of a target that did not exist.
#pragma once

#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "platform.h"

namespace tessavo::cli {

class FdStreamBuf : public std::streambuf {
  public:
    explicit FdStreamBuf(int fd, size_t bufferSize = 64 * 1024);
    ~FdStreamBuf() override;
    FdStreamBuf(const FdStreamBuf&) = delete;
    FdStreamBuf& operator=(const FdStreamBuf&) = delete;

    int Error() const { return error_; }  // errno of the first failed write, 0 if none

  protected:
    int_type overflow(int_type c) override;
    int sync() override;
    std::streamsize xsputn(const char* data, std::streamsize count) override;

  private:
    bool Drain();
    bool WriteAll(const char* data, size_t size);

    int fd_;
    std::vector<char> buffer_;
    int error_ = 0;
};

// The identity of an existing path; false when it does not exist.
bool IdentifyFile(const std::string& path, FileIdentity& identity);
bool SameFile(const FileIdentity& a, const FileIdentity& b);
// Whether two paths name one file, by identity when both exist and by the file they resolve
// to (links followed, "./" and ".." removed) whether they exist or not.
bool SamePath(const std::string& a, const std::string& b);

class AtomicOutputFile {
  public:
    AtomicOutputFile() = default;
    ~AtomicOutputFile();  // removes the temporary file unless committed
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    // Creates the temporary file beside `path`; false with a message when it cannot.
    bool Open(const std::string& path, std::string& error);
    std::ostream& Stream() { return *stream_; }
    // Flushes, closes and renames into place; false with a message when any step fails
    // (the temporary file is removed then).
    bool Commit(std::string& error);
    // For a run that ended early: the output goes into place when the target did not exist,
    // else beside it as NAME.partial; `where` names the file written.
    bool CommitPartial(std::string& where, std::string& error);
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    std::string target_;     // the file replaced: `path_` with its links resolved
    std::string temporary_;  // empty when the target is written in place
    bool Close(std::string& error);

    bool existed_ = false;  // the target was there when the run started
    int fd_ = -1;
    std::unique_ptr<FdStreamBuf> buffer_;
    std::unique_ptr<std::ostream> stream_;
    bool committed_ = false;
};

// "error writing 'x': No space left on device"
std::string WriteErrorText(const std::string& name, int error);

}  // namespace tessavo::cli
