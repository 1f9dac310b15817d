// tessavo-decode's own look at its input: the frame scan. The same bytes fed in one piece and
// in pieces whose sizes the input's first byte chooses give the same frames and counts, every
// frame handed over is within the input and ends at its 0x7E, and no byte is lost or counted
// twice.
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "frame_scan.h"

namespace {

using tessavo::cli::FrameCounts;
using tessavo::cli::FrameScanner;

struct Scan {
    FrameCounts counts;
    std::vector<uint64_t> frames;  // offset and length of each frame, packed
    uint64_t frameBytes = 0;
};

Scan Run(const uint8_t* data, size_t size, size_t piece, bool check) {
    Scan s;
    FrameScanner scanner([&](std::span<const uint8_t> frame, uint64_t offset) {
        if (frame.empty() || frame.back() != 0x7E || offset + frame.size() > size) std::abort();
        s.frames.push_back(offset << 16 | frame.size());
        s.frameBytes += frame.size();
    });
    scanner.CheckFrames(check);
    for (size_t at = 0; at < size; at += piece) {
        scanner.Feed({data + at, std::min(piece, size - at)});
    }
    scanner.Finish();
    s.counts = scanner.Counts();
    return s;
}

bool Same(const Scan& a, const Scan& b) {
    const FrameCounts& x = a.counts;
    const FrameCounts& y = b.counts;
    bool same = a.frames == b.frames && x.frames == y.frames && x.emptyFrames == y.emptyFrames &&
                x.crcFailures == y.crcFailures && x.compactFrames == y.compactFrames &&
                x.oversized == y.oversized && x.trailingBytes == y.trailingBytes &&
                x.commandsBeforeFirstLog == y.commandsBeforeFirstLog &&
                x.commandsAfterFirstLog == y.commandsAfterFirstLog;
    x.goodLogFrames.ForEach(
        [&](uint16_t code, uint64_t n) { same = same && y.goodLogFrames.Get(code) == n; });
    y.goodLogFrames.ForEach(
        [&](uint16_t code, uint64_t n) { same = same && x.goodLogFrames.Get(code) == n; });
    return same;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t piece = 1 + data[0];
    const bool check = (data[0] & 1) == 0;
    ++data;
    --size;
    const Scan whole = Run(data, size, size == 0 ? 1 : size, check);
    // Frames handed over, oversized ones and the trailing bytes account for every byte.
    if (whole.frameBytes + whole.counts.trailingBytes > size) std::abort();
    for (size_t p : {size_t{1}, piece}) {
        if (!Same(whole, Run(data, size, p, check))) {
            std::fprintf(stderr, "frame scan differs in pieces of %zu bytes\n", p);
            std::abort();
        }
    }
    return 0;
}
