#include "dispatch/direct_params.h"

#include <algorithm>
#include <array>

#include "bits/bit_reader.h"
#include "common/le.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

constexpr uint32_t kItemTimeSize = 8;

bool ReadU16(BitReader& reader, uint16_t& value) {
    std::array<uint8_t, 2> b{};
    if (!reader.ReadLsbFirst(b.data(), 2, 16)) return false;
    value = LoadLE<uint16_t>(b.data());
    return true;
}

bool ReadU32(BitReader& reader, uint32_t& value) {
    std::array<uint8_t, 4> b{};
    if (!reader.ReadLsbFirst(b.data(), 4, 32)) return false;
    value = LoadLE<uint32_t>(b.data());
    return true;
}

// Sizes come from the packet: in 64 bits a huge size runs past the end and exhausts the
// reader instead of wrapping into a backward move.
void SkipBytes(BitReader& reader, uint64_t bytes) {
    reader.Skip(static_cast<int64_t>(bytes * 8));
}

struct SectionRuns {
    uint16_t scalar = 0;
    uint16_t structured = 0;
};

// A scalar entry: the u32 value is always consumed; it is published when the ID has a slot,
// the value was there in full and the current list has room.
void TakeScalarEntry(DecoderContext& ctx, BitReader& reader, uint32_t id, SectionRuns& runs) {
    const uint16_t offset = GetParamOffset(id);  // prints the fixed message for an unknown ID
    uint32_t value = 0;
    if (!ReadU32(reader, value)) return;
    if (offset == kNoOffset || runs.scalar >= kParamCount) return;
    // The record keeps the ID its slot holds; SetParam writes that same ID back.
    SetParam(ctx, offset, ctx.item.ParamAt(offset).id, static_cast<int32_t>(value), runs.scalar);
}

// A structured entry of `size` bytes: at most the record's payload capacity is copied and
// stored as the length; the rest of the entry is skipped.
void TakeStructEntry(DecoderContext& ctx, BitReader& reader, uint32_t id, uint32_t size,
                     SectionRuns& runs) {
    const uint16_t offset = GetSParamOffset(id);
    if (offset == kNoOffset || runs.structured >= kStructParamCount) {
        SkipBytes(reader, size);
        return;
    }
    const uint32_t take = std::min(size, StructCapacityAtOffset(offset));
    StructRecordView rec = ctx.item.StructAt(offset);
    if (take != 0 && !reader.ReadMsbFirst(rec.Payload(), take, static_cast<int64_t>(take) * 8)) {
        return;  // the blob is not all there: nothing is written
    }
    SkipBytes(reader, static_cast<uint64_t>(size) - take);
    ctx.inheritedStructs.NoteFresh(offset, rec.State());
    rec.SetState(TESSAVO_STATE_FRESH);
    rec.SetLength(take);
    ctx.Mark(rec.record, kStructHeaderSize + take);
    ctx.Mark(&ctx.item.curStructList[runs.structured], sizeof offset);
    ctx.item.curStructList[runs.structured++] = offset;
    ctx.touchedStructParams.Insert(offset);
}

// The parameter section after its size word: K, then K entries. Returns false when the
// one-shot rule ends the decoder.
bool DecodeParamSection(DecoderContext& ctx, BitReader& reader) {
    uint32_t count = 0;
    ReadU32(reader, count);  // a missing count leaves 0: nothing follows anyway

    if (ctx.item.msgCode == kOneShotMsgCode && ctx.directParamSwitch127E == 0) {
        ctx.directParamSwitch127E = 1;
        return false;
    }

    SectionRuns runs;
    for (uint64_t i = 0; i < count && !reader.IsExhausted(); ++i) {
        uint32_t id = 0;
        uint32_t size = 0;
        if (!ReadU32(reader, id) || !ReadU32(reader, size)) break;
        if (id >= kFirstDirectStructId && id <= kLastDirectStructId) {
            TakeStructEntry(ctx, reader, id, size, runs);
        } else {
            TakeScalarEntry(ctx, reader, id, runs);
        }
    }

    ctx.item.curStructCount = runs.structured;
    ctx.Mark(&ctx.item.curStructCount, sizeof ctx.item.curStructCount);
    BuildStructParamLists(ctx);
    ctx.item.curParamCount = runs.scalar;
    ctx.Mark(&ctx.item.curParamCount, sizeof ctx.item.curParamCount);
    BuildParamLists(ctx);
    return true;
}

}  // namespace

uint32_t DecodeDirectParams(DecoderContext& ctx, PacketView packet) {
    if (packet.Data() == nullptr) return 0;

    BitReader reader;
    // The entries fill the payload and end before the check bytes.
    const int32_t entryBytes = packet.Length() - kLogOffsetPayload - kPacketTrailer;
    if (entryBytes > 0) {
        reader.Attach(packet.Data() + kLogOffsetPayload, entryBytes);
    } else {
        reader.Attach(nullptr, 0);
    }

    // A read that runs past the end exhausts the reader, which ends the loop: accepted.
    while (!reader.IsExhausted()) {
        uint32_t tag = 0;
        uint32_t size = 0;
        if (!ReadU32(reader, tag) || !ReadU32(reader, size)) break;
        switch (tag) {
            case kTagVersion: {
                uint32_t unused = 0;
                ReadU32(reader, unused);
                break;
            }
            case kTagItemTime: {
                // The item time comes from the packet's own time stamp; the entry is checked
                // for its size only.
                if (size != kItemTimeSize) return 0;
                std::array<uint8_t, kItemTimeSize> unused{};
                reader.ReadLsbFirst(unused.data(), kItemTimeSize, kItemTimeSize * 8);
                break;
            }
            case kTagDirection: {
                uint16_t direction = 0;
                if (ReadU16(reader, direction)) ctx.item.direction = direction;
                break;
            }
            case kTagMsgCode: {
                uint32_t code = 0;
                if (ReadU32(reader, code)) ctx.item.msgCode = code;
                break;
            }
            case kTagSectionSize: {
                uint32_t sectionBytes = 0;
                if (ReadU32(reader, sectionBytes) && sectionBytes == 0) return 1;
                break;
            }
            case kTagParams:
                if (!DecodeParamSection(ctx, reader)) return 1;
                break;
            default:
                SkipBytes(reader, size);
                break;
        }
    }
    return 1;
}

}  // namespace tessavo
