// The command-line decoder's own look at the byte stream: it splits the input into
// 0x7E-terminated frames and checks each frame's CRC-16/X.25, independently of the
// library. The library rejects bad frames silently; this count is how the summary can say
// how many frames were damaged. It is also the frame splitter for the modes in which every
// decode call must carry exactly one frame (raw packets, whole frames).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "code_counts.h"
#include "crc16_x25.h"

namespace tessavo::cli {

// A frame longer than this (terminator included) is dropped, as the library drops it.
inline constexpr size_t kMaxFrameLength = 7168;

// Log code of the compact re-encoded form: it carries the check bytes of the packet it was
// built from, so its CRC is not expected to verify.
inline constexpr uint16_t kCompactLogCode = 0xFFFE;

struct FrameCounts {
    uint64_t frames = 0;         // 0x7E-terminated frames with at least one byte before 0x7E
    uint64_t emptyFrames = 0;    // a 0x7E directly after another (or at the start)
    uint64_t crcFailures = 0;    // frames whose check bytes do not verify
    uint64_t compactFrames = 0;  // compact (log code 0xFFFE) frames, CRC not checked
    uint64_t oversized = 0;      // frames dropped for reaching 7168 bytes
    uint64_t trailingBytes = 0;  // bytes after the last 0x7E (set by Finish)
    // Frames with a good CRC: log packets by log code, and command responses before and
    // after the first log packet (the library drops those before it).
    CodeCounts goodLogFrames;
    uint64_t commandsBeforeFirstLog = 0;
    uint64_t commandsAfterFirstLog = 0;

    FrameCounts& operator+=(const FrameCounts& other);
};

class FrameScanner {
  public:
    // Called with each complete frame, terminator included, and the offset of its first
    // byte among all bytes fed, before the frame is counted.
    using FrameHandler = std::function<void(std::span<const uint8_t> frame, uint64_t offset)>;

    explicit FrameScanner(FrameHandler handler = nullptr) : handler_(std::move(handler)) {}

    // Off: frames are split and counted (frames, empty frames, oversized, trailing bytes) but
    // not checked, so the CRC and per-code counts stay zero; for outputs that never show them.
    void CheckFrames(bool check) { check_ = check; }

    void Feed(std::span<const uint8_t> bytes);
    // Counts the bytes of an unfinished last frame as trailing bytes and forgets them.
    void Finish();

    const FrameCounts& Counts() const { return counts_; }
    // Whether a good log frame has been seen, here or (AssumeLogSeen) in an earlier input
    // decoded by the same decoder object.
    bool SawLog() const { return sawLog_; }
    void AssumeLogSeen(bool seen) { sawLog_ = seen; }

  private:
    void CompleteFrame(std::span<const uint8_t> frame);

    FrameHandler handler_;
    std::vector<uint8_t> frame_;  // the start of a frame that a later Feed completes
    uint64_t position_ = 0;       // bytes fed so far
    FrameCounts counts_;
    bool sawLog_ = false;
    bool check_ = true;
};

}  // namespace tessavo::cli
