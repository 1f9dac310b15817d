// The operating-system calls of tessavo-decode, on POSIX systems and on Windows.
//
// Files are read and written through descriptors in binary mode (Windows would otherwise
// turn line feeds into CR LF and stop reading at a Ctrl-Z byte) and are not inherited by
// child processes; sizes are 64-bit on every platform. Windows has no inode numbers: a
// file's identity there is its volume serial number and file index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace tessavo::cli {

// The device and inode of a file (volume and file index on Windows).
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
};

struct FileStatus {
    bool regular = false;
    bool directory = false;
    uint64_t size = 0;  // regular files only
    FileIdentity identity;
    bool hasIdentity = false;
};

// False, with errno set, when the path or descriptor cannot be examined.
bool StatusOfPath(const std::string& path, FileStatus& status);
bool StatusOfDescriptor(int fd, FileStatus& status);

int OpenForReading(const std::string& path);  // -1 with errno on failure
int OpenInPlace(const std::string& path);     // an existing non-regular target, truncated
// A new file from `pattern` ending in XXXXXX (replaced by the name made), with the mode a
// newly created file gets; -1 with errno on failure.
int CreateTemporaryFile(std::string& pattern);
// The absolute path with links resolved where the system does that; the path itself when
// it cannot be resolved.
std::string ResolvedPath(const std::string& path);
// The regular file an output path names, through its links, which a finished output may
// replace (it need not exist yet); false when the path must be written in place instead: it
// leads to something other than a regular file (a descriptor link under /proc or /dev, a
// device, a FIFO, a socket, a terminal) or to a link that names no path.
bool ReplaceableTarget(const std::string& path, std::string& target);
// The descriptor of this process that a path names through its links (/dev/stdout,
// /dev/fd/N, /proc/self/fd/N, /proc/<this process>/fd/N); -1 for any other path.
int DescriptorOfPath(const std::string& path);
// Gives `fd` the permission bits and, where the process may, the owner of file `from`.
void CopyModeAndOwner(int fd, const std::string& from);
// Renames `from` over `to`, replacing it; false with errno on failure.
bool RenameOver(const std::string& from, const std::string& to);
// Where a path's file name starts (after its last separator), 0 without a folder.
size_t FileNameStart(const std::string& path);

// An unnamed read-write scratch file, removed when closed; -1 with errno on failure.
int CreateScratchFile();
// A copy of `fd` numbered 3 or above, not inherited; -1 on failure.
int DuplicateDescriptor(int fd);
int64_t ReadAt(int fd, void* buffer, size_t size, uint64_t offset);
// lseek with a 64-bit offset; -1 on failure.
int64_t SeekDescriptor(int fd, int64_t offset, int whence);
bool TruncateToEmpty(int fd);

void UseBinaryMode(int fd);
bool IsTerminal(int fd);

// Sets the TZ variable (unsets it for nullptr) and has the C library read it again.
void SetTimeZoneVariable(const char* zone);
// Broken-down local or UTC time; false when the instant cannot be converted.
bool BreakDownTime(std::time_t clock, bool local, std::tm& parts);
// The offset from UTC, in seconds, of local time `parts` (from BreakDownTime) at `clock`.
long UtcOffsetSeconds(std::time_t clock, const std::tm& parts);

// SIGINT and SIGTERM call `handler` with the signal number.
void InstallSignalHandlers(void (*handler)(int));

}  // namespace tessavo::cli
