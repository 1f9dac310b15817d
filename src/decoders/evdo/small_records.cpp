#include "decoders/evdo/small_records.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "bits/bit_reader.h"
#include "bits/conversions.h"
#include "decoders/decoder_context.h"
#include "decoders/record_reader.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

// The header that precedes every over-the-air message of the second interface.
void SkipMessageHeader(FieldTemps& t) {
    t.Lsb<uint8_t>(8);
    t.Lsb<uint16_t>(16);
    t.Lsb<uint16_t>(16);
    t.Lsb<uint16_t>(16);
    for (int i = 0; i < 4; ++i) t.Lsb<uint8_t>(8);
}

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Decimal text to a double the way the C library reads it in the "C" locale, whatever the
// host's locale: leading white space, an optional sign, then decimal or hexadecimal digits
// (or inf / nan); 0 when nothing converts. The text ends at its first zero byte.
double TextToDouble(const uint8_t* bytes, size_t n) {
    char text[16] = {};
    std::memcpy(text, bytes, n < sizeof text - 1 ? n : sizeof text - 1);
    const char* p = text;
    const char* end = text + std::strlen(text);
    while (p < end && IsCSpace(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p < end && (*p == '+' || *p == '-')) return 0.0;
    auto format = std::chars_format::general;
    if (end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        format = std::chars_format::hex;
        p += 2;
    }
    double value = 0.0;
    const auto res = std::from_chars(p, end, value, format);
    if (res.ec == std::errc::invalid_argument) return 0.0;
    if (res.ec == std::errc::result_out_of_range) {
        // Overflow gives HUGE_VAL; a tiny value (negative exponent) gives 0.
        const char* e = p;
        while (e < res.ptr && *e != 'e' && *e != 'E' && *e != 'p' && *e != 'P') ++e;
        const bool tiny = e + 1 < res.ptr && e[1] == '-';
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

}  // namespace

// --- Shared steps of the second interface's message decoders ---

void PublishIdleChannelState(DecoderContext& ctx, ParamRun& run) {
    if (ctx.channelState == kChannelAccess || ctx.channelState == kChannelTraffic) {
        ctx.channelState = kChannelIdle;
    }
    run.PublishMode(0);
    run.Set(param::kCallState, 1);
}

void ClearTrafficWhenIdle(DecoderContext& ctx) {
    if (ctx.channelState == kChannelIdle) ClearParamGroupA(ctx);
}

void PublishValueMessage1076(ParamRun& run, const ValueMessage1076& msg) {
    if ((msg.identifier & 0x7F) != 16) return;
    run.SetKnown(Param(0x7F018012), msg.value);
}

void PublishValueMessage1077(ParamRun& run, const ValueMessage1077& msg) {
    run.SetKnown(Param(0x7F018011), msg.value);
}

// --- 0x1013 ---

int ParseRecord1013(PacketView packet, Record1013& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        for (uint8_t& b : rec.bytes) t.Lsb(b, 8);
    });
}

void HandleRecord1013(DecoderContext& ctx, PacketView packet, int32_t) {
    Record1013 rec;
    ParseRecord1013(packet, rec);
    ParamRun run(ctx);
    run.Set(Param(0x7F01031A), rec.bytes[0]);
    run.Set(Param(0x7F01031B), rec.bytes[1]);
    run.Finish();
}

// --- 0x1014 ---

int ParsePosition(PacketView packet, PositionRecord& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        t.Reader().Skip(48);
        // Each text field is taken as exactly the bytes read; a failed read leaves it empty.
        auto readText = [&](uint8_t* out, int n) { t.Reader().ReadLsbFirst(out, n, 8 * n); };
        uint8_t lon[9] = {};
        uint8_t lat[8] = {};
        uint8_t f16[3] = {};
        uint8_t f20[3] = {};
        readText(lon, sizeof lon);
        rec.longitude = TextToDouble(lon, sizeof lon) / 100000.0;
        readText(lat, sizeof lat);
        rec.latitude = TextToDouble(lat, sizeof lat) / 100000.0;
        readText(f16, sizeof f16);
        rec.field16 = TruncToI32(TextToDouble(f16, sizeof f16));
        readText(f20, sizeof f20);
        rec.field20 = TruncToI32(TextToDouble(f20, sizeof f20));
        t.Lsb(rec.b24, 8);
        t.Lsb(rec.b25, 8);
    });
}

void HandlePosition(DecoderContext& ctx, PacketView packet, int32_t) {
    PositionRecord rec;
    ParsePosition(packet, rec);
    uint8_t blob[24];
    StoreLE(blob, rec.longitude);
    StoreLE(blob + 8, rec.latitude);
    StoreLE(blob + 16, rec.field16);
    StoreLE(blob + 20, rec.field20);
    PublishStruct(ctx, StructParam(0x7F0107FC), blob, sizeof blob);
}

// --- 0x105F ---

int ParseRecord105F(PacketView packet, Record105F& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        t.Lsb(rec.b0, 8);
        t.Lsb(rec.h1, 16);
        t.Lsb(rec.b3, 8);
        t.Lsb(rec.b4, 8);
        t.Lsb(rec.h5, 16);
        t.Lsb(rec.h7, 16);
        t.Lsb(rec.b9, 8);
        t.Lsb(rec.b10, 8);
        t.Lsb(rec.h11, 16);
    });
}

void HandleRecord105F(DecoderContext& ctx, PacketView packet, int32_t) {
    Record105F rec;
    ParseRecord105F(packet, rec);
    ParamRun run(ctx);
    run.Set(Param(0x7F01800C), rec.b0);
    run.Finish();
}

// --- 0x1064 ---

int ParseRecord1064(PacketView packet, Record1064& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        t.Lsb(rec.w0, 32);
        t.Lsb(rec.h4, 16);
        t.Lsb(rec.h6, 16);
        const uint8_t announced = t.Lsb<uint8_t>(8);
        rec.count = announced < kMaxEntries1064 ? announced : kMaxEntries1064;
        for (int i = 0; i < rec.count; ++i) {
            Entry1064& e = rec.entries[static_cast<size_t>(i)];
            t.Lsb(e.f0, 16);
            t.Lsb(e.f2, 18);
            t.Reader().AlignToNextByte();
            t.Reader().AlignToNextByte();
            t.Lsb(e.f6, 16);
            t.Lsb(e.f8, 1);
            t.Lsb(e.f9, 1);
            t.Lsb(e.f10, 1);
            t.Lsb(e.f11, 4);
            t.Reader().AlignToNextByte();
            t.Lsb(e.f12, 3);
            t.Lsb(e.f13, 3);
            t.Reader().AlignToNextByte();
            t.Lsb(e.f14, 16);
            t.Lsb(e.f16, 16);
        }
    });
}

void ParseOnly1064(DecoderContext&, PacketView packet, int32_t) {
    Record1064 rec;
    ParseRecord1064(packet, rec);
}

// --- 0x1068 ---

int ParseRecord1068(PacketView packet, Record1068& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        for (RateBlock1068& b : rec.blocks) {
            for (uint8_t& v : b.rateBytes) t.Lsb(v, 8);
            for (uint16_t& v : b.h8) t.Lsb(v, 16);
            t.Lsb(b.b40, 8);
            for (uint16_t& v : b.h41) t.Lsb(v, 16);
            for (uint16_t& v : b.h53) t.Lsb(v, 16);
            for (uint16_t& v : b.h65) t.Lsb(v, 16);
            t.Lsb(b.load, 16);
            t.Lsb(b.h79, 16);
            t.Lsb(b.h81, 16);
            for (uint8_t& v : b.b83) t.Lsb(v, 8);
        }
        rec.load = static_cast<float>(rec.blocks[1].load / 16384.0 * 100.0);
        // Every nibble of the rate bytes is a rate index, high nibble first; the first largest
        // rate wins.
        rec.bestIndex = 0;
        rec.bestRate = 0;
        for (const RateBlock1068& b : rec.blocks) {
            for (uint8_t v : b.rateBytes) {
                for (int index : {v >> 4, v & 0x0F}) {
                    const int32_t rate = DrcIndexToRate(static_cast<int8_t>(index));
                    if (rate > rec.bestRate) {
                        rec.bestRate = rate;
                        rec.bestIndex = index;
                    }
                }
            }
        }
    });
}

void HandleRecord1068(DecoderContext& ctx, PacketView packet, int32_t) {
    // In multi-carrier operation the same values come from the multi-carrier logs.
    if (ctx.carrierMode == 2) return;
    Record1068 rec;
    ParseRecord1068(packet, rec);
    ParamRun run(ctx);
    if (ctx.carrierMode < 1 && ctx.flag1068And1192 == 0 && rec.load >= 0.0f && rec.load <= 100.0f) {
        run.Set(Param(0x7F018206), TruncToI32(static_cast<double>(rec.load) * 100.0));
    }
    run.Set(Param(0x7F018009), rec.bestIndex);
    run.Set(Param(0x7F01800A), rec.bestRate);
    run.Finish();
}

// --- 0x1069 ---

int ParseRecord1069(PacketView packet, Record1069& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        for (Entry1069& e : rec.entries) {
            t.Lsb(e.f0, 4);
            t.Lsb(e.f1, 1);
            t.Lsb(e.f2, 1);
            t.Reader().AlignToNextByte();
            for (int16_t& v : e.v) t.Lsb(v, 16);
        }
    });
}

void HandleRecord1069(DecoderContext& ctx, PacketView packet, int32_t) {
    Record1069 rec;
    ParseRecord1069(packet, rec);
    // Fields +11 and +13 are the two receive levels; zero marks a level not measured.
    int32_t p = 0;
    int32_t q1 = 0, q2 = 0;
    int32_t k1 = 0, k2 = 0;
    for (const Entry1069& e : rec.entries) {
        p += e.v[3];
        if (e.v[4] != 0) {
            q1 += e.v[4];
            ++k1;
        }
        if (e.v[5] != 0) {
            q2 += e.v[5];
            ++k2;
        }
    }
    // No receive level in either entry: the record carries no data.
    if (k1 == 0 && k2 == 0) return;
    const Entry1069& last = rec.entries[1];
    const int16_t x = last.v[2];
    const int16_t y = last.v[0];
    const int16_t z = last.v[1];
    auto clamp = [](float v, float lo, float hi) { return MaxFloat(MinFloat(v, hi), lo); };

    ParamRun run(ctx);
    if (k1 > 0) {
        const int32_t stored = Scale1000(clamp((q1 / k1) / 256.0f, -130.0f, -30.0f));
        run.Set(Param(0x7F018001), stored);
        ctx.lastValue018001 = stored;
    }
    if (k2 > 0) run.Set(Param(0x7F018002), Scale1000(clamp((q2 / k2) / 256.0f, -130.0f, -30.0f)));
    run.Set(Param(0x7F018003), Scale1000(clamp(p / 2.0f / 256.0f, -60.0f, 30.0f)));
    run.Set(Param(0x7F018004), Scale1000(clamp(x / 256.0f, -60.0f, 30.0f)));
    run.Set(Param(0x7F018005), Scale1000(clamp(y / 256.0f, -60.0f, 30.0f)));
    run.Set(Param(0x7F018006), Scale1000(clamp(z / 256.0f, -128.0f, 127.0f)));
    run.Finish();
}

// --- 0x1183 ---

int ParseRecord1183(PacketView packet, Record1183& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        for (uint8_t& b : rec.head) t.Lsb(b, 8);
        t.Lsb(rec.h5, 16);
        for (uint16_t& v : rec.h7) t.Lsb(v, 16);
        for (uint8_t& v : rec.b19) t.Lsb(v, 8);
        t.Lsb(rec.w25, 24);
        t.Lsb(rec.b29, 8);
        for (uint16_t& v : rec.h30) t.Lsb(v, 16);
    });
}

void HandleRecord1183(DecoderContext& ctx, PacketView packet, int32_t) {
    Record1183 rec;
    ParseRecord1183(packet, rec);
    ParamRun run(ctx);
    // A low byte of 255 in the field at 5 marks the record as empty.
    if ((rec.h5 & 0xFF) != 255) run.Set(Param(0x7F018010), static_cast<int32_t>(rec.w25));
    run.Finish();
}

// --- 0x1076 / 0x1077 ---

int ParseValueMessage1076(PacketView packet, ValueMessage1076& msg) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        SkipMessageHeader(t);
        t.Lsb(msg.identifier, 8);
        t.Lsb(msg.flag, 8);
        msg.value = msg.flag == 1 ? t.Lsb<uint8_t>(8) : kNoValue;
    });
}

int ParseValueMessage1077(PacketView packet, ValueMessage1077& msg) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        SkipMessageHeader(t);
        t.Reader().Skip(16);
        msg.value = t.Lsb<uint8_t>(8) >> 5;
    });
}

void HandleMessage1076(DecoderContext& ctx, PacketView packet, int32_t) {
    ParamRun run(ctx);
    PublishIdleChannelState(ctx, run);
    if (ctx.item.msgCode == 0x10761001) {
        ValueMessage1076 msg;
        ParseValueMessage1076(packet, msg);
        PublishValueMessage1076(run, msg);
    }
    ClearTrafficWhenIdle(ctx);
    run.Finish();
}

void HandleMessage1077(DecoderContext& ctx, PacketView packet, int32_t) {
    ParamRun run(ctx);
    PublishIdleChannelState(ctx, run);
    if (ctx.item.msgCode == 0x10770D00) {
        ValueMessage1077 msg;
        ParseValueMessage1077(packet, msg);
        PublishValueMessage1077(run, msg);
    }
    ClearTrafficWhenIdle(ctx);
    run.Finish();
}

}  // namespace tessavo
