#include "log_records.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tessavo::sample {
namespace {

constexpr int kFramesPerSecond = 50;  // 20 ms traffic frames

int64_t RoundClamp(double v, int64_t lo, int64_t hi) {
    return std::clamp(static_cast<int64_t>(std::lround(v)), lo, hi);
}

void PutStamp(Bytes& b, uint64_t ticks) {
    PutU64(b, ticks << 16);
}

void PutFixedAt(Bytes& b, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutFixedAt64(Bytes& b, size_t offset, uint64_t v) {
    PutFixedAt(b, offset, static_cast<uint32_t>(v));
    PutFixedAt(b, offset + 4, static_cast<uint32_t>(v >> 32));
}

// Receive AGC byte: dBm = v / 3 - 148.581, with v taken modulo 256 (bytes below 128 stand for
// v + 256), so the byte covers -105.9 to -20.3 dBm.
uint8_t RxAgcByte(double rxDbm) {
    const int64_t v = RoundClamp((rxDbm + 148.581) * 3.0, 128, 383);
    return static_cast<uint8_t>(v & 0xFF);
}

// Transmit AGC byte: dBm = t / 3 - 52.25; 0 means the transmitter is off.
uint8_t TxAgcByte(double txDbm) {
    return static_cast<uint8_t>(RoundClamp((txDbm + 52.25) * 3.0, 1, 255));
}

// Gain adjust byte: the correction is -g / 2 dB.
uint8_t GainAdjByte(double gainAdjDb) {
    return static_cast<uint8_t>(static_cast<int8_t>(RoundClamp(-2.0 * gainAdjDb, -126, 126)));
}

Bytes FrameGroup(uint8_t recordSize) {
    Bytes g;
    PutU8(g, 0x01);  // fundamental channel only
    PutU16(g, kFramesPerSecond);
    PutU8(g, recordSize);
    return g;
}

}  // namespace

Bytes SearcherRecord119A(const SearcherReport& r) {
    Bytes b;
    PutU8(b, 1);  // version
    PutU8(b, 2);  // sub-records
    PutU16(b, 0);

    // Power: chain 0 on `channel`, chain 1 (diversity) switched off. AGC in units of
    // 0.334 dB above -63.248 dBm; 0 would mean "no chain", so the byte stays negative.
    PutU8(b, 2);
    PutU8(b, 1);
    PutU16(b, 16);
    PutU8(b, 0);
    PutU8(b, 255);
    PutU16(b, r.channel);
    PutU16(b, 0);
    PutU8(b, static_cast<uint8_t>(
                 static_cast<int8_t>(RoundClamp((r.rxDbm + 63.248) / 0.334, -128, -1))));
    PutU8(b, 0);
    PutU16(b, static_cast<uint16_t>(
                  static_cast<int16_t>(r.onTraffic ? RoundClamp(r.txDbm * 10.0, -600, 230) : 0)));
    PutU8(b, r.onTraffic ? GainAdjByte(r.gainAdjDb) : 127);  // 127: no closed loop in idle
    PutU8(b, 0);

    // Fingers: energy in linear units, Ec/Io = 10 log10(E) - 48.7 dB.
    const auto count = static_cast<uint8_t>(r.fingers.size());
    PutU8(b, 4);
    PutU8(b, 1);
    PutU16(b, static_cast<uint16_t>(8 + 20 * count));
    PutU8(b, 0);
    PutU8(b, 0);
    PutU8(b, 0);
    PutU8(b, count);
    for (const Finger& f : r.fingers) {
        PutU16(b, f.pn);
        PutU16(b,
               static_cast<uint16_t>(RoundClamp(std::pow(10.0, (f.ecio + 48.7) / 10.0), 1, 65535)));
        PutU32(b, static_cast<uint32_t>(f.pn) * 64u * 8u);  // position in 1/8 chips
        for (int i = 0; i < 8; ++i) PutU8(b, 0);
        PutU16(b, 0x0007);  // assigned, locked, combined
        PutU16(b, 0);
    }
    return b;
}

Bytes SearcherRecord102D(const SearcherReport& r, const std::vector<uint16_t>& activePns) {
    Bytes b(24, 0);
    b[0] = 1;  // version
    b[1] = 0;  // band class 0 (800 MHz)
    b[13] = RxAgcByte(r.rxDbm);
    b[14] = r.onTraffic ? TxAgcByte(r.txDbm) : 0;
    b[15] = r.onTraffic ? GainAdjByte(r.gainAdjDb) : 0;
    b[21] = static_cast<uint8_t>(activePns.size());
    b[22] = static_cast<uint8_t>(r.fingers.size());
    for (uint16_t pn : activePns) {
        PutU16(b, pn);
        PutU16(b, 0);
    }
    // Finger energy byte: Ec/Io = 10 log10(E) - 24.6 dB.
    for (const Finger& f : r.fingers) {
        PutU16(b, f.pn);
        PutU8(b, 0);
        PutU8(b, static_cast<uint8_t>(RoundClamp(std::pow(10.0, (f.ecio + 24.6) / 10.0), 1, 255)));
        PutU32(b, static_cast<uint32_t>(f.pn) * 64u * 8u);
        PutU16(b, 0x0004);  // locked
    }
    return b;
}

Bytes FrameEntryRecord(const std::vector<uint16_t>& values) {
    Bytes b;
    PutU8(b, 1);
    PutU8(b, static_cast<uint8_t>(values.size()));
    uint8_t index = 0;
    for (uint16_t v : values) {
        PutU8(b, index++);
        PutU16(b, static_cast<uint16_t>(v & 0x3FFF));
        PutU16(b, 0);
        PutU8(b, 0);  // no extension bytes
    }
    return b;
}

Bytes RateShareRecord(const std::vector<uint8_t>& rates) {
    Bytes b(5, 0);
    b[0] = 1;
    PutU8(b, 1);  // one group
    Bytes g = FrameGroup(1);
    b.insert(b.end(), g.begin(), g.end());
    for (uint8_t r : rates) PutU8(b, r);
    return b;
}

Bytes ChannelAverageRecord(const std::vector<int8_t>& eighths) {
    Bytes b(6, 0);
    b[0] = 1;
    PutU8(b, 1);
    Bytes g = FrameGroup(3);
    b.insert(b.end(), g.begin(), g.end());
    for (int8_t v : eighths) {
        PutU8(b, 0);
        PutU8(b, 0);
        PutU8(b, static_cast<uint8_t>(v));
    }
    return b;
}

Bytes ChannelPowerRecord(double rxDbm, double txDbm, double gainAdjDb) {
    Bytes b(6, 0);
    b[0] = 1;
    b[1] = 0;  // band class 0
    PutU8(b, 1);
    Bytes g = FrameGroup(7);
    b.insert(b.end(), g.begin(), g.end());
    for (int i = 0; i < kFramesPerSecond; ++i) {
        PutU8(b, 0);
        PutU8(b, 0);
        PutU8(b, RxAgcByte(rxDbm));
        PutU8(b, TxAgcByte(txDbm));
        PutU8(b, GainAdjByte(gainAdjDb));
        PutU16(b, 0);  // fundamental channel gain over the pilot, 1/80 dB units: 0 dB
    }
    return b;
}

Bytes LinkCounterRecord(const LinkCounters& c) {
    Bytes b(86, 0);
    b[0] = 1;
    PutFixedAt64(b, 1, c.resetTicks << 16);
    PutFixedAt(b, 9, c.naks);
    PutFixedAt(b, 50, c.frames);
    PutFixedAt(b, 54, c.forwardBytes);
    PutFixedAt(b, 66, c.retransmitted);
    PutFixedAt(b, 78, c.firstTime);
    PutFixedAt(b, 82, c.reverseBytes);
    return b;
}

Bytes ThroughputRecord(const ThroughputCounters& c) {
    Bytes b(137, 0);
    b[0] = 0;  // instance 0
    PutFixedAt64(b, 1, c.resetTicks << 16);
    PutFixedAt64(b, 25, c.forwardResent);
    PutFixedAt64(b, 33, c.forwardDuplicate);
    PutFixedAt64(b, 49, c.forwardBytes);
    PutFixedAt64(b, 65, c.reverseResent);
    PutFixedAt64(b, 81, c.reverseBytes);
    return b;
}

Bytes PackedRecord(uint8_t first, uint8_t second, uint32_t seed) {
    Bytes b;
    PutU8(b, 2);  // n
    for (int i = 0; i < 4; ++i) PutU8(b, static_cast<uint8_t>(seed >> (8 * i)));
    PutU8(b, static_cast<uint8_t>((first << 4) | second));
    const int entries = first + second;
    for (int e = 0; e < entries; ++e) {
        PutU8(b, static_cast<uint8_t>(1 + e));  // kind
        PutU8(b, 6);
        for (int i = 0; i < 6; ++i) PutU8(b, static_cast<uint8_t>(seed * (e + 3) >> i));
    }
    return b;
}

Bytes PilotSetsStatusBody(const PilotSetsStatus& s) {
    Bytes b;
    PutU16(b, 4);  // pilot increment
    PutU8(b, static_cast<uint8_t>(s.active.size()));
    PutU8(b, static_cast<uint8_t>(s.candidate.size()));
    PutU8(b, static_cast<uint8_t>(s.neighbour.size()));
    for (const auto* set : {&s.active, &s.candidate, &s.neighbour}) {
        for (const auto& [pn, strength] : *set) {
            PutU16(b, pn);
            PutU16(b, strength);
        }
    }
    return b;
}

Bytes StatusFlagBody(uint32_t counter, uint32_t flag) {
    Bytes b{0, 0, 0};
    PutU32(b, counter);
    PutU32(b, flag);
    return b;
}

Bytes SubsystemStateBody(uint32_t state) {
    Bytes b{0x0F, 0x00, 0x00};
    PutU32(b, state);
    return b;
}

Bytes EventReportBody(uint64_t ticks, uint32_t callEventWord) {
    Bytes events;
    // Event 0x1A2 with a length byte and a 32-bit word (flags 6: full stamp, length follows).
    PutU8(events, 0xA2);
    PutU8(events, 0x61);
    PutStamp(events, ticks);
    PutU8(events, 4);
    PutU32(events, callEventWord);
    // Event 0x01D without payload (flags 0: full stamp).
    PutU8(events, 0x1D);
    PutU8(events, 0x00);
    PutStamp(events, ticks + 1);
    Bytes b;
    PutU16(b, static_cast<uint16_t>(events.size()));
    b.insert(b.end(), events.begin(), events.end());
    return b;
}

Bytes PositionRecord(double latitude, double longitude) {
    Bytes b(6, 0);
    char text[32];
    const auto put = [&](double degrees, int width) {
        std::snprintf(text, sizeof text, "%0*lld", width,
                      static_cast<long long>(std::llround(degrees * 100000.0)));
        b.insert(b.end(), text, text + width);
    };
    put(longitude, 9);
    put(latitude, 8);
    b.insert(b.end(), {'0', '0', '0', '0', '0', '0', 0, 0});
    return b;
}

}  // namespace tessavo::sample
