#include "decoders/evdo/second_interface_records.h"

#include <algorithm>

#include "bits/bit_reader.h"
#include "decoders/decoder_context.h"
#include "decoders/record_reader.h"
#include "params/param_lists.h"

namespace tessavo {

// --- 0x107A ---

int ParseRecord107A(PacketView packet, Record107A& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        t.Lsb(rec.b0, 8);
        t.Lsb(rec.countA, 8);
        t.Lsb(rec.b2, 8);
        t.Lsb(rec.h3, 16);
        t.Lsb(rec.b5, 8);
        t.Lsb(rec.countB, 8);
        t.Lsb(rec.b7, 8);
        t.Lsb(rec.countD, 8);
        t.Lsb(rec.h9, 16);
        for (int i = 0; i < rec.countA; ++i) {
            EntryA107A& g = rec.groupsA[static_cast<size_t>(i)];
            t.Lsb(g.f0, 16);
            t.Lsb(g.f2, 16);
            t.Lsb(g.f4, 4);
            t.Lsb(g.f5, 4);
            t.Reader().Skip(8);
            t.Lsb(g.f6, 16);
            t.Reader().Skip(16);
        }
        for (int i = 0; i < rec.countB; ++i) {
            EntryB107A& g = rec.groupsB[static_cast<size_t>(i)];
            t.Lsb(g.f0, 16);
            t.Lsb(g.f2, 16);
            t.Lsb(g.f4, 16);
            t.Reader().Skip(32);
        }
        for (int i = 0; i < rec.countD; ++i) {
            for (uint16_t& f : rec.groupsD[static_cast<size_t>(i)].f) t.Lsb(f, 16);
        }
    });
}

void HandleRecord107A(DecoderContext& ctx, PacketView packet, int32_t) {
    Record107A rec;
    ParseRecord107A(packet, rec);
    ParamRun run(ctx);
    run.Set(Param(0x7F01800C), rec.countA);
    run.Finish();
}

// --- 0x1080 ---

int ParseRecord1080(PacketView packet, Record1080& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        t.Reader().ReadLsbFirst(rec.sectorId.data(), static_cast<int64_t>(rec.sectorId.size()),
                                128);
        t.Lsb(rec.b16, 8);
        t.Lsb(rec.b17, 8);
        t.Lsb(rec.sector, 16);
    });
}

void HandleRecord1080Params(DecoderContext& ctx, PacketView packet, int32_t) {
    Record1080 rec;
    ParseRecord1080(packet, rec);
    ParamRun run(ctx);
    // Sector numbers are 9 bits; 0 marks none.
    if (rec.sector > 0 && rec.sector < 512) {
        run.Set(Param(0x7F01800F), rec.sector);
        ctx.referenceSector = rec.sector;
    }
    run.Finish();
}

void HandleRecord1080Struct(DecoderContext& ctx, PacketView packet, int32_t) {
    Record1080 rec;
    ParseRecord1080(packet, rec);
    uint8_t blob[28] = {};
    std::copy(rec.sectorId.begin(), rec.sectorId.end(), blob);
    StoreLE(blob + 16, uint32_t{rec.b16});
    StoreLE(blob + 20, uint32_t{rec.b17});
    PublishStruct(ctx, StructParam(0x7F0107DC), blob, sizeof blob);
}

// --- 0x1088 ---

int ParseRecord1088(PacketView packet, Record1088& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        t.Lsb(rec.b0, 8);
        t.Lsb(rec.b1, 8);
        t.Lsb(rec.w2, 32);
        t.Lsb(rec.h6, 16);
        t.Lsb(rec.w8, 32);
        t.Lsb(rec.w12, 32);
        t.Lsb(rec.w16, 32);
        t.Lsb(rec.h20, 16);
        t.Lsb(rec.b22, 8);
        t.Lsb(rec.b23, 8);
        t.Lsb(rec.b24, 8);
    });
}

void HandleRecord1088(DecoderContext& ctx, PacketView packet, int32_t) {
    Record1088 rec;
    ParseRecord1088(packet, rec);
    // Bytes 23 and 24 form one 16-bit value, byte 24 high.
    const uint32_t joined = rec.b24 * 256u + rec.b23;
    const std::array<uint32_t, 10> words = {0, rec.w8, rec.w12, rec.w16, rec.b1,
                                            0, rec.h6, joined,  rec.b22, rec.h20};
    uint8_t blob[40];
    for (size_t i = 0; i < words.size(); ++i) StoreLE(blob + 4 * i, words[i]);
    PublishStruct(ctx, StructParam(0x7F0107DF), blob, sizeof blob);

    ParamRun run(ctx);
    run.Set(Param(0x7F01831C), static_cast<int32_t>(rec.w8));
    run.Set(Param(0x7F01831D), static_cast<int32_t>(rec.w12));
    run.Set(Param(0x7F01831E), static_cast<int32_t>(rec.w16));
    run.Set(Param(0x7F01831F), rec.b1);
    run.Set(Param(0x7F018321), rec.h6);
    run.Set(Param(0x7F018322), static_cast<int32_t>(joined));
    run.Set(Param(0x7F018323), rec.b22);
    run.Set(Param(0x7F018324), rec.h20);
    run.Finish();
}

}  // namespace tessavo
