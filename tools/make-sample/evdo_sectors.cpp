#include "evdo_sectors.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "drive_test.h"

namespace tessavo::sample {
namespace {

constexpr uint16_t kSectorA = 120, kSectorB = 240, kCandidate = 300, kNeighbour = 360;

// Forward bytes per second of flows 0 and 1 (flow 0 doubles on two carriers), reverse bytes
// per second of flow 0; one counted packet per 100 bytes.
constexpr uint64_t kFlow0Single = 150000, kFlow0Multi = 300000, kFlow1 = 50000;
constexpr uint64_t kReverse = 6000;
constexpr uint64_t kBytesPerCount = 100;

// Strength of a sector in 1/512 units from its level in dB.
uint16_t Strength(double db) {
    return static_cast<uint16_t>(std::lround(512.0 * std::pow(10.0, db / 10.0)));
}

// Sector levels in dB over the two-carrier period: sector 120 fades from 9 dB to 1 dB while
// sector 240 rises from 1 dB to 9 dB; the serving sector is the stronger.
double LevelA(uint64_t ms) {
    const double x =
        static_cast<double>(ms - kEvdoMultiStartMs) / (kEvdoMultiEndMs - kEvdoMultiStartMs);
    return 9.0 - 8.0 * x;
}
double LevelB(uint64_t ms) {
    return 10.0 - LevelA(ms);
}

uint16_t Word(uint16_t channel) {
    return channel;
}  // band class 0: the 5-bit field is 0

Bytes U16Bytes(std::initializer_list<uint16_t> values) {
    Bytes b;
    for (uint16_t v : values) PutU16(b, v);
    return b;
}

// ---- two carriers ----

Bytes Levels129C(uint64_t ms) {
    Bytes b = {1, 0, 0, 0, 0, 0, 0, 2};
    for (uint8_t c = 0; c < 2; ++c) {
        const double rx = -72.0 - 3.0 * c - 2.0 * std::sin(static_cast<double>(ms) / 7000.0);
        PutU8(b, c);
        PutU16(b, Word(kEvdoChannels[c]));
        PutU8(b, 0);
        // L0 to L5: pilot Ec/Io, a ratio, SINR, C/I, receive level, second antenna (1/256 dB).
        for (double v : {-3.0, 5.0, 8.0 - c, 6.0, rx, rx - 1.5}) {
            PutU16(b, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 256.0))));
        }
    }
    return b;
}

// A 0x12A1 set A entry: sector, strengths, channel word, flag byte (bit 2: reference).
Bytes EntryA(uint16_t sector, double db, uint16_t channel, bool reference) {
    Bytes b = U16Bytes({sector, Strength(db), Strength(db - 1.0)});
    PutU8(b, 0);
    PutU16(b, Word(channel));
    const Bytes tail = {0, static_cast<uint8_t>(reference ? 0x04 : 0x00), 0, 0, 0, 0, 0, 0, 0, 0};
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

Bytes Sets12A1(uint64_t ms) {
    const bool handedOff = ms >= kEvdoHandoffMs;
    const double a = LevelA(ms), b = LevelB(ms);
    Bytes p = {1, 0, 0, 3, 0, 0, 0, 1, 0, 1, 0, 0, 0};
    for (const Bytes& e :
         {EntryA(kSectorA, a, kEvdoChannels[0], !handedOff),
          EntryA(kSectorB, b, kEvdoChannels[0], handedOff),
          EntryA(handedOff ? kSectorB : kSectorA, std::max(a, b) - 1.0, kEvdoChannels[1], false)}) {
        p.insert(p.end(), e.begin(), e.end());
    }
    Bytes candidate = U16Bytes({kCandidate, Strength(-2.0), 0});
    candidate.insert(candidate.end(), {0, static_cast<uint8_t>(kEvdoChannels[0]), 0, 0, 0, 0});
    Bytes neighbour = U16Bytes({kNeighbour, Strength(-6.0), 0});
    neighbour.insert(neighbour.end(),
                     {0, static_cast<uint8_t>(kEvdoChannels[1]), 0, 0, 0, 0, 0, 0});
    p.insert(p.end(), candidate.begin(), candidate.end());
    p.insert(p.end(), neighbour.begin(), neighbour.end());
    return p;
}

// A 0x1295 sub-entry: sector, value, energy E0, flags (bit 0: serving), energies E1, E2.
Bytes Serving(uint16_t sector, double db, bool serving) {
    Bytes b = U16Bytes({sector});
    PutU32(b, 0);
    PutU16(b, Strength(db));
    PutU8(b, serving ? 1 : 0);
    PutU8(b, 0);
    PutU16(b, Strength(db));
    PutU16(b, Strength(db - 1.0));
    PutU32(b, 0);
    PutU32(b, 0);
    return b;
}

Bytes Serving1295(uint64_t ms) {
    const bool handedOff = ms >= kEvdoHandoffMs;
    const double a = LevelA(ms), b = LevelB(ms);
    Bytes p = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};
    const std::array<std::vector<Bytes>, 2> subs = {
        std::vector<Bytes>{Serving(kSectorA, a, !handedOff), Serving(kSectorB, b, handedOff)},
        std::vector<Bytes>{Serving(handedOff ? kSectorB : kSectorA, std::max(a, b) - 1.0, true)}};
    for (uint8_t c = 0; c < 2; ++c) {
        PutU8(p, c);
        PutU16(p, Word(kEvdoChannels[c]));
        PutU8(p, 0);
        PutU8(p, static_cast<uint8_t>(subs[c].size()));
        for (const Bytes& s : subs[c]) p.insert(p.end(), s.begin(), s.end());
    }
    return p;
}

// Ratio counters U0 to U12 of one entry: U2 is the reference, U3 to U7 the compared powers.
Bytes RatioEntry(uint8_t sizeIndex, double scale) {
    Bytes b = {0, sizeIndex, 0};
    const std::array<double, 13> u = {0, 0, 1000, 1500, 800, 2000, 1200, 900, 0, 0, 0, 0, 0};
    for (double v : u) PutU16(b, static_cast<uint16_t>(std::lround(v * scale)));
    return b;
}

Bytes Ratios129D(uint64_t ms) {
    Bytes p = {1, 1, 2};
    p.insert(p.end(), 7, 0);
    for (uint8_t c = 0; c < 2; ++c) {
        PutU8(p, c);
        PutU16(p, Word(kEvdoChannels[c]));
        const Bytes e = RatioEntry(static_cast<uint8_t>(8 + c),
                                   1.0 + 0.1 * std::sin(static_cast<double>(ms) / 5000.0));
        p.insert(p.end(), e.begin(), e.end());
    }
    return p;
}

Bytes Ratios127D(uint64_t ms) {
    Bytes p = {0, 1};
    const Bytes e = RatioEntry(6, 1.0 + 0.1 * std::cos(static_cast<double>(ms) / 5000.0));
    p.insert(p.end(), e.begin(), e.end());
    return p;
}

// ---- flows ----

struct FlowCounters {
    uint64_t bytes = 0;
    uint64_t Count() const { return bytes / kBytesPerCount; }
};

// 0x1276 (forward) and 0x1275 (reverse, four bytes shorter).
Bytes FlowSingle(uint8_t flow, const FlowCounters& k, bool reverse) {
    Bytes p = {0, flow};
    PutU64(p, CaptureStamp(kEvdoStartMs));
    PutU32(p, 0);
    PutU64(p, 0);
    PutU64(p, k.Count());
    PutU64(p, 0);
    PutU64(p, k.bytes);
    p.resize(reverse ? 62 : 66, 0);
    return p;
}

Bytes Flow12A5(uint8_t flow, const FlowCounters& k) {
    Bytes p = {0};
    PutU16(p, flow);
    p.insert(p.end(), {0, 0});
    for (int i = 0; i < 13; ++i) {
        PutU64(p, i == 0 ? CaptureStamp(kEvdoStartMs) : i == 5 ? k.Count() : i == 7 ? k.bytes : 0);
    }
    p.resize(158, 0);
    return p;
}

Bytes Flow12A6(uint8_t flow, const FlowCounters& k) {
    Bytes p = {0};
    PutU16(p, flow);
    PutU8(p, 0);
    for (int i = 0; i < 18; ++i) {
        PutU64(p, i == 0    ? k.bytes
                  : i == 14 ? k.Count()
                  : i == 17 ? CaptureStamp(kEvdoStartMs)
                            : 0);
    }
    p.resize(164, 0);
    return p;
}

}  // namespace

std::vector<TimedLog> EvdoSectorAndFlowLogs() {
    std::vector<TimedLog> logs;
    std::array<FlowCounters, 2> forward{};
    FlowCounters reverse;
    for (uint64_t s = kEvdoStartMs + 1000; s < kEvdoEndMs; s += 1000) {
        const bool multi = EvdoMultiCarrier(s);
        forward[0].bytes += multi ? kFlow0Multi : kFlow0Single;
        forward[1].bytes += kFlow1;
        reverse.bytes += kReverse;
        if (multi) {
            logs.push_back({s + 50, 0x129C, Levels129C(s + 50)});
            logs.push_back({s + 100, 0x12A1, Sets12A1(s + 100)});
            logs.push_back({s + 150, 0x1295, Serving1295(s + 150)});
            logs.push_back({s + 300, 0x129D, Ratios129D(s + 300)});
            logs.push_back({s + 450, 0x12A5, Flow12A5(1, forward[1])});
            logs.push_back({s + 460, 0x12A5, Flow12A5(0, forward[0])});
            logs.push_back({s + 470, 0x12A6, Flow12A6(0, reverse)});
        } else {
            logs.push_back({s + 300, 0x127D, Ratios127D(s + 300)});
            logs.push_back({s + 450, 0x1276, FlowSingle(1, forward[1], false)});
            logs.push_back({s + 460, 0x1276, FlowSingle(0, forward[0], false)});
            logs.push_back({s + 470, 0x1275, FlowSingle(0, reverse, true)});
        }
    }
    return logs;
}

}  // namespace tessavo::sample
