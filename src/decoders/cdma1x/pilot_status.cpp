#include "decoders/cdma1x/pilot_status.h"

#include "bits/bit_reader.h"
#include "common/le.h"
#include "decoders/cdma1x/pilot_table.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

constexpr StructParamRef kPilotSetsStatus = StructParam(0x7F0107D4);
constexpr uint8_t kCommandPilotSets = 0x40;
// A neighbour reported at strength 63 (-31.5 dB) was not measured.
constexpr uint16_t kUnmeasuredStrength = 63;

static_assert(kPilotSetsStatus.capacity == 5 + kMaxStatusPilots * 4);

void StoreRecord(const PilotStatusRecord& rec, uint8_t* out) {
    StoreLE(out, rec.firstField);
    for (size_t i = 0; i < rec.setSizes.size(); ++i) out[2 + i] = rec.setSizes[i];
    for (size_t i = 0; i < rec.pilots.size(); ++i) {
        StoreLE(out + 5 + 4 * i, rec.pilots[i].pn);
        StoreLE(out + 7 + 4 * i, rec.pilots[i].strength);
    }
}

}  // namespace

void ParsePilotSetsStatus(PacketView packet, PilotStatusRecord& rec) {
    rec = PilotStatusRecord{};
    BitReader reader;
    reader.Attach(packet.Data(), packet.Length());
    FieldTemps f(reader);
    if (f.Lsb<uint8_t>(8) != kCommandPilotSets) return;
    f.Lsb(rec.firstField, 16);
    for (uint8_t& size : rec.setSizes) f.Lsb(size, 8);

    const std::array<uint8_t, 3> reported = rec.setSizes;
    for (size_t set = 0; set < reported.size(); ++set) {
        for (int i = 0; i < reported[set] && rec.stored < kMaxStatusPilots; ++i) {
            const uint16_t pn = f.Lsb<uint16_t>(16);
            const uint16_t strength = f.Lsb<uint16_t>(16);
            if (pn == 0) {
                --rec.setSizes[set];
                continue;
            }
            rec.pilots[static_cast<size_t>(rec.stored++)] = StatusPilot{pn, strength};
        }
    }
}

void HandlePilotSetsStatus(DecoderContext& ctx, PacketView packet, int32_t /*extra*/) {
    PilotStatusRecord rec;
    ParsePilotSetsStatus(packet, rec);

    std::array<uint8_t, kPilotSetsStatus.capacity> blob{};
    StoreRecord(rec, blob.data());
    PublishStruct(ctx, kPilotSetsStatus, blob.data(), blob.size());

    PilotTable& table = ctx.pilotTable;
    table.Clear();
    const int activeEnd = rec.setSizes[0];
    const int candidateEnd = activeEnd + rec.setSizes[1];
    const int neighbourEnd = candidateEnd + rec.setSizes[2];
    for (int i = 0; i < rec.stored && i < neighbourEnd; ++i) {
        const StatusPilot& p = rec.pilots[static_cast<size_t>(i)];
        const uint32_t source = i < activeEnd      ? kPilotSourceActive
                                : i < candidateEnd ? kPilotSourceCandidate
                                                   : kPilotSourceNeighbour;
        if (p.pn == 0) continue;
        if (source == kPilotSourceNeighbour && p.strength == kUnmeasuredStrength) continue;
        PilotEntry entry;
        entry.source = source;
        entry.channel = ctx.lastChannel;
        entry.pn = p.pn;
        entry.ecio = -p.strength / 2.0;
        if (ctx.rxPowerX1000 != kNoValueD) {
            entry.rxPower = ctx.rxPowerX1000 / 1000.0;
            entry.pilotPower = entry.rxPower + entry.ecio;
        } else {
            entry.rxPower = kNoValueD;
            entry.pilotPower = kNoValueD;
        }
        entry.reserved = kNoValue;
        table.Update(entry);
    }
}

}  // namespace tessavo
