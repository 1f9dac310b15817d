// The log frames of a capture file, in file order, with the time to send each.
//
// Only log packets (command 0x10) whose check bytes verify are replayed; command replies and
// damaged frames of the file are left out, since the simulator answers commands itself.
// Each frame is sent as the file holds it (its escaping unchanged).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessavo::sim {

struct ReplayFrame {
    std::vector<uint8_t> bytes;  // escaped, closing 0x7E included
    uint16_t logCode = 0;
    // When to send it, in 1.25 ms units of capture time after the first frame: the time
    // stamps' steps, where a step back counts as none and a pause longer than kMaxStepTicks
    // (a handset that had no system time yet, a capture resumed later) as kMaxStepTicks.
    uint64_t dueTicks = 0;
    std::vector<uint8_t> recordHead;  // log record length, code and time stamp (packet 4..16)
};

inline constexpr uint64_t kTicksPerSecond = 800;  // time stamp units of 1.25 ms
inline constexpr uint64_t kMaxStepTicks = kTicksPerSecond;

// False with `error` set when the file cannot be read or holds no log frame.
bool LoadCaptureFrames(const std::string& path, std::vector<ReplayFrame>& frames,
                       std::string& error);

}  // namespace tessavo::sim
