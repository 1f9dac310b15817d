// The EV-DO part of the bundled capture: after the 1x drive the handset holds an EV-DO data
// session for 77 s. It starts on one carrier, the network adds a second carrier for about
// 30 s (multi-carrier mode), then drops it again. The handset logs its carrier mode (0x128A)
// at each change and, once a second, its forward and reverse packet statistics: 0x1192,
// 0x1193 and 0x127E on one carrier, 0x12A2 and 0x129F per carrier on two.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "diag_frame_writer.h"

namespace tessavo::sample {

// One log packet of the capture: its time in milliseconds from the start of the capture.
struct TimedLog {
    uint64_t ms = 0;
    uint16_t logCode = 0;
    Bytes payload;
};

// Session times, in milliseconds from the start of the capture.
inline constexpr uint64_t kEvdoStartMs = 242000;       // session opens on one carrier
inline constexpr uint64_t kEvdoMultiStartMs = 273000;  // second carrier added
inline constexpr uint64_t kEvdoMultiEndMs = 304000;    // back on one carrier
inline constexpr uint64_t kEvdoEndMs = 320000;         // no statistics from here on

// The session's carriers: channels of band class 0, carrier 0 first.
inline constexpr std::array<uint16_t, 2> kEvdoChannels = {75, 116};

// Whether the handset runs two carriers at `ms`.
inline bool EvdoMultiCarrier(uint64_t ms) {
    return ms >= kEvdoMultiStartMs && ms < kEvdoMultiEndMs;
}

// Every packet of the EV-DO session, in time order.
std::vector<TimedLog> EvdoSessionLogs();

}  // namespace tessavo::sample
