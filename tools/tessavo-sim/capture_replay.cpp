#include "capture_replay.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "frame_scan.h"
#include "hdlc_codec.h"
#include "log_config_packets.h"

namespace tessavo::sim {
namespace {

constexpr size_t kRecordHeadBegin = 4;  // log record length, log code, 8-byte time stamp
constexpr size_t kRecordHeadEnd = 16;
constexpr size_t kLogCodeOffset = 6;
constexpr size_t kStampOffset = 8;

uint64_t StampTicks(const std::vector<uint8_t>& packet) {
    uint64_t stamp = 0;
    for (size_t i = 0; i < 8; ++i)
        stamp |= static_cast<uint64_t>(packet[kStampOffset + i]) << (8 * i);
    return stamp >> 16;  // the low 16 bits are a sub-tick count
}

}  // namespace

bool LoadCaptureFrames(const std::string& path, std::vector<ReplayFrame>& frames,
                       std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    frames.clear();
    bool first = true;
    uint64_t lastTicks = 0;
    uint64_t due = 0;
    cli::FrameScanner scanner([&](std::span<const uint8_t> frame, uint64_t) {
        auto packet = cli::OpenHdlcFrame(frame);
        if (!packet || packet->size() < kRecordHeadEnd || (*packet)[0] != cli::kCmdLog) return;
        ReplayFrame replay;
        replay.bytes.assign(frame.begin(), frame.end());
        replay.logCode =
            static_cast<uint16_t>((*packet)[kLogCodeOffset] | ((*packet)[kLogCodeOffset + 1] << 8));
        replay.recordHead.assign(packet->begin() + kRecordHeadBegin,
                                 packet->begin() + kRecordHeadEnd);
        const uint64_t ticks = StampTicks(*packet);
        if (!first && ticks > lastTicks) due += std::min(ticks - lastTicks, kMaxStepTicks);
        first = false;
        lastTicks = ticks;
        replay.dueTicks = due;
        frames.push_back(std::move(replay));
    });
    scanner.CheckFrames(false);
    scanner.Feed(bytes);
    if (frames.empty()) {
        error = "no log frames with a good check in '" + path + "'";
        return false;
    }
    return true;
}

}  // namespace tessavo::sim
