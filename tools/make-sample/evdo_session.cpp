#include "evdo_session.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "evdo_sectors.h"
#include "sample_random.h"

namespace tessavo::sample {
namespace {

// A seed of its own, so that the 1x part of the capture does not depend on this one.
constexpr uint64_t kEvdoSeed = 0x0E7D0DA7A5E55104ull;
constexpr int kCarriers = 2;
constexpr std::array<uint16_t, kCarriers> kChannels = kEvdoChannels;

// 0x128A: the session's personality is entry 1; entry 0 belongs to another one and always
// names multi-carrier operation, so only the matching entry counts.
constexpr uint16_t kPersonality = 1;
constexpr uint16_t kModeSingle = 0;  // mode codes of 0x128A
constexpr uint16_t kModeMulti = 4;

// Forward packets per size class: counter of the A packets in the 56-counter table, counter
// of the B packets of the same size, and the share of the bits sent in that size.
struct ForwardClass {
    int bits;
    int aCounter;
    int bCounter;
    double share;
};
constexpr ForwardClass kForwardClasses[] = {
    {1024, 3, 4, 0.20}, {2048, 27, 28, 0.30}, {3072, 39, 40, 0.25}, {4096, 45, 46, 0.25}};
constexpr double kBShare = 0.06;  // B packets per A packet

// The same sizes in the 13-counter table of 0x1193 (A and B counter positions).
struct SecondClass {
    int bits;
    int aCounter;
    int bCounter;
};
constexpr SecondClass kSecondClasses[] = {{1024, 3, 4}, {2048, 5, 6}, {3072, 7, 8}, {4096, 9, 10}};
constexpr double kSecondTableShare = 0.1;  // part of the traffic the second table counts

// Reverse packets: entry of the first group (its size class) and packet size in bits.
struct ReverseClass {
    int entry;
    int bits;
};
constexpr ReverseClass kReverseClasses[] = {{1, 256}, {2, 512}, {4, 1024}, {6, 2048}};

constexpr int kReverseEntryBytes = 24;
constexpr int kReverseGroupBytes = 24 * kReverseEntryBytes + 4;
constexpr int kReverseBlockBytes = 3 * kReverseGroupBytes;

void StoreU32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// Cumulative counters of one carrier since the session opened.
struct CarrierCounters {
    std::array<uint32_t, 56> forward{};
    std::array<uint32_t, 13> second{};
    std::array<uint32_t, 24> reverseGood{};  // group 0, by entry
    std::array<uint32_t, 24> reverseAll{};
};

class EvdoSession {
  public:
    std::vector<TimedLog> Write() {
        WriteCarrierModes();
        for (uint64_t s = kEvdoStartMs + 1000; s < kEvdoEndMs; s += 1000) WriteSecond(s);
        for (TimedLog& log : EvdoSectorAndFlowLogs()) logs_.push_back(std::move(log));
        std::stable_sort(logs_.begin(), logs_.end(),
                         [](const TimedLog& a, const TimedLog& b) { return a.ms < b.ms; });
        return std::move(logs_);
    }

  private:
    void Log(uint64_t ms, uint16_t logCode, Bytes payload) {
        logs_.push_back(TimedLog{ms, logCode, std::move(payload)});
    }

    // Milliseconds since the session opened: the time field of the statistics.
    static uint32_t SessionTime(uint64_t ms) { return static_cast<uint32_t>(ms - kEvdoStartMs); }

    void WriteCarrierModes() {
        for (const uint64_t ms : {kEvdoStartMs, kEvdoMultiStartMs, kEvdoMultiEndMs}) {
            Bytes b{0};  // version
            PutU16(b, kPersonality);
            PutU8(b, 2);
            for (const uint16_t id : {uint16_t{0}, kPersonality}) {
                Bytes entry(65, 0);
                entry[0] = static_cast<uint8_t>(id);
                const uint16_t mode =
                    id == kPersonality && !EvdoMultiCarrier(ms) ? kModeSingle : kModeMulti;
                entry[9] = static_cast<uint8_t>(mode);
                entry[10] = static_cast<uint8_t>(mode >> 8);
                b.insert(b.end(), entry.begin(), entry.end());
            }
            Log(ms, 0x128A, b);
        }
    }

    // One second of traffic on each active carrier, then its statistics.
    void WriteSecond(uint64_t s) {
        const bool multi = EvdoMultiCarrier(s);
        for (int c = 0; c < (multi ? kCarriers : 1); ++c) AddTraffic(counters_[c]);
        if (!multi) {
            Log(s + 200, 0x1192, Record1192(SessionTime(s + 200), counters_[0]));
            Log(s + 250, 0x1193, Record1193(SessionTime(s + 250), counters_[0]));
            Log(s + 400, 0x127E, Record127E(SessionTime(s + 400), counters_[0]));
            return;
        }
        for (int c = 0; c < kCarriers; ++c) {
            const auto offset = static_cast<uint64_t>(10 * c);
            Log(s + 200 + offset, 0x12A2,
                Record12A2(SessionTime(s + 200 + offset), static_cast<uint8_t>(c), counters_[c]));
            Log(s + 400 + offset, 0x129F,
                Record129F(SessionTime(s + 400 + offset), static_cast<uint8_t>(c), counters_[c]));
        }
    }

    // About 2 Mbit/s forward (1.6 to 2.4), 150 to 300 kbit/s reverse with 1 to 5 % of the
    // packets lost.
    void AddTraffic(CarrierCounters& k) {
        const double forwardBits = 1.6e6 + random_.Unit() * 0.8e6;
        for (const ForwardClass& f : kForwardClasses) {
            const auto packets = static_cast<uint32_t>(std::lround(forwardBits * f.share / f.bits));
            const auto bPackets = static_cast<uint32_t>(std::lround(packets * kBShare));
            k.forward[static_cast<size_t>(f.aCounter)] += packets;
            k.forward[static_cast<size_t>(f.bCounter)] += bPackets;
        }
        const double secondBits = forwardBits * kSecondTableShare;
        for (const SecondClass& f : kSecondClasses) {
            const auto packets = static_cast<uint32_t>(std::lround(secondBits / 4 / f.bits));
            k.second[static_cast<size_t>(f.aCounter)] += packets;
            k.second[static_cast<size_t>(f.bCounter)] += static_cast<uint32_t>(packets / 16);
        }
        const double reverseBits = 1.5e5 + random_.Unit() * 1.5e5;
        const double lost = 0.01 + random_.Unit() * 0.04;
        for (const ReverseClass& r : kReverseClasses) {
            const auto all = static_cast<uint32_t>(std::lround(reverseBits / 4 / r.bits));
            const auto bad = static_cast<uint32_t>(std::lround(all * lost));
            k.reverseAll[static_cast<size_t>(r.entry)] += all;
            k.reverseGood[static_cast<size_t>(r.entry)] += all - bad;
        }
    }

    static Bytes Record1192(uint32_t time, const CarrierCounters& k) {
        Bytes b(1288, 0);
        StoreU32(b, 0, time);
        for (size_t i = 0; i < k.forward.size(); ++i) StoreU32(b, 4 + 4 * i, k.forward[i]);
        return b;
    }

    static Bytes Record1193(uint32_t time, const CarrierCounters& k) {
        Bytes b(160, 0);
        StoreU32(b, 0, time);
        for (size_t i = 0; i < k.second.size(); ++i) StoreU32(b, 4 + 4 * i, k.second[i]);
        return b;
    }

    // The header of the multi-carrier logs: a zero byte, time, carrier count, carrier index,
    // channel word (11-bit channel, 5-bit band class 0).
    static Bytes MultiCarrierHeader(uint32_t time, uint8_t carrier) {
        Bytes b{0};
        PutU32(b, time);
        PutU8(b, kCarriers);
        PutU8(b, carrier);
        PutU16(b, kChannels[carrier]);
        return b;
    }

    static Bytes Record12A2(uint32_t time, uint8_t carrier, const CarrierCounters& k) {
        Bytes b = MultiCarrierHeader(time, carrier);
        const size_t table = b.size();
        b.resize(table + 1285, 0);
        for (size_t i = 0; i < k.forward.size(); ++i) StoreU32(b, table + 4 * i, k.forward[i]);
        return b;
    }

    static void StoreReverseBlock(Bytes& b, size_t at, const CarrierCounters& k) {
        for (size_t e = 0; e < k.reverseAll.size(); ++e) {
            StoreU32(b, at + e * kReverseEntryBytes + 16, k.reverseGood[e]);
            StoreU32(b, at + e * kReverseEntryBytes + 20, k.reverseAll[e]);
        }
    }

    // Version 1: the duration word (milliseconds of the session) before the block.
    static Bytes Record127E(uint32_t time, const CarrierCounters& k) {
        Bytes b{1};
        PutU32(b, time);
        const size_t block = b.size();
        b.resize(block + kReverseBlockBytes, 0);
        StoreReverseBlock(b, block, k);
        return b;
    }

    static Bytes Record129F(uint32_t time, uint8_t carrier, const CarrierCounters& k) {
        Bytes b = MultiCarrierHeader(time, carrier);
        const size_t block = b.size();
        b.resize(block + kReverseBlockBytes, 0);
        StoreReverseBlock(b, block, k);
        return b;
    }

    SampleRandom random_{kEvdoSeed};
    std::array<CarrierCounters, kCarriers> counters_{};
    std::vector<TimedLog> logs_;
};

}  // namespace

std::vector<TimedLog> EvdoSessionLogs() {
    return EvdoSession().Write();
}

}  // namespace tessavo::sample
