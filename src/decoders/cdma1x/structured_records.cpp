#include "decoders/cdma1x/structured_records.h"

#include <charconv>
#include <cstring>

#include "bits/bit_reader.h"
#include "bits/conversions.h"
#include "decoders/decoder_context.h"
#include "decoders/record_reader.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

// The structured run of these records: one blob of little-endian u32 words. Their scalars
// follow in a run of their own.
template <size_t N>
void PublishWordBlob(DecoderContext& ctx, StructParamRef p, const std::array<uint32_t, N>& words) {
    std::array<uint8_t, 4 * N> blob{};
    for (size_t i = 0; i < N; ++i) StoreLE(blob.data() + 4 * i, words[i]);
    PublishStruct(ctx, p, blob.data(), blob.size());
}

int32_t AsI32(uint32_t v) {
    return static_cast<int32_t>(v);
}

// Writes v in decimal, zero-filled to at least `digits` digits, at `pos` of `out`, as far as
// room remains before the last byte (kept for the terminator). Returns the new position.
size_t PutZeroFilled(char* out, size_t capacity, size_t pos, uint64_t v, int digits) {
    char digitsBuf[24];
    const auto res = std::to_chars(digitsBuf, digitsBuf + sizeof digitsBuf, v);
    const auto n = static_cast<int>(res.ptr - digitsBuf);
    for (int i = n; i < digits && pos + 1 < capacity; ++i) out[pos++] = '0';
    for (int i = 0; i < n && pos + 1 < capacity; ++i) out[pos++] = digitsBuf[i];
    return pos;
}

}  // namespace

// --- 0x1060 ---

int ParseRecord1060(PacketView packet, Record1060& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        t.Lsb(rec.b0, 8);
        t.Lsb(rec.b1, 8);
        t.Lsb(rec.b2, 8);
        t.Lsb(rec.w3, 32);
        t.Lsb(rec.w7, 32);
        t.Lsb(rec.b11, 8);
        t.Lsb(rec.b12, 8);
        t.Lsb(rec.b13, 8);
        t.Lsb(rec.b14, 8);
    });
}

void HandleRecord1060(DecoderContext& ctx, PacketView packet, int32_t) {
    Record1060 rec;
    ParseRecord1060(packet, rec);
    PublishWordBlob<3>(ctx, StructParam(0x7F0107E1), {rec.b13, rec.b0, 0});
    ParamRun run(ctx);
    run.Set(Param(0x7F018325), rec.b13);
    run.Set(Param(0x7F018326), rec.b0);
    run.Finish();
}

// --- 0x106C ---

int ParseRecord106C(PacketView packet, Record106C& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        for (uint8_t& b : rec.head) t.Lsb(b, 8);
        t.Lsb(rec.h5, 16);
        t.Lsb(rec.w7, 32);
        t.Lsb(rec.w11, 32);
        t.Lsb(rec.w15, 32);
        t.Lsb(rec.h19, 16);
        t.Lsb(rec.b21, 8);
        t.Lsb(rec.b22, 8);
        t.Lsb(rec.b23, 8);
        for (int i = 0; i < rec.head[3]; ++i) t.Lsb(rec.list[static_cast<size_t>(i)], 8);
    });
}

void HandleRecord106C(DecoderContext& ctx, PacketView packet, int32_t) {
    Record106C rec;
    ParseRecord106C(packet, rec);
    PublishWordBlob<3>(ctx, StructParam(0x7F0107E3), {rec.w7, rec.w11, rec.w15});
    ParamRun run(ctx);
    run.Set(Param(0x7F01832D), AsI32(rec.w7));
    run.Set(Param(0x7F01832E), AsI32(rec.w11));
    run.Set(Param(0x7F01832F), AsI32(rec.w15));
    run.Finish();
}

// --- 0x106E ---

int ParseRecord106E(PacketView packet, Record106E& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        t.Lsb(rec.b0, 8);
        t.Lsb(rec.b1, 8);
        t.Lsb(rec.b2, 8);
        t.Lsb(rec.h3, 16);
        t.Lsb(rec.w5, 32);
        t.Lsb(rec.w9, 32);
        t.Lsb(rec.w13, 32);
        t.Lsb(rec.h17, 16);
        t.Lsb(rec.h19, 16);
        t.Lsb(rec.b21, 8);
        t.Lsb(rec.b22, 8);
        t.Lsb(rec.b23, 8);
    });
}

void HandleRecord106E(DecoderContext& ctx, PacketView packet, int32_t) {
    Record106E rec;
    ParseRecord106E(packet, rec);
    // Byte 21 extends the 16-bit field at 19 to 24 bits.
    const uint32_t extended = rec.b21 * 65536u + rec.h19;
    const uint32_t low4 = rec.b2 & 0x0Fu;
    PublishWordBlob<13>(
        ctx, StructParam(0x7F0107DD),
        {0, rec.w5, rec.w9, rec.w13, 0, 0, rec.h3, rec.b0, extended, rec.b22, rec.h17, 0, low4});
    ParamRun run(ctx);
    run.Set(Param(0x7F01830E), AsI32(rec.w5));
    run.Set(Param(0x7F01830F), AsI32(rec.w9));
    run.Set(Param(0x7F018310), AsI32(rec.w13));
    run.Set(Param(0x7F018313), rec.h3);
    run.Set(Param(0x7F018314), rec.b0);
    run.Set(Param(0x7F018315), AsI32(extended));
    run.Set(Param(0x7F018316), rec.b22);
    run.Set(Param(0x7F018317), rec.h17);
    run.Set(Param(0x7F018319), AsI32(low4));
    run.Finish();
}

// --- 0x1071 ---

int ParseRecord1071(PacketView packet, Record1071& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) { t.Lsb(rec.value, 8); });
}

void HandleRecord1071(DecoderContext& ctx, PacketView packet, int32_t) {
    Record1071 rec;
    ParseRecord1071(packet, rec);
    PublishWordBlob<1>(ctx, StructParam(0x7F0107DE), {rec.value});
    ParamRun run(ctx);
    run.Set(Param(0x7F01831A), rec.value);
    run.Finish();
}

// --- Command 0x63 / log code 0x3063 ---

int ParseStatusRecord(PacketView packet, StatusRecord& rec) {
    if (packet.Data() == nullptr || packet.Length() < 1) return 0;
    BitReader reader;
    reader.Attach(packet.Data(), packet.Length());
    FieldTemps t(reader);
    if (t.Lsb<uint8_t>(8) != 0x63 || packet.Length() < kStatusMinLength) return 1;
    t.Lsb(rec.esn, 32);
    t.Lsb<uint32_t>(32);
    t.Lsb<uint16_t>(16);
    t.Lsb(rec.imsiS, 64);
    rec.mnc = DecodeMnc(static_cast<uint8_t>(t.Lsb<uint8_t>(8) + 11));
    rec.mcc = static_cast<uint16_t>(DecodeMcc(static_cast<uint16_t>(t.Lsb<uint16_t>(16) + 111)));
    t.Lsb<uint8_t>(8);
    t.Lsb(rec.f39, 16);
    t.Lsb(rec.f41, 16);
    t.Lsb<uint8_t>(8);
    t.Lsb(rec.f44, 8);
    t.Lsb<uint8_t>(8);
    t.Lsb<uint8_t>(8);
    t.Lsb(rec.channel, 16);
    t.Lsb(rec.f49, 16);

    rec.subscriber = DecodeImsiS(rec.imsiS);
    rec.imsi = rec.mcc * 1000000000000ull + rec.mnc * 10000000000ull + rec.subscriber;
    return 1;
}

void HandleStatusParams(DecoderContext& ctx, PacketView packet, int32_t) {
    StatusRecord rec;
    ParseStatusRecord(packet, rec);
    ParamRun run(ctx);
    run.Set(Param(0x7F010310), AsI32(static_cast<uint32_t>(rec.imsi >> 32)));
    run.Set(Param(0x7F010311), AsI32(static_cast<uint32_t>(rec.imsi)));
    run.Set(Param(0x7F01030F), AsI32(rec.esn));
    run.Set(Param(0x7F010316), AsI32(static_cast<uint32_t>(rec.subscriber >> 32)));
    run.Set(Param(0x7F010317), AsI32(static_cast<uint32_t>(rec.subscriber)));
    run.Set(Param(0x7F010318), rec.mnc);
    run.Set(Param(0x7F010319), rec.mcc);
    run.Set(Param(0x7F010016), rec.f44);
    // These channel numbers are placeholders of the response, not channels in use.
    if (rec.channel != 37 && rec.channel != 78 && rec.channel != 119) {
        run.Set(param::kCdmaChannel, rec.channel);
        ctx.lastChannel = rec.channel;
    }
    run.Finish();
}

void HandleStatusStruct(DecoderContext& ctx, PacketView packet, int32_t) {
    StatusRecord rec;
    ParseStatusRecord(packet, rec);
    constexpr StructParamRef kStatusBlob = StructParam(0x7F0107FA);
    std::array<uint8_t, kStatusBlob.capacity> blob{};
    StoreLE(blob.data(), rec.esn);
    StoreLE(blob.data() + 4, rec.mcc);
    blob[6] = rec.mnc;
    StoreLE(blob.data() + 7, rec.subscriber);
    // The identity as text: 3 + 2 + 10 digits, zero-filled, then a terminating zero.
    constexpr size_t kTextAt = 15;
    char* text = reinterpret_cast<char*>(blob.data() + kTextAt);
    const size_t room = blob.size() - kTextAt;
    size_t pos = PutZeroFilled(text, room, 0, rec.mcc, 3);
    pos = PutZeroFilled(text, room, pos, rec.mnc, 2);
    pos = PutZeroFilled(text, room, pos, rec.subscriber, 10);
    text[pos] = '\0';
    PublishStruct(ctx, kStatusBlob, blob.data(), blob.size());
}

}  // namespace tessavo
