#include "decoders/cdma1x/pilot_sets.h"

#include <algorithm>

#include "bits/conversions.h"
#include "bits/portable_math.h"
#include "common/le.h"

namespace tessavo {
namespace {

constexpr ParamRef kRxPower = Param(0x7F010001);
constexpr ParamRef kOpenLoopEstimate = Param(0x7F010002);
constexpr ParamRef kTxPower = Param(0x7F010003);
constexpr ParamRef kTxGainAdjust = Param(0x7F010004);
constexpr ParamRef kFingerCount = Param(0x7F010008);
constexpr ParamRef kActivePilotCount = Param(0x7F010009);
constexpr ParamRef kReferencePn = Param(0x7F01000A);
constexpr ParamRef kBestPn = Param(0x7F01000B);
constexpr ParamRef kTotalEcio = Param(0x7F01000C);
constexpr ParamRef kBestEcio = Param(0x7F01000D);
constexpr ParamRef kReferenceEcio = Param(0x7F01000E);
constexpr ParamRef kTotalPilotPower = Param(0x7F01000F);
constexpr ParamRef kBestPilotPower = Param(0x7F010010);
constexpr ParamRef kReferencePilotPower = Param(0x7F010011);
constexpr ParamRef kChannel = param::kCdmaChannel;

constexpr StructParamRef kFingerList = StructParam(0x7F0107D5);
constexpr StructParamRef kPilotTableCopy = StructParam(0x7F0107D6);

// Re-reported, in this order, when a packet carries no finger at all.
constexpr ParamRef kLastPilotValues[] = {
    kTotalEcio,      kTotalPilotPower, kChannel,     kActivePilotCount, kBestEcio,
    kBestPilotPower, kBestPn,          kReferencePn, kReferenceEcio,    kReferencePilotPower};

constexpr int kPayload = kLogOffsetPayload;
constexpr int kPilotEntrySize102D = 4;
constexpr int kFingerEntrySize102D = 10;
constexpr int kFingerEntrySize119A = 20;
constexpr int kPilotTableCopyEntries = 64;
constexpr size_t kFingerListSize = 172;
constexpr size_t kListedFingerWireSize = 14;
static_assert(4 + kMaxListedFingers * kListedFingerWireSize == kFingerListSize);
static_assert(4 + kPilotTableCopyEntries * kPilotEntryWireSize == 2564);

constexpr uint8_t kSubRecordPower = 2;
constexpr uint8_t kSubRecordFingers = 4;
constexpr int8_t kGainNotPresent = 127;

// The open-loop transmit estimate's constant, dBm: band class 1 (PCS) differs from the rest.
double OpenLoopConstant(bool pcs) {
    return pcs ? -76.0 : -73.0;
}

float Clamp(double v, float lo, float hi) {
    return MaxFloat(MinFloat(static_cast<float>(v), hi), lo);
}

// Calls visit(type, offset) for each sub-record of a 0x119A packet, in order. The walk stops
// at a sub-record shorter than its own header or one that runs past the packet.
template <typename Visit>
void WalkSubRecords(PacketView packet, Visit visit) {
    const int count = packet.U8(kPayload + 1);
    int64_t at = kPayload + 4;
    for (int i = 0; i < count; ++i) {
        const uint16_t length = packet.U16(at + 2);
        if (length < 4 || at + length > packet.Length()) break;
        visit(packet.U8(at), at);
        at += length;
    }
}

// Calls visit(entryOffset) for each 10-byte finger entry of a 0x102D packet until the end
// marker (PN word 0xFFFF), the announced count or the packet end; visit returns false to stop.
template <typename Visit>
void WalkFingers102D(PacketView packet, Visit visit) {
    const int pilotEntries = packet.U8(kPayload + 21);
    const int fingerEntries = packet.U8(kPayload + 22);
    int64_t at = kPayload + 24 + int64_t{pilotEntries} * kPilotEntrySize102D;
    for (int i = 0; i < fingerEntries; ++i, at += kFingerEntrySize102D) {
        if (at + kFingerEntrySize102D > packet.Length()) break;
        if (packet.U16(at) == 0xFFFF) break;
        if (!visit(at)) break;
    }
}

bool IsLocked102D(PacketView packet, int64_t entry) {
    const uint16_t pn = packet.U16(entry) & 0x1FF;
    return packet.U8(entry + 3) != 0 && packet.U8(entry + 2) < 255 &&
           (packet.U16(entry + 8) & 0x4) != 0 && pn != 0;
}

// Fingers in lock: bits 1 and 2 of the status word.
bool IsLocked119A(uint16_t status) {
    return (status & 0x6) == 0x6;
}

void ParsePowerSubRecord(PacketView packet, int64_t at, PilotSetRecord& rec) {
    const int8_t agc0 = packet.S8(at + 10);
    const int8_t agc1 = packet.S8(at + 11);
    const double rx0 = agc0 * 334.0 / 1000.0 - 63.248;
    const double rx1 = agc1 * 334.0 / 1000.0 - 63.248;
    double rx = rx1;
    if (agc0 != 0) rx = (agc1 == 0) ? rx0 : std::max(rx0, rx1);
    rec.rxPower = Clamp(rx, -130.0f, -30.0f);

    if (packet.U8(at + 4) < 255) {
        rec.channel = packet.U16(at + 6);
    } else if (packet.U8(at + 5) < 255) {
        rec.channel = packet.U16(at + 8);
    }

    const int8_t gainCode = packet.S8(at + 14);
    if (gainCode == kGainNotPresent) {
        rec.txGainAdjust = kNoValueF;
        rec.txPower = kNoValueF;
        rec.openLoopEstimate = kNoValueF;
        return;
    }
    const double gain = ConvertNegHalf(gainCode);
    rec.txGainAdjust = static_cast<float>(gain);
    rec.txPower = Clamp(packet.S16(at + 12) * 0.1, -60.0f, 23.0f);
    const double k = OpenLoopConstant(packet.U16(at + 6) == 1);
    rec.openLoopEstimate = Clamp(k + gain - rx, -60.0f, 30.0f);
}

void ParseFingerSubRecord(PacketView packet, int64_t at, PilotSetRecord& rec) {
    int stored = 0;
    const int entries = packet.U8(at + 7);
    for (int i = 0; i < entries; ++i) {
        const int64_t e = at + 8 + int64_t{i} * kFingerEntrySize119A;
        if (e + kFingerEntrySize119A > packet.Length()) break;
        if (!IsLocked119A(packet.U16(e + 16)) || stored >= kMaxFingers) continue;
        FingerSlot& f = rec.fingers[static_cast<size_t>(stored++)];
        f.pn = packet.U16(e) & 0x1FF;
        f.energy = packet.U16(e + 2);
    }
    rec.fingerCount = stored;
}

struct MergedPilot {
    int32_t pn;
    float energy;
};

// Fingers on the same PN are one pilot; their energies add up.
int MergeFingers(const PilotSetRecord& rec, std::array<MergedPilot, kMaxFingers>& merged) {
    int count = 0;
    const int fingers = std::clamp(rec.fingerCount, 0, kMaxFingers);
    for (int i = 0; i < fingers; ++i) {
        const FingerSlot& f = rec.fingers[static_cast<size_t>(i)];
        const auto end = merged.begin() + count;
        const auto hit =
            std::find_if(merged.begin(), end, [&](const MergedPilot& m) { return m.pn == f.pn; });
        if (hit != end) {
            hit->energy += f.energy;
        } else {
            merged[static_cast<size_t>(count++)] = MergedPilot{f.pn, f.energy};
        }
    }
    return count;
}

double EnergyToEcio(float energy, bool is119A) {
    if (energy == 0.0f) return kNoValueD;
    const int32_t e = TruncToI32(energy);
    if (is119A) return ConvertLog48(static_cast<uint16_t>(static_cast<uint32_t>(e) & 0xFFFF));
    return ConvertLog255(static_cast<uint16_t>(std::clamp(e, 0, 255)));
}

double PilotPower(double rxPower, double ecio) {
    return ecio == kNoValueD ? kNoValueD : rxPower + ecio;
}

// Every entry follows the latest receive power.
void RefreshRxPower(DecoderContext& ctx) {
    if (ctx.rxPowerX1000 == kNoValueD) return;
    const double rx = ctx.rxPowerX1000 / 1000.0;
    PilotTable& table = ctx.pilotTable;
    for (int i = 0; i < table.count; ++i) {
        PilotEntry& e = table.entries[static_cast<size_t>(i)];
        if (e.rxPower != rx) {
            e.rxPower = rx;
            e.pilotPower = PilotPower(rx, e.ecio);
        }
    }
}

// Total, best and count of the active-source pilots in the table.
void PublishPilotSummary(DecoderContext& ctx, ParamRun& run) {
    const PilotTable& table = ctx.pilotTable;
    int32_t active = 0;
    int best = -1;
    double linearSum = 0.0;
    int32_t channel = kNoValue;
    for (int i = 0; i < table.count; ++i) {
        const PilotEntry& e = table.entries[static_cast<size_t>(i)];
        if (e.source != kPilotSourceActive) continue;
        ++active;
        if (e.ecio == kNoValueD) continue;
        if (best < 0 || e.ecio > table.entries[static_cast<size_t>(best)].ecio) best = i;
        linearSum += Exp10(e.ecio / 10.0);
        channel = e.channel;
    }
    ctx.activePilotCount = active;

    // A total or best Ec/Io above 0 dB is not physical; it is reported as -0.1 dB.
    if (linearSum != kNoValueD && linearSum != 0.0) {
        const double total = 10.0 * Log10(linearSum);
        const int32_t totalMilli = Scale1000(total > 0.0 ? -0.1 : total);
        run.Set(kTotalEcio, totalMilli);
        if (ctx.rxPowerX1000 != kNoValueD) {
            run.Set(kTotalPilotPower, TruncToI32(totalMilli + ctx.rxPowerX1000));
        }
    }
    if (channel != kNoValue) {
        run.Set(kChannel, channel);
        ctx.lastChannel = channel;
    }
    run.Set(kActivePilotCount, active);
    if (best >= 0) {
        const PilotEntry& b = table.entries[static_cast<size_t>(best)];
        run.Set(kBestEcio, Scale1000(b.ecio > 0.0 ? -0.1 : b.ecio));
        if (b.pilotPower != kNoValueD) run.Set(kBestPilotPower, Scale1000(b.pilotPower));
        run.Set(kBestPn, static_cast<int32_t>(b.pn));
    }
}

void PublishPilotSets(DecoderContext& ctx, const PilotSetRecord& rec, bool is119A) {
    ParamRun run(ctx);
    // A 0x119A packet without a power sub-record leaves the receive power unknown.
    if (rec.rxPower != kNoValueF) {
        const double rxX1000 = rec.rxPower * 1000.0f;
        run.Set(kRxPower, TruncToI32(rxX1000));
        ctx.rxPowerX1000 = rxX1000;
    }
    run.Set(kFingerCount, rec.fingerCount);
    if (is119A) {
        run.Set(kChannel, rec.channel);
        ctx.lastChannel = rec.channel;
    }
    // Transmit values mean something only on a traffic channel.
    if (ctx.channelState == kChannelTraffic) {
        auto setKnown = [&](ParamRef p, float v) {
            if (v != kNoValueF) run.Set(p, Scale1000(v));
        };
        setKnown(kOpenLoopEstimate, rec.openLoopEstimate);
        setKnown(kTxPower, rec.txPower);
        setKnown(kTxGainAdjust, rec.txGainAdjust);
    }

    std::array<MergedPilot, kMaxFingers> merged{};
    const int mergedCount = MergeFingers(rec, merged);
    if (mergedCount == 0) {
        // No finger: the last pilot values still stand; report them again as current.
        for (const ParamRef& p : kLastPilotValues) {
            if (IsParamTouched(ctx, p.offset)) run.Set(p, ctx.item.ParamAt(p.offset).value);
        }
        run.Finish();
        return;
    }

    // Fingers on a pilot the table does not know as active mean a new active set.
    PilotTable& table = ctx.pilotTable;
    if (table.FindActive(static_cast<uint32_t>(merged[0].pn)) < 0) table.Clear();

    for (int i = 0; i < mergedCount; ++i) {
        const MergedPilot& m = merged[static_cast<size_t>(i)];
        if (ctx.rxPowerX1000 == kNoValueD) continue;
        PilotEntry entry;
        entry.source = kPilotSourceActive;
        entry.channel = ctx.lastChannel;
        entry.pn = static_cast<uint32_t>(m.pn);
        entry.rxPower = ctx.rxPowerX1000 / 1000.0;
        entry.ecio = EnergyToEcio(m.energy, is119A);
        entry.pilotPower = PilotPower(entry.rxPower, entry.ecio);
        table.Update(entry);
    }
    RefreshRxPower(ctx);
    PublishPilotSummary(ctx, run);
    PublishReferencePilot(ctx, run);
    run.Finish();
}

void StoreFingerList(const FingerListRecord& rec, uint8_t* out) {
    StoreLE(out, rec.count);
    for (size_t i = 0; i < rec.fingers.size(); ++i) {
        uint8_t* f = out + 4 + i * kListedFingerWireSize;
        StoreLE(f, rec.fingers[i].pn);
        StoreLE(f + 2, rec.fingers[i].ecio);
        StoreLE(f + 10, rec.fingers[i].word);
    }
}

void PublishPilotStructs(DecoderContext& ctx, const FingerListRecord& fingers, bool anyFinger) {
    StructRun srun(ctx);
    const PilotTable& table = ctx.pilotTable;
    if (table.count > 0) {
        std::array<uint8_t, kPilotTableCopy.capacity> blob{};
        const int n = std::min(table.count, kPilotTableCopyEntries);
        StoreLE(blob.data(), static_cast<uint32_t>(n));
        for (int i = 0; i < n; ++i) {
            StorePilotEntry(blob.data() + 4 + static_cast<size_t>(i) * kPilotEntryWireSize,
                            table.entries[static_cast<size_t>(i)]);
        }
        srun.Set(kPilotTableCopy, blob.data(), blob.size());
        srun.SetDataToPayload(kPilotTableCopy);
    }
    if (anyFinger) {
        std::array<uint8_t, kFingerListSize> blob{};
        StoreFingerList(fingers, blob.data());
        srun.Set(kFingerList, blob.data(), blob.size());
    }
    srun.Finish();
}

}  // namespace

void ParsePilotSets102D(PacketView packet, PilotSetRecord& rec) {
    rec = PilotSetRecord{};
    const double rx = ConvertRxAgc(packet.U8(kPayload + 13));
    rec.rxPower = Clamp(rx, -130.0f, -30.0f);
    const double gain = ConvertNegHalf(packet.S8(kPayload + 15));
    const uint8_t txAgc = packet.U8(kPayload + 14);
    // A transmit AGC of 0 means the transmitter is off: no transmit values.
    if (txAgc != 0) {
        rec.txPower = Clamp(ConvertTxThird(txAgc), -60.0f, 23.0f);
        const double k = OpenLoopConstant(packet.U8(kPayload + 1) == 1);
        rec.openLoopEstimate = Clamp(k + gain - rx, -60.0f, 30.0f);
        rec.txGainAdjust = static_cast<float>(gain);
    }

    int stored = 0;
    WalkFingers102D(packet, [&](int64_t entry) {
        FingerSlot& f = rec.fingers[static_cast<size_t>(stored++)];
        f.pn = packet.U16(entry) & 0x1FF;
        f.energy = IsLocked102D(packet, entry) ? packet.U8(entry + 3) : 0.0f;
        return stored < kMaxFingers;
    });
    rec.fingerCount = stored;
}

void ParsePilotSets119A(PacketView packet, PilotSetRecord& rec) {
    rec = PilotSetRecord{};
    rec.fingerCount = 0;
    WalkSubRecords(packet, [&](uint8_t type, int64_t at) {
        if (type == kSubRecordPower) ParsePowerSubRecord(packet, at, rec);
        if (type == kSubRecordFingers) ParseFingerSubRecord(packet, at, rec);
    });
    for (int i = rec.fingerCount; i < 6; ++i) {
        rec.fingers[static_cast<size_t>(i)] = FingerSlot{kNoValue, kNoValueF};
    }
}

bool ParseFingerList102D(PacketView packet, FingerListRecord& rec) {
    rec = FingerListRecord{};
    WalkFingers102D(packet, [&](int64_t entry) {
        if (!IsLocked102D(packet, entry)) return true;
        ListedFinger& f = rec.fingers[rec.count++];
        f.pn = packet.U16(entry) & 0x1FF;
        f.ecio = ConvertLog255(packet.U8(entry + 3));
        f.word = packet.U32(entry + 4);
        return rec.count < kMaxListedFingers;
    });
    return rec.count > 0;
}

bool ParseFingerList119A(PacketView packet, FingerListRecord& rec) {
    rec = FingerListRecord{};
    bool anySubRecord = false;
    WalkSubRecords(packet, [&](uint8_t type, int64_t at) {
        if (type != kSubRecordFingers) return;
        anySubRecord = true;
        const int entries = packet.U8(at + 7);
        for (int i = 0; i < entries && rec.count < kMaxListedFingers; ++i) {
            const int64_t e = at + 8 + int64_t{i} * kFingerEntrySize119A;
            if (e + kFingerEntrySize119A > packet.Length()) break;
            const int16_t pn = packet.S16(e);
            if (pn < 1 || pn > 511 || !IsLocked119A(packet.U16(e + 16))) continue;
            ListedFinger& f = rec.fingers[rec.count++];
            f.pn = static_cast<uint16_t>(pn);
            f.ecio = ConvertLog48(packet.U16(e + 2));
            f.word = packet.U32(e + 4);
        }
    });
    return anySubRecord;
}

void PublishReferencePilot(DecoderContext& ctx, ParamRun& run) {
    const PilotTable& table = ctx.pilotTable;
    auto publishEcio = [&](double ecio) {
        if (ecio == kNoValueD) return;
        run.Set(kReferenceEcio, Scale1000(ecio));
        if (ctx.rxPowerX1000 != kNoValueD) {
            run.Set(kReferencePilotPower, TruncToI32(ecio * 1000.0 + ctx.rxPowerX1000));
        }
    };
    // A single active pilot is the reference by definition.
    if (ctx.activePilotCount == 1 && table.count >= 1) {
        const PilotEntry& first = table.entries[0];
        ctx.referencePilot = static_cast<int32_t>(first.pn);
        run.SetKnown(kReferencePn, ctx.referencePilot);
        publishEcio(first.ecio);
        return;
    }
    if (ctx.referencePilot == kNoValue || table.count < 2) return;
    const int at = table.Find(static_cast<uint32_t>(ctx.referencePilot));
    if (at >= 0) publishEcio(table.entries[static_cast<size_t>(at)].ecio);
}

void HandlePilotSetsParams102D(DecoderContext& ctx, PacketView packet, int32_t /*extra*/) {
    PilotSetRecord rec;
    ParsePilotSets102D(packet, rec);
    PublishPilotSets(ctx, rec, false);
}

void HandlePilotSetsStruct102D(DecoderContext& ctx, PacketView packet, int32_t /*extra*/) {
    FingerListRecord fingers;
    const bool any = ParseFingerList102D(packet, fingers);
    PublishPilotStructs(ctx, fingers, any);
}

void HandlePilotSetsParams119A(DecoderContext& ctx, PacketView packet, int32_t /*extra*/) {
    PilotSetRecord rec;
    ParsePilotSets119A(packet, rec);
    PublishPilotSets(ctx, rec, true);
}

void HandlePilotSetsStruct119A(DecoderContext& ctx, PacketView packet, int32_t /*extra*/) {
    FingerListRecord fingers;
    const bool any = ParseFingerList119A(packet, fingers);
    PublishPilotStructs(ctx, fingers, any);
}

}  // namespace tessavo
