// The raw recording (-w): exactly the bytes read from the port, in order, written as they
// arrive and forced to the disk once a second, so a power cut loses at most a second. The
// forcing runs on a thread of its own: a slow disk never holds up the reads.
//
// Rotation starts numbered files (drive.qmdl, drive.1.qmdl, drive.2.qmdl, ...) by size or
// age, always at a frame boundary, so that every file decodes on its own. A reconnection
// starts the next numbered file as well. An existing file is never replaced without force.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace tessavo::capture {

struct RecordingSettings {
    std::string path;
    bool force = false;
    uint64_t rotateBytes = 0;    // 0: no rotation by size
    uint64_t rotateSeconds = 0;  // 0: no rotation by time
};

// `path` with ".N" before its extension (none for N = 0).
std::string NumberedPath(const std::string& path, unsigned number);

class Recorder {
  public:
    explicit Recorder(RecordingSettings settings) : settings_(std::move(settings)) {}
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Opens the first file; false with `error` set.
    bool Open(std::string& error);
    // Writes `chunk`, of which the first `frameEnd` bytes end on a frame boundary (0: no
    // frame ends in it), rotating there when a limit is reached.
    bool Write(std::span<const uint8_t> chunk, size_t frameEnd, std::string& error);
    bool NextFile(std::string& error);
    bool Close(std::string& error);

    uint64_t TotalBytes() const { return totalBytes_; }
    const std::vector<std::string>& Files() const { return files_; }

  private:
    bool OpenNumber(unsigned number, std::string& error);
    bool WriteAll(std::span<const uint8_t> bytes, std::string& error);
    bool RotationDue(size_t adding) const;
    void SyncEverySecond();

    RecordingSettings settings_;
    int fd_ = -1;
    unsigned number_ = 0;
    uint64_t fileBytes_ = 0;
    uint64_t totalBytes_ = 0;
    std::chrono::steady_clock::time_point fileStart_;
    std::vector<std::string> files_;
    // The syncing thread's share: the descriptor is opened and closed under the lock.
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::atomic<bool> unsynced_{false};
    std::thread syncer_;
};

}  // namespace tessavo::capture
