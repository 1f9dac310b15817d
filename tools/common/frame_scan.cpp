#include "frame_scan.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

namespace tessavo::cli {
namespace {

constexpr uint8_t kTerminator = 0x7E;
constexpr uint8_t kEscape = 0x7D;
constexpr uint8_t kLogCommand = 0x10;
constexpr size_t kLogCodeOffset = 6;

// Calls `visit` with the unescaped bytes of `frame` in runs: the bytes between escapes as
// they stand, each escape pair as its one byte (0x7D 0x5D -> 0x7D, 0x7D 0x5E -> 0x7E); a
// 0x7D followed by anything else (or at the end) is passed as it is.
template <typename Visit>
void ForEachUnescapedRun(std::span<const uint8_t> frame, Visit visit) {
    const uint8_t* at = frame.data();
    const uint8_t* const end = at + frame.size();
    while (at < end) {
        const auto* escape =
            static_cast<const uint8_t*>(std::memchr(at, kEscape, static_cast<size_t>(end - at)));
        if (escape == nullptr) {
            visit(std::span<const uint8_t>(at, end));
            return;
        }
        visit(std::span<const uint8_t>(at, escape));
        if (escape + 1 < end && (escape[1] == 0x5D || escape[1] == 0x5E)) {
            const uint8_t byte = static_cast<uint8_t>(escape[1] ^ 0x20);
            visit(std::span<const uint8_t>(&byte, 1));
            at = escape + 2;
        } else {
            visit(std::span<const uint8_t>(escape, 1));
            at = escape + 1;
        }
    }
}

}  // namespace

FrameCounts& FrameCounts::operator+=(const FrameCounts& other) {
    frames += other.frames;
    emptyFrames += other.emptyFrames;
    crcFailures += other.crcFailures;
    compactFrames += other.compactFrames;
    oversized += other.oversized;
    trailingBytes += other.trailingBytes;
    goodLogFrames += other.goodLogFrames;
    commandsBeforeFirstLog += other.commandsBeforeFirstLog;
    commandsAfterFirstLog += other.commandsAfterFirstLog;
    return *this;
}

void FrameScanner::Feed(std::span<const uint8_t> bytes) {
    // Mirrors the library's reassembly: a frame that reaches the limit is dropped and
    // collecting starts again with the very next byte, so the rest of a long frame shows up
    // as a frame of its own (which then fails its CRC, as it does in the library).
    // Bytes are taken up to the next terminator or up to the limit, whichever comes first;
    // a frame wholly inside `bytes` is read where it is.
    for (size_t i = 0; i < bytes.size();) {
        const uint8_t* start = bytes.data() + i;
        const size_t room = std::min(bytes.size() - i, kMaxFrameLength - frame_.size());
        const auto* at = static_cast<const uint8_t*>(std::memchr(start, kTerminator, room));
        const size_t take = at != nullptr ? static_cast<size_t>(at - start) + 1 : room;
        position_ += take;
        i += take;
        if (frame_.size() + take >= kMaxFrameLength) {
            ++counts_.oversized;
            frame_.clear();
        } else if (at == nullptr) {
            frame_.insert(frame_.end(), start, start + take);
        } else if (frame_.empty()) {
            CompleteFrame({start, take});
        } else {
            frame_.insert(frame_.end(), start, start + take);
            CompleteFrame(frame_);
            frame_.clear();
        }
    }
}

void FrameScanner::Finish() {
    counts_.trailingBytes += frame_.size();
    frame_.clear();
}

void FrameScanner::CompleteFrame(std::span<const uint8_t> frame) {
    if (frame.size() == 1) {
        ++counts_.emptyFrames;
        return;
    }
    if (handler_) handler_(frame, position_ - frame.size());
    ++counts_.frames;
    if (!check_) return;
    // One pass unescapes, runs the CRC over the runs between escapes and keeps the header
    // bytes; the terminator is never part of an escape pair, so it is simply left out.
    uint16_t crc = 0xFFFF;
    std::array<uint8_t, kLogCodeOffset + 2> head{};
    size_t length = 0;
    ForEachUnescapedRun(frame.first(frame.size() - 1), [&](std::span<const uint8_t> run) {
        if (length < head.size()) {
            std::copy_n(run.begin(), std::min(run.size(), head.size() - length),
                        head.begin() + static_cast<std::ptrdiff_t>(length));
        }
        length += run.size();
        crc = CrcRegister(run, crc);
    });
    const bool log = length > kLogCodeOffset + 1 && head[0] == kLogCommand;
    const auto logCode =
        static_cast<uint16_t>(head[kLogCodeOffset] | (head[kLogCodeOffset + 1] << 8));
    if (log && logCode == kCompactLogCode) {
        ++counts_.compactFrames;
    } else if (length < 2 || crc != kCrcGoodResidue) {
        ++counts_.crcFailures;
    } else if (log) {
        sawLog_ = true;
        counts_.goodLogFrames.Add(logCode);
    } else {
        ++(sawLog_ ? counts_.commandsAfterFirstLog : counts_.commandsBeforeFirstLog);
    }
}

}  // namespace tessavo::cli
