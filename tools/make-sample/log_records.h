// Binary log records of the sample's handset: searcher and power reports, frame statistics,
// data counters, packed records and the command responses, in the layouts the handset logs.
#pragma once

#include <cstdint>
#include <vector>

#include "diag_frame_writer.h"

namespace tessavo::sample {

struct Finger {
    uint16_t pn = 0;
    double ecio = 0;  // dB
};

// Power and finger state reported by the searcher at one instant.
struct SearcherReport {
    uint16_t channel = 0;
    double rxDbm = 0;
    bool onTraffic = false;
    double txDbm = 0;      // meaningful on traffic only
    double gainAdjDb = 0;  // closed-loop correction, dB
    std::vector<Finger> fingers;
};

// 0x119A: a power sub-record (chain 0 only) and a finger sub-record.
Bytes SearcherRecord119A(const SearcherReport& r);
// 0x102D: band class 1 fixed layout with the active pilots and the finger entries.
Bytes SearcherRecord102D(const SearcherReport& r, const std::vector<uint16_t>& activePns);

// 0x1025 / 0x1026: per-frame entries whose 14-bit field is summed into a mean.
Bytes FrameEntryRecord(const std::vector<uint16_t>& values);
// 0x1029: one group of 50 frames on the fundamental channel; `rates` holds the rate index
// (0 full, 1 half, 2 quarter, 3 eighth) of each frame.
Bytes RateShareRecord(const std::vector<uint8_t>& rates);
// 0x102B: one group of 50 frames, one signed value per frame in 1/8 units.
Bytes ChannelAverageRecord(const std::vector<int8_t>& eighths);
// 0x102C: one group of 50 frames with receive AGC, transmit AGC and gain adjust bytes.
Bytes ChannelPowerRecord(double rxDbm, double txDbm, double gainAdjDb);
// 0x1031: data link counters since `resetTicks`.
struct LinkCounters {
    uint64_t resetTicks = 0;
    uint32_t forwardBytes = 0;   // A
    uint32_t reverseBytes = 0;   // B
    uint32_t naks = 0;           // C
    uint32_t frames = 0;         // D
    uint32_t retransmitted = 0;  // E
    uint32_t firstTime = 0;      // G
};
Bytes LinkCounterRecord(const LinkCounters& c);
// 0x1070: byte counters of data link instance 0.
struct ThroughputCounters {
    uint64_t resetTicks = 0;
    uint64_t forwardBytes = 0;      // C49
    uint64_t forwardDuplicate = 0;  // C33
    uint64_t forwardResent = 0;     // C25
    uint64_t reverseBytes = 0;      // C81
    uint64_t reverseResent = 0;     // C65
};
Bytes ThroughputRecord(const ThroughputCounters& c);
// 0x1036 / 0x1037: n = 2 carried bytes, then `first` entries of the first kind and `second`
// of the second kind, each a kind byte, a length byte and that many bytes.
Bytes PackedRecord(uint8_t first, uint8_t second, uint32_t seed);

// 0x1014: a position fix as decimal text in units of 1e-5 degree, longitude in 9 characters
// and latitude in 8 (after 6 bytes the handset leaves zero), then two 3-character fields and
// two bytes, all zero here.
Bytes PositionRecord(double latitude, double longitude);

// Command responses (bodies after the command byte).
struct PilotSetsStatus {
    std::vector<std::pair<uint16_t, uint16_t>> active, candidate, neighbour;  // PN, strength
};
Bytes PilotSetsStatusBody(const PilotSetsStatus& s);
Bytes StatusFlagBody(uint32_t counter, uint32_t flag);          // 0x73
Bytes SubsystemStateBody(uint32_t state);                       // 0x4B, subsystem 0x0F
Bytes EventReportBody(uint64_t ticks, uint32_t callEventWord);  // 0x60

}  // namespace tessavo::sample
