#include "decoders/cdma1x/frame_power_stats.h"

#include "bits/conversions.h"
#include "bits/diag_time.h"
#include "bits/portable_math.h"
#include "decoders/decoder_context.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

constexpr int64_t kPayload = kLogOffsetPayload;
constexpr int kChannels = 4;

// Shares stored with scale 100 here are truncated, not rounded.
int32_t TruncTimes100(float v) {
    return TruncToI32(static_cast<double>(v) * 100.0);
}

float Clamp(float v, float lo, float hi) {
    return MaxFloat(MinFloat(v, hi), lo);
}

// A withdrawn share or average: listed as cleared, and the slot holds the no-value mark.
void ClearToNoValue(ParamRun& run, ParamRef p) {
    run.Clear(p);
    ParamStore& store = run.Context();
    DecodeParam& slot = store.item.ParamAt(p.offset);
    slot.value = kNoValue;
    store.Mark(&slot.value, sizeof slot.value);
}

TimePair PacketTime(PacketView packet) {
    std::array<uint8_t, 8> stamp{};
    packet.Copy(kLogOffsetTimeStamp, stamp.data(), stamp.size());
    return DiagTimeToPair(stamp.data());
}

// One group of frame records over up to four code channels (0x1029, 0x102B, 0x102C).
struct ChannelGroup {
    uint8_t mask;        // bit c set: channel c present
    uint16_t frames;     // F
    uint8_t recordSize;  // S
    int64_t records;     // packet offset of the first frame record
};

bool Present(uint8_t mask, int channel) {
    return (mask >> channel) & 1;
}

// Bytes a frame record must hold: `fixedBytes` before the channel fields and `perChannel` bytes
// for each present channel, and never less than one byte.
struct FrameRecordShape {
    int fixedBytes;
    int perChannel;

    int Needs(uint8_t mask) const {
        int channels = 0;
        for (int c = 0; c < kChannels; ++c) channels += Present(mask, c) ? 1 : 0;
        const int needed = fixedBytes + perChannel * channels;
        return needed > 0 ? needed : 1;
    }
};

// Walks the groups whose count is at `countOffset` and which start at `firstOffset` (payload
// offsets). Each group must end within the packet and have records large enough for the fields
// its channel mask asks for; a group that does not ends the walk with false, as does `onGroup`
// returning false. Every frame walked thus spans at least one byte of the packet, so a short
// packet cannot claim millions of frames.
template <typename OnGroup>
bool WalkChannelGroups(PacketView packet, int64_t countOffset, int64_t firstOffset,
                       FrameRecordShape shape, OnGroup&& onGroup) {
    const int groups = packet.U8(kPayload + countOffset);
    int64_t pos = kPayload + firstOffset;
    for (int g = 0; g < groups; ++g) {
        ChannelGroup group{packet.U8(pos), packet.U16(pos + 1), packet.U8(pos + 3), pos + 4};
        if (group.recordSize < shape.Needs(group.mask)) return false;
        const int64_t end = pos + 4 + static_cast<int64_t>(group.frames) * group.recordSize;
        if (end > packet.Length()) return false;
        if (!onGroup(group)) return false;
        pos = end;
    }
    return true;
}

}  // namespace

// --- 0x1025 / 0x1026 ---

bool ParseFrameEntryMean(PacketView packet, FrameEntryMeanRecord& rec) {
    const int entries = packet.U8(kPayload + 1);
    int64_t pos = kPayload + 2;
    for (int i = 0; i < entries; ++i) {
        if (pos + 6 > packet.Length()) break;
        rec.sum += packet.U16(pos + 1) & 0x3FFF;
        ++rec.entries;
        // The entry's extra length comes from a signed byte and may be negative.
        const int b = packet.S8(pos + 5);
        const int step = 6 + (b >> 2) + (b & 3);
        if (step <= 0) break;
        pos += step;
    }
    rec.mean =
        rec.entries == 0 ? 0 : TruncToI32(static_cast<double>(rec.sum) / rec.entries * 100.0);
    return true;
}

void HandleFrameEntryMean(DecoderContext& ctx, PacketView packet, int32_t extra) {
    FrameEntryMeanRecord rec;
    ParseFrameEntryMean(packet, rec);
    ParamRun run(ctx);
    if (extra == 0x1025) {
        run.Set(Param(0x7F010205), rec.mean);
    } else if (extra == 0x1026) {
        run.Set(Param(0x7F010206), rec.mean);
    }
    run.Finish();
}

// --- 0x1029 ---

bool ParseRateShares(PacketView packet, RateShareRecord& rec) {
    rec.share.fill(kNoValueF);
    RateShareRecord work;
    // A rate nibble per present channel.
    const bool complete = WalkChannelGroups(packet, 5, 6, {0, 1}, [&](const ChannelGroup& g) {
        for (uint32_t f = 0; f < g.frames; ++f) {
            const int64_t record = g.records + static_cast<int64_t>(f) * g.recordSize;
            int k = 0;
            for (int c = 0; c < kChannels; ++c) {
                if (!Present(g.mask, c)) continue;
                int rate = packet.U8(record + k) & 0x0F;
                if (rate > 4) rate = 0;
                ++work.histogram[static_cast<size_t>(c)][static_cast<size_t>(rate)];
                ++k;
            }
        }
        return true;
    });
    if (!complete) return false;
    rec.histogram = work.histogram;
    // Channels 0 and 3 report the share of rate 0 over all five rates; channels 1 and 2 the
    // share of rate 2 over rates 0 to 3.
    struct ShareRule {
        int rate;
        int lastRate;
    };
    constexpr ShareRule kRules[kChannels] = {{0, 4}, {2, 3}, {2, 3}, {0, 4}};
    for (int c = 0; c < kChannels; ++c) {
        const auto& cells = rec.histogram[static_cast<size_t>(c)];
        uint64_t sum = 0;
        for (int r = 0; r <= kRules[c].lastRate; ++r) sum += cells[static_cast<size_t>(r)];
        if (sum > 0) {
            rec.share[static_cast<size_t>(c)] =
                static_cast<float>(static_cast<double>(cells[static_cast<size_t>(kRules[c].rate)]) /
                                   static_cast<double>(sum) * 100.0);
        }
    }
    return true;
}

void HandleRateShares(DecoderContext& ctx, PacketView packet, int32_t) {
    RateShareRecord rec;
    ParseRateShares(packet, rec);
    constexpr ParamRef kParams[kChannels] = {Param(0x7F010101), Param(0x7F010102),
                                             Param(0x7F010103), Param(0x7F010104)};
    ParamRun run(ctx);
    for (int c = 0; c < kChannels; ++c) {
        const float share = rec.share[static_cast<size_t>(c)];
        if (share != kNoValueF) {
            run.Set(kParams[c], Scale1000(share));
        } else {
            ClearToNoValue(run, kParams[c]);
        }
    }
    run.Finish();
}

// --- 0x102B ---

bool ParseChannelAverages(PacketView packet, ChannelAverageRecord& rec) {
    ChannelAverageRecord work;
    // Two leading bytes, then a signed sample per present channel.
    const bool complete = WalkChannelGroups(packet, 6, 7, {2, 1}, [&](const ChannelGroup& g) {
        for (uint32_t f = 0; f < g.frames; ++f) {
            const int64_t record = g.records + static_cast<int64_t>(f) * g.recordSize;
            int k = 0;
            for (int c = 0; c < kChannels; ++c) {
                if (!Present(g.mask, c)) continue;
                work.sum[static_cast<size_t>(c)] += packet.S8(record + 2 + k);
                ++k;
            }
        }
        work.frames += g.frames;
        return true;
    });
    if (!complete) return false;
    rec.sum = work.sum;
    rec.frames = work.frames;
    for (int c = 0; c < kChannels; ++c) {
        const int64_t sum = rec.sum[static_cast<size_t>(c)];
        if (sum == 0 || rec.frames == 0) continue;
        // Mean sample in whole units (truncated), then eighths.
        rec.value[static_cast<size_t>(c)] =
            static_cast<float>(static_cast<double>(sum / rec.frames) / 8.0);
        rec.valid[static_cast<size_t>(c)] = true;
    }
    return true;
}

void HandleChannelAverages(DecoderContext& ctx, PacketView packet, int32_t) {
    ChannelAverageRecord rec;
    ParseChannelAverages(packet, rec);
    constexpr ParamRef kParams[kChannels] = {Param(0x7F010105), Param(0x7F010106),
                                             Param(0x7F010107), Param(0x7F010108)};
    ParamRun run(ctx);
    for (int c = 0; c < kChannels; ++c) {
        if (rec.valid[static_cast<size_t>(c)]) {
            run.Set(kParams[c], Scale1000(rec.value[static_cast<size_t>(c)]));
        } else {
            ClearToNoValue(run, kParams[c]);
        }
    }
    run.Finish();
}

// --- 0x102C ---

namespace {

// What one 0x102C frame record adds to the sums.
struct PowerFrameTerms {
    double rx = 0.0;    // receive power, dBm
    double gain = 0.0;  // gain adjust, dB
    double tx = 0.0;    // transmit power, dBm
    std::array<double, kChannels> channel{};
    std::array<bool, kChannels> hasChannel{};
};

PowerFrameTerms ReadPowerFrame(PacketView packet, int64_t record, uint8_t mask, uint8_t band) {
    PowerFrameTerms terms;
    const uint8_t txByte = packet.U8(record + 3);
    terms.rx = ConvertRxAgc(packet.U8(record + 2));
    terms.gain = -static_cast<double>(packet.S8(record + 4)) / 2.0;
    terms.tx = txByte / 3.0 - 52.25;

    // Frame transmit power, less the share taken by the present channels' own gains.
    double tx = 0.0;
    if (band == 0) tx = txByte / 3.0 - 52.25;
    if (band == 1) tx = txByte / 3.0 - 55.25;
    std::array<int16_t, kChannels> level{};
    double load = 0.0;
    int k = 0;
    for (int c = 0; c < kChannels; ++c) {
        if (!Present(mask, c)) continue;
        const int16_t v = packet.S16(record + 5 + 2 * k);
        level[static_cast<size_t>(c)] = v;
        if (v != 32767) load += Exp10((v / 80) / 10.0);
        ++k;
    }
    const double txShare = 10.0 * Log10(Exp10(tx / 10.0) / (1.0 + load));
    for (int c = 0; c < kChannels; ++c) {
        const int16_t v = level[static_cast<size_t>(c)];
        if (!Present(mask, c) || v == 32767) continue;
        terms.channel[static_cast<size_t>(c)] = txShare + v / 8;
        terms.hasChannel[static_cast<size_t>(c)] = true;
    }
    return terms;
}

}  // namespace

bool ParseChannelPower(PacketView packet, ChannelPowerRecord& rec) {
    rec.bandClass = packet.U8(kPayload + 1);
    rec.rxPower = rec.gainAdjust = rec.txPower = rec.openLoopTx = kNoValueF;
    rec.value.fill(kNoValueF);

    ChannelPowerRecord work = rec;
    std::array<double, kChannels> acc{};
    int64_t totalFrames = 0;
    const uint8_t band = rec.bandClass;
    // Receive AGC, transmit and gain bytes at 2 to 4, then a 16-bit level per present channel.
    const bool complete = WalkChannelGroups(packet, 6, 7, {5, 2}, [&](const ChannelGroup& g) {
        if (g.frames == 0) return false;
        double rxSum = 0.0;
        double gainSum = 0.0;
        double txSum = 0.0;
        uint32_t frameCount = 0;
        // The terms are summed frame by frame: the sums round as they go.
        for (uint32_t f = 0; f < g.frames; ++f) {
            const int64_t record = g.records + static_cast<int64_t>(f) * g.recordSize;
            const PowerFrameTerms terms = ReadPowerFrame(packet, record, g.mask, band);
            rxSum += terms.rx;
            gainSum += terms.gain;
            txSum += terms.tx;
            ++frameCount;
            for (int c = 0; c < kChannels; ++c) {
                if (terms.hasChannel[static_cast<size_t>(c)]) {
                    acc[static_cast<size_t>(c)] += terms.channel[static_cast<size_t>(c)];
                }
            }
        }
        totalFrames += g.frames;
        // The power fields describe the latest group.
        work.rxPower = Clamp(static_cast<float>(rxSum / g.frames), -130.0f, -30.0f);
        work.gainAdjust = static_cast<float>(gainSum / frameCount);
        work.txPower = Clamp(static_cast<float>(txSum / frameCount), -60.0f, 30.0f);
        const double base = band == 1 ? -76.0 : -73.0;
        work.openLoopTx =
            Clamp(static_cast<float>(base + work.gainAdjust - work.rxPower), -60.0f, 23.0f);
        return true;
    });
    if (!complete) return false;
    for (int c = 0; c < kChannels; ++c) {
        const double a = acc[static_cast<size_t>(c)];
        if (a == 0.0 || totalFrames == 0) continue;
        work.value[static_cast<size_t>(c)] = static_cast<float>(TruncToI32(a) / totalFrames);
        work.valid[static_cast<size_t>(c)] = true;
    }
    rec = work;
    return true;
}

void HandleChannelPower(DecoderContext& ctx, PacketView packet, int32_t) {
    ChannelPowerRecord rec;
    const bool complete = ParseChannelPower(packet, rec);
    constexpr ParamRef kParams[kChannels] = {Param(0x7F010109), Param(0x7F01010A),
                                             Param(0x7F01010B), Param(0x7F01010C)};
    ParamRun run(ctx);
    for (int c = 0; c < kChannels; ++c) {
        const float v = rec.value[static_cast<size_t>(c)];
        if (rec.valid[static_cast<size_t>(c)] && v != kNoValueF) run.Set(kParams[c], Scale1000(v));
    }
    if (complete && rec.rxPower != kNoValueF) {
        run.Set(Param(0x7F010001), Scale1000(rec.rxPower));
        // The gain adjust means something only on a traffic channel.
        if (ctx.channelState == kChannelTraffic) {
            run.Set(Param(0x7F010004), Scale1000(rec.gainAdjust));
        }
    }
    run.Finish();
}

// --- 0x1031 ---

bool ParseTrafficCounters(TrafficCounterHistory& history, PacketView packet,
                          TrafficCounterRecord& rec) {
    rec.rateA = rec.rateB = kNoValue;
    rec.shareC = rec.shareE = kNoValueF;

    const TimePair now = PacketTime(packet);
    std::array<uint8_t, 8> resetStamp{};
    packet.Copy(kPayload + 1, resetStamp.data(), resetStamp.size());
    const uint32_t a = packet.U32(kPayload + 54);
    const uint32_t b = packet.U32(kPayload + 82);
    const uint32_t c = packet.U32(kPayload + 9);
    const uint32_t d = packet.U32(kPayload + 50);
    const uint32_t e = packet.U32(kPayload + 66);
    const uint32_t g = packet.U32(kPayload + 78);
    auto delta = [](uint32_t now32, uint32_t before) {
        return static_cast<int64_t>(now32) - static_cast<int64_t>(before);
    };

    // Rates need a previous packet of the same counting period (same reset second).
    const bool samePeriod = DiagSecondsDiffer(resetStamp.data(), history.resetStamp.data()) == 0;
    const bool timeMoved =
        now.seconds != history.time.seconds || now.microseconds != history.time.microseconds;
    if (a >= history.a && b >= history.b && samePeriod && history.hasPrevious && timeMoved) {
        const double dt = PairDifference(now, history.time);
        if (dt > 0) {
            rec.rateA = TruncToI32(static_cast<double>(delta(a, history.a)) * 8.0 / dt);
            rec.rateB = TruncToI32(static_cast<double>(delta(b, history.b)) * 8.0 / dt);
        }
    }
    const int64_t dD = delta(d, history.d);
    if (dD > 0) {
        rec.shareC = static_cast<float>(static_cast<double>(delta(c, history.c)) /
                                        static_cast<double>(dD) * 100.0);
    }
    const int64_t dE = delta(e, history.e);
    const int64_t dGE = delta(g, history.g) + dE;
    if (dGE > 0) {
        rec.shareE = static_cast<float>(static_cast<double>(dE) / static_cast<double>(dGE) * 100.0);
    }

    history.hasPrevious = true;
    history.time = now;
    history.resetStamp = resetStamp;
    history.a = a;
    history.b = b;
    history.c = c;
    history.d = d;
    history.e = e;
    history.g = g;
    return true;
}

void HandleTrafficCounters(DecoderContext& ctx, PacketView packet, int32_t) {
    TrafficCounterRecord rec;
    ParseTrafficCounters(ctx.framePowerStats.counters1031, packet, rec);
    ParamRun run(ctx);
    run.SetKnown(Param(0x7F010201), rec.rateA);
    run.SetKnown(Param(0x7F010202), rec.rateB);
    if (rec.shareC != kNoValueF) run.Set(Param(0x7F010203), TruncTimes100(rec.shareC));
    if (rec.shareE != kNoValueF) run.Set(Param(0x7F010204), TruncTimes100(rec.shareE));
    run.Finish();
}

// --- 0x100E ---

namespace {

// Frame counts by category: row = high nibble of the category byte, column = low nibble;
// column 16 counts the frames flagged by the entry's second byte.
using CategoryCounts = std::array<std::array<uint32_t, 17>, 16>;

// Adds the counts of one row triple (A, B, C) into column `col` of `out` (word 4 x row + col).
void FoldTriple(const CategoryCounts& cnt, int a, int b, int c, bool withFlagged,
                std::array<uint32_t, 50>& out, int col) {
    auto at = [&](int row) -> uint32_t& { return out[static_cast<size_t>(4 * row + col)]; };
    const auto& rowA = cnt[static_cast<size_t>(a)];
    const auto& rowB = cnt[static_cast<size_t>(b)];
    const auto& rowC = cnt[static_cast<size_t>(c)];
    auto A = [&](int i) { return rowA[static_cast<size_t>(i)]; };
    auto B = [&](int i) { return rowB[static_cast<size_t>(i)]; };
    auto C = [&](int i) { return rowC[static_cast<size_t>(i)]; };

    for (int r = 0; r <= 9; ++r) at(r) += B(r);
    for (int r = 1; r <= 4; ++r) at(r) += B(9 + r);

    for (int r = 0; r <= 4; ++r) at(r) += A(r);
    for (int r = 1; r <= 4; ++r) at(r) += A(4 + r);
    at(3) += A(9);
    for (int r = 2; r <= 4; ++r) at(r) += A(9 + r);
    for (int r = 2; r <= 3; ++r) at(r) += A(12 + r);
    at(5) += A(10);

    at(3) += C(1) + C(3) + C(5);
    at(4) += C(0) + C(4) + C(6) + C(8);
    at(6) += C(2);
    at(7) += C(7);
    at(8) += C(9);

    if (withFlagged) at(10) += B(16) + A(16) + C(16);
}

}  // namespace

bool ParseFrameCategories(PacketView packet, FrameCategoryRecord& rec) {
    const int entries = packet.U8(kPayload);
    CategoryCounts cnt{};
    for (int i = 0; i < entries; ++i) {
        const uint8_t a = packet.U8(kPayload + 1 + 2 * i);
        const uint8_t b = packet.U8(kPayload + 2 + 2 * i);
        ++cnt[a >> 4][a & 15];
        if (b > 0) ++cnt[a >> 4][16];
    }

    struct Triple {
        int a, b, c;
    };
    constexpr Triple kTriples[4] = {{1, 0, 8}, {2, 5, 9}, {3, 6, 10}, {4, 7, 11}};
    // Column 0 also takes the rows (12, 15, 13), without their flagged counts.
    FoldTriple(cnt, 12, 15, 13, false, rec.out, 0);
    for (int col = 0; col < 4; ++col) {
        FoldTriple(cnt, kTriples[col].a, kTriples[col].b, kTriples[col].c, true, rec.out, col);
    }

    constexpr int kLostRow[4] = {0, 5, 6, 7};
    uint64_t s = 0;
    uint64_t e = 0;
    uint64_t f = 0;
    for (int col = 0; col < 4; ++col) {
        auto at = [&](int row) { return rec.out[static_cast<size_t>(4 * row + col)]; };
        const uint64_t total = static_cast<uint64_t>(at(0)) + at(5) + at(6) + at(7) + at(8) + at(9);
        if (total > 0) {
            const double lost = static_cast<double>(at(kLostRow[col])) * 100.0 / total;
            rec.out[static_cast<size_t>(4 * 11 + col)] =
                static_cast<uint32_t>(TruncToI32((100.0 - lost) * 256.0));
            s += total;
            e += static_cast<uint64_t>(at(8)) + at(9);
        }
        f += at(10);
    }
    if (s > 0) {
        rec.share1 = static_cast<float>(static_cast<double>(e) * 100.0 / static_cast<double>(s));
        if (entries > 0) {
            rec.share2 = static_cast<float>(static_cast<double>(f) * 100.0 / entries);
        }
    }
    return true;
}

void HandleFrameCategoryParams(DecoderContext& ctx, PacketView packet, int32_t) {
    FrameCategoryRecord rec;
    ParseFrameCategories(packet, rec);
    ParamRun run(ctx);
    run.Set(Param(0x7F010006), TruncTimes100(rec.share1));
    run.Set(Param(0x7F010005), TruncTimes100(rec.share2));
    run.Finish();
}

void HandleFrameCategoryStruct(DecoderContext& ctx, PacketView packet, int32_t) {
    FrameCategoryRecord rec;
    ParseFrameCategories(packet, rec);
    std::array<uint8_t, 200> blob{};
    for (size_t i = 0; i < rec.out.size(); ++i) StoreLE(blob.data() + 4 * i, rec.out[i]);
    PublishStruct(ctx, StructParam(0x7F0107F5), blob.data(), blob.size());
}

}  // namespace tessavo
