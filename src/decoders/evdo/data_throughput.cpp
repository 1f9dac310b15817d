#include "decoders/evdo/data_throughput.h"

#include "bits/bit_reader.h"
#include "bits/conversions.h"
#include "bits/diag_time.h"
#include "decoders/record_reader.h"
#include "decoders/decoder_context.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

constexpr float kMaxForwardRate = 14700000.0f;  // bit/s
constexpr float kMaxReverseRate = 5670000.0f;   // bit/s

// Bytes over dt seconds as a rate in bits per second, with the link layer's 1024/1000 factor.
float Rate(double bytes, double dt) {
    return static_cast<float>(1024.0 * (bytes * 8.0 / dt) / 1000.0);
}

// Counter difference; the counters are unsigned 64-bit, the difference is taken signed.
int64_t Delta(uint64_t now, uint64_t before) {
    return static_cast<int64_t>(now - before);
}

void ClearLongTerm(ThroughputPlace& p) {
    p.r760 = p.r761 = p.r762 = p.r763 = p.r764 = kNoValueF;
}

void ClearInstantaneous(ThroughputPlace& p) {
    p.r840 = p.r841 = kNoValueF;
}

// Sum (or mean) of one result cell over the places that hold a value; the no-value mark when
// none does.
template <typename Cell>
float Combine(const std::array<ThroughputPlace, kThroughputPlaces>& places, Cell cell, bool mean) {
    double sum = 0.0;
    int n = 0;
    for (const ThroughputPlace& p : places) {
        const float v = cell(p);
        if (v == kNoValueF) continue;
        sum += v;
        ++n;
    }
    if (n == 0) return kNoValueF;
    return static_cast<float>(mean ? sum / n : sum);
}

void LongTermStage(DataThroughputState& state, ThroughputRecord& rec, int i) {
    ThroughputPlace& place = state.places[static_cast<size_t>(i)];
    if (!place.hasReset) {
        for (ThroughputPlace& p : state.places) ClearLongTerm(p);
    } else {
        ClearLongTerm(place);
    }
    // A new reset time starts the counters afresh.
    if (!place.hasReset || DiagSecondsDiffer(rec.resetStamp.data(), place.resetStamp.data())) {
        place.hasReset = true;
        place.resetStamp = rec.resetStamp;
        place.resetTime = DiagTimeToPair(rec.resetStamp.data());
        place.prev49 = place.prev33 = place.prev25 = place.prev81 = place.prev65 = 0;
    }
    if (rec.c49 > 0) {
        const double dt = PairDifference(state.packetTime, place.resetTime);
        place.r760 = dt != 0.0 ? Rate(static_cast<double>(rec.c49), dt) : 0.0f;
        const int64_t d49 = Delta(rec.c49, place.prev49);
        if (d49 > 0) {
            place.r761 =
                static_cast<float>(static_cast<double>(Delta(rec.c33, place.prev33)) * 100.0 / d49);
            place.r762 =
                static_cast<float>(static_cast<double>(Delta(rec.c25, place.prev25)) * 100.0 / d49);
        }
        const int64_t d81 = Delta(rec.c81, place.prev81);
        if (d81 > 0) {
            place.r763 = dt != 0.0 ? Rate(static_cast<double>(rec.c81), dt) : 0.0f;
            place.r764 =
                static_cast<float>(static_cast<double>(Delta(rec.c65, place.prev65)) * 100.0 / d81);
        }
    }
    place.resetStamp = rec.resetStamp;
    place.prev49 = rec.c49;
    place.prev33 = rec.c33;
    place.prev25 = rec.c25;
    place.prev81 = rec.c81;
    place.prev65 = rec.c65;
    if (i != 0) return;

    const auto& places = state.places;
    rec.longRate81 = Combine(
        places, [](const ThroughputPlace& p) { return p.r763; }, false);
    rec.longRate49 = Combine(
        places, [](const ThroughputPlace& p) { return p.r760; }, false);
    rec.ratio25 = Combine(
        places, [](const ThroughputPlace& p) { return p.r762; }, true);
    rec.ratio33 = Combine(
        places, [](const ThroughputPlace& p) { return p.r761; }, true);
    rec.ratio65 = Combine(
        places, [](const ThroughputPlace& p) { return p.r764; }, true);
    for (ThroughputPlace& p : state.places) ClearLongTerm(p);
}

void InstantaneousStage(DataThroughputState& state, ThroughputRecord& rec, int i) {
    ThroughputPlace& place = state.places[static_cast<size_t>(i)];
    if (!place.hasPrevTime) {
        for (ThroughputPlace& p : state.places) ClearInstantaneous(p);
    } else {
        ClearInstantaneous(place);
    }
    const TimePair now = state.packetTime;
    const bool backwards = rec.c81 < place.instPrev81 || rec.c49 < place.instPrev49;
    if (!backwards && place.hasPrevTime && place.prevTime.seconds != now.seconds) {
        const double dt = PairDifference(now, place.prevTime);
        if (rec.c81 > 0 && dt != 0.0) {
            place.r841 = Rate(static_cast<double>(Delta(rec.c81, place.instPrev81)), dt);
            place.instPrev81 = rec.c81;
        }
        if (rec.c49 > 0 && dt != 0.0) {
            place.r840 = Rate(static_cast<double>(Delta(rec.c49, place.instPrev49)), dt);
            place.instPrev49 = rec.c49;
        }
        place.prevTime = now;
    } else {
        // No usable interval: this packet becomes the starting point.
        place.hasPrevTime = true;
        place.prevTime = now;
        place.instPrev81 = rec.c81;
        place.instPrev49 = rec.c49;
    }
    if (i != 0) return;

    rec.instRate81 = Combine(
        state.places, [](const ThroughputPlace& p) { return p.r841; }, false);
    rec.instRate49 = Combine(
        state.places, [](const ThroughputPlace& p) { return p.r840; }, false);
    for (ThroughputPlace& p : state.places) ClearInstantaneous(p);
}

}  // namespace

int ParseDataThroughput(DataThroughputState& state, PacketView packet, ThroughputRecord& rec) {
    if (packet.Data() == nullptr || packet.Length() < 1) return 0;
    std::array<uint8_t, kDiagStampBytes> stamp{};
    packet.Copy(kLogOffsetTimeStamp, stamp.data(), stamp.size());
    state.packetTime = DiagTimeToPair(stamp.data());

    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps t(reader);
    t.Lsb(rec.instance, 8);
    const uint64_t reset = t.Lsb<uint64_t>(64);
    StoreLE(rec.resetStamp.data(), reset);
    t.Lsb(rec.wordA, 32);
    t.Lsb(rec.wordB, 32);
    t.Lsb(rec.c17, 64);
    t.Lsb(rec.c25, 64);
    t.Lsb(rec.c33, 64);
    t.Lsb(rec.c41, 64);
    t.Lsb(rec.c49, 64);
    t.Lsb(rec.word57, 32);
    t.Lsb(rec.word61, 32);
    t.Lsb(rec.c65, 64);
    t.Lsb(rec.c73, 64);
    t.Lsb(rec.c81, 64);
    for (uint32_t& w : rec.words89) t.Lsb(w, 32);
    // The packet's own summary fields (offsets 109 to 136) are replaced by ours.
    rec.longRate49 = rec.ratio25 = rec.ratio33 = rec.instRate49 = kNoValueF;
    rec.longRate81 = rec.ratio65 = rec.instRate81 = kNoValueF;

    const int i = rec.instance & 1;
    LongTermStage(state, rec, i);
    InstantaneousStage(state, rec, i);
    return 1;
}

void HandleDataThroughput(DecoderContext& ctx, PacketView packet, int32_t) {
    ThroughputRecord rec;
    ParseDataThroughput(ctx.dataThroughput, packet, rec);
    ParamRun run(ctx);
    if (rec.longRate49 != kNoValueF) run.Set(Param(0x7F018101), TruncToI32(rec.longRate49));
    if (rec.instRate49 != kNoValueF) {
        const float v = MaxFloat(MinFloat(rec.instRate49, kMaxForwardRate), 0.0f);
        run.Set(Param(0x7F018102), TruncToI32(v));
    }
    if (rec.ratio33 != kNoValueF) run.Set(Param(0x7F018106), Scale100Round(rec.ratio33));
    if (rec.ratio25 != kNoValueF) run.Set(Param(0x7F018105), Scale100Round(rec.ratio25));
    if (rec.longRate81 != kNoValueF) run.Set(Param(0x7F018103), TruncToI32(rec.longRate81));
    if (rec.instRate81 != kNoValueF) {
        const float v = MaxFloat(MinFloat(rec.instRate81, kMaxReverseRate), 0.0f);
        run.Set(Param(0x7F018104), TruncToI32(v));
    }
    if (rec.ratio65 != kNoValueF) run.Set(Param(0x7F018107), Scale100Round(rec.ratio65));
    run.Finish();
}

}  // namespace tessavo
