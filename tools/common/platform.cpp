#include "platform.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#include <share.h>
#include <windows.h>
#else
#include <unistd.h>

#include <climits>
#endif

namespace tessavo::cli {

#if defined(_WIN32)

namespace {

bool IdentityOfHandle(HANDLE handle, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION info;
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) return false;
    identity.device = info.dwVolumeSerialNumber;
    identity.inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

void FillStatus(const struct _stat64& info, FileStatus& status) {
    status.regular = (info.st_mode & _S_IFMT) == _S_IFREG;
    status.directory = (info.st_mode & _S_IFMT) == _S_IFDIR;
    status.size = status.regular ? static_cast<uint64_t>(info.st_size) : 0;
}

}  // namespace

bool StatusOfPath(const std::string& path, FileStatus& status) {
    struct _stat64 info {};
    if (_stat64(path.c_str(), &info) != 0) return false;
    FillStatus(info, status);
    HANDLE handle =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    status.hasIdentity = IdentityOfHandle(handle, status.identity);
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    return true;
}

bool StatusOfDescriptor(int fd, FileStatus& status) {
    struct _stat64 info {};
    if (_fstat64(fd, &info) != 0) return false;
    FillStatus(info, status);
    status.hasIdentity =
        IdentityOfHandle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), status.identity);
    return true;
}

int OpenForReading(const std::string& path) {
    return _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int OpenInPlace(const std::string& path) {
    return _open(path.c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY | _O_NOINHERIT);
}

int CreateTemporaryFile(std::string& pattern) {
    for (int attempt = 0; attempt < 26; ++attempt) {
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (_mktemp_s(name.data(), name.size()) != 0) return -1;
        int fd = -1;
        if (_sopen_s(&fd, name.data(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                     _SH_DENYNO, _S_IREAD | _S_IWRITE) == 0) {
            pattern = name.data();
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

std::string ResolvedPath(const std::string& path) {
    char* full = _fullpath(nullptr, path.c_str(), 0);
    if (full == nullptr) return path;
    std::string resolved = full;
    std::free(full);
    return resolved;
}

bool ReplaceableTarget(const std::string& path, std::string& target) {
    FileStatus status;
    if (StatusOfPath(path, status) && !status.regular) return false;
    target = ResolvedPath(path);
    return true;
}

int DescriptorOfPath(const std::string&) {
    return -1;  // no descriptor links on Windows
}

void CopyModeAndOwner(int, const std::string&) {}  // files inherit the folder's access rules

bool RenameOver(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
}

size_t FileNameStart(const std::string& path) {
    size_t separator = path.find_last_of("/\\:");
    return separator == std::string::npos ? 0 : separator + 1;
}

int CreateScratchFile() {
    char folder[MAX_PATH + 1];
    char name[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameA(folder, "tsv", 0, name) == 0) {
        errno = EIO;
        return -1;
    }
    // _O_TEMPORARY: the file goes when its last descriptor is closed.
    return _open(name, _O_RDWR | _O_BINARY | _O_TEMPORARY | _O_NOINHERIT);
}

int DuplicateDescriptor(int fd) {
    return _dup(fd);
}

int64_t ReadAt(int fd, void* buffer, size_t size, uint64_t offset) {
    if (_lseeki64(fd, static_cast<int64_t>(offset), SEEK_SET) < 0) return -1;
    return _read(fd, buffer, static_cast<unsigned>(size));
}

int64_t SeekDescriptor(int fd, int64_t offset, int whence) {
    return _lseeki64(fd, offset, whence);
}

bool TruncateToEmpty(int fd) {
    return _chsize_s(fd, 0) == 0;
}

void UseBinaryMode(int fd) {
    _setmode(fd, _O_BINARY);
}

bool IsTerminal(int fd) {
    return _isatty(fd) != 0;
}

void SetTimeZoneVariable(const char* zone) {
    _putenv_s("TZ", zone != nullptr ? zone : "");
    _tzset();
}

bool BreakDownTime(std::time_t clock, bool local, std::tm& parts) {
    return (local ? localtime_s(&parts, &clock) : gmtime_s(&parts, &clock)) == 0;
}

long UtcOffsetSeconds(std::time_t clock, const std::tm& parts) {
    // Days from 1970-01-01 of the local calendar date (proleptic Gregorian).
    const int64_t year = parts.tm_year + 1900 - (parts.tm_mon < 2);
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t month = parts.tm_mon + 1;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + parts.tm_mday - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const int64_t days = era * 146097 + dayOfEra - 719468;
    const int64_t localSeconds =
        days * 86400 + parts.tm_hour * 3600 + parts.tm_min * 60 + parts.tm_sec;
    return static_cast<long>(localSeconds - static_cast<int64_t>(clock));
}

void InstallSignalHandlers(void (*handler)(int)) {
    std::signal(SIGINT, handler);
    std::signal(SIGTERM, handler);
}

#else

namespace {

void FillStatus(const struct stat& info, FileStatus& status) {
    status.regular = S_ISREG(info.st_mode);
    status.directory = S_ISDIR(info.st_mode);
    status.size = status.regular ? static_cast<uint64_t>(info.st_size) : 0;
    status.identity =
        FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
    status.hasIdentity = true;
}

}  // namespace

bool StatusOfPath(const std::string& path, FileStatus& status) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    FillStatus(info, status);
    return true;
}

bool StatusOfDescriptor(int fd, FileStatus& status) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return false;
    FillStatus(info, status);
    return true;
}

int OpenForReading(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

int OpenInPlace(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
}

int CreateTemporaryFile(std::string& pattern) {
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) return -1;
    pattern = name.data();
    // mkstemp makes the file private; give it the mode a newly created file would get.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    return fd;
}

std::string ResolvedPath(const std::string& path) {
    std::vector<char> resolved(PATH_MAX + 1, '\0');
    return ::realpath(path.c_str(), resolved.data()) != nullptr ? resolved.data() : path;
}

namespace {

// The paths a chain of links passes, the path itself first; the last one is no link (or
// does not exist). Empty for a link that names no path or a loop.
std::vector<std::string> LinkChain(const std::string& path) {
    std::vector<std::string> chain = {path};
    for (int hop = 0; hop < 40; ++hop) {
        const std::string& at = chain.back();
        struct stat info {};
        if (::lstat(at.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return chain;
        std::vector<char> text(PATH_MAX + 1, '\0');
        const ssize_t length = ::readlink(at.c_str(), text.data(), PATH_MAX);
        if (length <= 0) return {};
        std::string next(text.data(), static_cast<size_t>(length));
        if (next[0] != '/') next = at.substr(0, FileNameStart(at)) + next;
        chain.push_back(next);
    }
    return {};
}

bool Under(const std::string& path, const char* folder) {
    return path.rfind(folder, 0) == 0;
}

}  // namespace

bool ReplaceableTarget(const std::string& path, std::string& target) {
    // A link into /proc or /dev is a descriptor or a device even when the file behind it
    // is regular (standard output sent to a file).
    const std::vector<std::string> chain = LinkChain(path);
    if (chain.empty()) return false;
    for (const std::string& at : chain) {
        if (Under(at, "/proc/") || Under(at, "/dev/")) return false;
    }
    const std::string& end = chain.back();
    struct stat info {};
    if (::stat(end.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) return false;
        target = ResolvedPath(end);
        return true;
    }
    // Not there yet: a new file where the chain ends, in its folder resolved.
    const size_t nameStart = FileNameStart(end);
    target = ResolvedPath(nameStart == 0 ? std::string(".") : end.substr(0, nameStart)) + "/" +
             end.substr(nameStart);
    return true;
}

int DescriptorOfPath(const std::string& path) {
    const std::string self = "/proc/" + std::to_string(::getpid()) + "/fd/";
    for (const std::string& at : LinkChain(path)) {
        if (at == "/dev/stdin") return 0;
        if (at == "/dev/stdout") return 1;
        if (at == "/dev/stderr") return 2;
        for (const std::string& folder : {std::string("/dev/fd/"), std::string("/proc/self/fd/"),
                                          std::string("/proc/thread-self/fd/"), self}) {
            if (!Under(at, folder.c_str())) continue;
            const std::string number = at.substr(folder.size());
            if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
                continue;
            }
            return std::atoi(number.c_str());
        }
    }
    return -1;
}

void CopyModeAndOwner(int fd, const std::string& from) {
    struct stat info {};
    if (::stat(from.c_str(), &info) != 0) return;
    ::fchmod(fd, info.st_mode & 07777);
    // Only a privileged process may give a file away; the mode is kept either way.
    if (::fchown(fd, info.st_uid, info.st_gid) != 0) return;
}

bool RenameOver(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

size_t FileNameStart(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

int CreateScratchFile() {
    std::FILE* scratch = std::tmpfile();
    if (scratch == nullptr) return -1;
    int fd = ::dup(fileno(scratch));
    std::fclose(scratch);
    return fd;
}

int DuplicateDescriptor(int fd) {
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

int64_t ReadAt(int fd, void* buffer, size_t size, uint64_t offset) {
    return ::pread(fd, buffer, size, static_cast<off_t>(offset));
}

int64_t SeekDescriptor(int fd, int64_t offset, int whence) {
    return ::lseek(fd, static_cast<off_t>(offset), whence);
}

bool TruncateToEmpty(int fd) {
    return ::ftruncate(fd, 0) == 0;
}

void UseBinaryMode(int) {}

bool IsTerminal(int fd) {
    return ::isatty(fd) == 1;
}

void SetTimeZoneVariable(const char* zone) {
    if (zone != nullptr) {
        ::setenv("TZ", zone, 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

bool BreakDownTime(std::time_t clock, bool local, std::tm& parts) {
    return (local ? localtime_r(&clock, &parts) : gmtime_r(&clock, &parts)) != nullptr;
}

long UtcOffsetSeconds(std::time_t, const std::tm& parts) {
    return parts.tm_gmtoff;
}

void InstallSignalHandlers(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked read returns and the run stops
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

#endif

}  // namespace tessavo::cli
