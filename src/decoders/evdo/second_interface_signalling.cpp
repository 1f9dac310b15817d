#include "decoders/evdo/second_interface_signalling.h"

#include "bits/bit_reader.h"
#include "decoders/record_reader.h"
#include "decoders/evdo/small_records.h"
#include "decoders/decoder_context.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

void ReadHeader(FieldTemps& t, MessageHeader& h) {
    t.Lsb(h.bandClass, 8);
    t.Lsb(h.channel, 16);
    t.Lsb(h.sector, 16);
    t.Lsb(h.sequence, 16);
    t.Lsb(h.flag0, 1);
    t.Lsb(h.flag1, 1);
    t.Lsb(h.flag2, 1);
    t.Reader().AlignToNextByte();
    for (uint8_t& b : h.bytes8) t.Lsb(b, 8);
    t.Lsb(h.identifier, 8);
    t.Lsb(h.subKind, 8);
}

// MSB-first reads of message fields up to 32 bits that stop at the first failure: a message
// cut short yields the fields before the cut and nothing after it.
class MsbFields {
  public:
    explicit MsbFields(BitReader& reader) : reader_(reader) {}
    uint32_t Read(int bits) {
        if (!ok_) return 0;
        uint8_t bytes[4] = {};
        const int n = (bits + 7) / 8;
        if (!reader_.ReadMsbFirst(bytes, n, bits)) {
            ok_ = false;
            return 0;
        }
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 8) | bytes[i];
        return v;
    }
    bool Ok() const { return ok_; }

  private:
    BitReader& reader_;
    bool ok_ = true;
};

// Publishes the 0x107C record: the sector heard (when known) and the count of forward traffic
// channels in use from the overhead message that carries them.
void PublishSectorRecord(DecoderContext& ctx, ParamRun& run, PacketView packet) {
    MessageHeader h;
    ParseMessageHeader(packet, h);
    if (ctx.item.msgCode == 0x107C1504) run.Set(Param(0x7F010017), 2);
    if (h.sector < 65535) {
        run.Set(Param(0x7F01800D), h.channel);
        ctx.referenceValue = h.channel;
        ctx.marker107C =
            static_cast<int32_t>((static_cast<uint32_t>(ctx.marker107C) & 0xFFFF0000u) | h.channel);
        run.Set(Param(0x7F01800E), h.bandClass);
        run.Set(Param(0x7F01800F), h.sector);
        ctx.referenceSector = h.sector;
    }
    if (h.identifier == 15 && h.subKind == 0) {
        TrafficValidRecord rec;
        ParseTrafficValid(packet, rec);
        if (rec.setFlags > 0) run.Set(Param(0x7F01830B), rec.setFlags);
    }
}

void HandleSignalling(DecoderContext& ctx, PacketView packet, uint16_t logCode) {
    ParamRun run(ctx);
    StructRun srun(ctx);
    PublishIdleChannelState(ctx, run);
    if (logCode == 0x1078) {
        // Every 0x1078 message restates the carrier mode.
        constexpr ParamRef kCarrierMode = Param(0x7F01830A);
        if (IsParamTouched(ctx, kCarrierMode.offset)) {
            run.Set(kCarrierMode, ctx.item.ParamAt(kCarrierMode.offset).value);
        }
    }
    if (logCode == 0x107C) PublishSectorRecord(ctx, run, packet);

    const uint32_t code = ctx.item.msgCode;
    const uint32_t base = static_cast<uint32_t>(logCode) << 16;
    if (code == base + 0x1001 && logCode != 0x1079) {
        ValueMessage1076 msg;
        ParseValueMessage1076(packet, msg);
        PublishValueMessage1076(run, msg);
    } else if (code == base + 0x0D00 && logCode == 0x1079) {
        ValueMessage1077 msg;
        ParseValueMessage1077(packet, msg);
        PublishValueMessage1077(run, msg);
    } else if (code == base + 0x1E01) {
        PilotAssignmentRecord rec;
        ParsePilotAssignment(packet, rec);
        const auto blob = PilotAssignmentBlob(rec);
        srun.Set(StructParam(0x7F0107FB), blob.data(), blob.size());
    }

    ClearTrafficWhenIdle(ctx);
    run.Finish();
    srun.Finish();
}

}  // namespace

int ParseMessageHeader(PacketView packet, MessageHeader& header) {
    return ReadLogRecord(packet, [&](FieldTemps& t) { ReadHeader(t, header); });
}

int ParseTrafficValid(PacketView packet, TrafficValidRecord& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        MessageHeader h;
        ReadHeader(t, h);
        t.Lsb(rec.word0, 16);
        for (uint16_t& w : rec.bigEndianWords) {
            uint8_t bytes[2] = {};
            t.Reader().ReadU16BigEndian(bytes);
            w = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
        }
        MsbFields f(t.Reader());
        f.Read(1);
        rec.m = static_cast<uint8_t>(f.Read(6));
        for (int i = 0; i < rec.m; ++i) rec.setFlags += static_cast<int32_t>(f.Read(1));
        rec.g = static_cast<uint8_t>(f.Read(1));
        if (rec.g == 1) {
            rec.m2 = static_cast<uint8_t>(f.Read(6));
            for (int i = 0; i < rec.m2; ++i) rec.setFlags += static_cast<int32_t>(f.Read(1));
        }
        f.Read(1);
        rec.parsed = f.Ok();
    });
}

// Multi-pilot assignment, read MSB-first from payload byte 13 (after the header):
//
//   MessageSequence      8
//   FrameOffset          4
//   NumSubActiveSets     4   sets in the message, less one (1 to 16)
//   per sub-active set:
//     SystemType         8   (not kept)
//     BandClass          5
//     ChannelNumber     11
//     NumPilots          3
//     per pilot:
//       PilotPN          9
//       SofterHandoff    1
//       MACIndex         7
//       DRCCover         3
//       RABLength        2
//       RABOffset        3
//
// The active set holds at most six pilots, so at most six pilots are stored over all sets; the
// others are read and dropped. A message cut short keeps the sets and pilots read completely.
int ParsePilotAssignment(PacketView packet, PilotAssignmentRecord& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        MessageHeader h;
        ReadHeader(t, h);
        rec.header8 = h.bytes8[0];
        rec.header9 = h.bytes8[1];

        MsbFields f(t.Reader());
        rec.sequence = static_cast<uint8_t>(f.Read(8));
        rec.frameOffset = static_cast<uint8_t>(f.Read(4));
        const int sets = static_cast<int>(f.Read(4)) + 1;
        if (!f.Ok()) return;
        int stored = 0;
        for (int s = 0; s < sets && s < kMaxSubActiveSets; ++s) {
            SubActiveSet set;
            f.Read(8);
            set.bandClass = static_cast<uint8_t>(f.Read(5));
            set.channel = static_cast<uint16_t>(f.Read(11));
            set.pilotCount = static_cast<uint8_t>(f.Read(3));
            for (int p = 0; p < set.pilotCount; ++p) {
                AssignedPilot pilot;
                pilot.pn = static_cast<uint16_t>(f.Read(9));
                pilot.softerHandoff = static_cast<uint8_t>(f.Read(1));
                pilot.macIndex = static_cast<uint8_t>(f.Read(7));
                pilot.drcCover = static_cast<uint8_t>(f.Read(3));
                pilot.rabLength = static_cast<uint8_t>(f.Read(2));
                pilot.rabOffset = static_cast<uint8_t>(f.Read(3));
                if (!f.Ok()) break;
                if (stored < kMaxAssignedPilots && set.storedCount < kPilotSlotsPerSet) {
                    set.pilots[set.storedCount++] = pilot;
                    ++stored;
                }
            }
            if (!f.Ok()) break;
            rec.sets[rec.setCount++] = set;
        }
    });
}

// Blob of 0x7F0107FB, all words u32 little-endian:
//   0              number of sub-active sets
//   4 + 112 s      set s: channel, band class, pilots listed, pilots stored, then six
//                  16-byte pilot slots (PN, MAC index, DRC cover, softer handoff)
//   1796, 1800     header bytes 8 and 9
std::array<uint8_t, kPilotAssignmentBlobSize> PilotAssignmentBlob(
    const PilotAssignmentRecord& rec) {
    constexpr size_t kSetSize = 112;
    constexpr size_t kSlotSize = 16;
    std::array<uint8_t, kPilotAssignmentBlobSize> blob{};
    uint8_t* out = blob.data();
    StoreLE(out, uint32_t{rec.setCount});
    for (size_t s = 0; s < rec.setCount; ++s) {
        const SubActiveSet& set = rec.sets[s];
        uint8_t* at = out + 4 + kSetSize * s;
        StoreLE(at, uint32_t{set.channel});
        StoreLE(at + 4, uint32_t{set.bandClass});
        StoreLE(at + 8, uint32_t{set.pilotCount});
        StoreLE(at + 12, uint32_t{set.storedCount});
        for (size_t p = 0; p < set.storedCount; ++p) {
            const AssignedPilot& pilot = set.pilots[p];
            uint8_t* slot = at + 16 + kSlotSize * p;
            StoreLE(slot, uint32_t{pilot.pn});
            StoreLE(slot + 4, uint32_t{pilot.macIndex});
            StoreLE(slot + 8, uint32_t{pilot.drcCover});
            StoreLE(slot + 12, uint32_t{pilot.softerHandoff});
        }
    }
    constexpr size_t kTrailer = 4 + kSetSize * kMaxSubActiveSets;
    StoreLE(out + kTrailer, uint32_t{rec.header8});
    StoreLE(out + kTrailer + 4, uint32_t{rec.header9});
    return blob;
}

void HandleSignalling1078(DecoderContext& ctx, PacketView packet, int32_t) {
    HandleSignalling(ctx, packet, 0x1078);
}

void HandleSignalling1079(DecoderContext& ctx, PacketView packet, int32_t) {
    HandleSignalling(ctx, packet, 0x1079);
}

void HandleSignalling107C(DecoderContext& ctx, PacketView packet, int32_t) {
    HandleSignalling(ctx, packet, 0x107C);
}

}  // namespace tessavo
