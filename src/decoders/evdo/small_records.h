// Short records that publish a few parameters each: log codes 0x1013, 0x1014, 0x105F, 0x1064,
// 0x1068, 0x1069, 0x1183, and the second interface's over-the-air messages 0x1076 and 0x1077.
//
// All are read LSB-first from the payload. The message parsers of 0x1076 / 0x1077 are shared
// with the second-interface signalling decoders (0x1078, 0x1079, 0x107C), which carry the
// same messages.
//
// Serves both air interfaces: 0x1013 and 0x1014 belong to 1x; the file stays here with the
// EV-DO codes, which are most of its codes.
#pragma once

#include <array>
#include <cstdint>

#include "bits/packet_view.h"

namespace tessavo {

struct DecoderContext;
class ParamRun;

// 0x1013: ten bytes.
struct Record1013 {
    std::array<uint8_t, 10> bytes{};
};

// 0x1014: a position given as decimal text fields, degrees x 100000. The first field is nine
// characters wide and the second eight: longitude needs the extra digit (up to 180 degrees).
struct PositionRecord {
    double longitude = 0;  // text / 100000
    double latitude = 0;   // text / 100000
    int32_t field16 = 0;   // text, truncated
    int32_t field20 = 0;   // text, truncated
    uint8_t b24 = 0, b25 = 0;
};

// 0x105F.
struct Record105F {
    uint8_t b0 = 0;
    uint16_t h1 = 0;
    uint8_t b3 = 0, b4 = 0;
    uint16_t h5 = 0, h7 = 0;
    uint8_t b9 = 0, b10 = 0;
    uint16_t h11 = 0;
};

// 0x1064: up to 32 entries of 18 bytes.
struct Entry1064 {
    uint16_t f0 = 0;
    uint32_t f2 = 0;  // 18 bits
    uint16_t f6 = 0;
    uint8_t f8 = 0, f9 = 0, f10 = 0, f11 = 0, f12 = 0, f13 = 0;
    uint16_t f14 = 0, f16 = 0;
};
inline constexpr int kMaxEntries1064 = 32;
struct Record1064 {
    uint32_t w0 = 0;
    uint16_t h4 = 0, h6 = 0;
    uint8_t count = 0;  // entries stored, at most 32
    std::array<Entry1064, kMaxEntries1064> entries{};
};

// 0x1068: two blocks of rate and load fields.
struct RateBlock1068 {
    std::array<uint8_t, 8> rateBytes{};  // each nibble a rate index
    std::array<uint16_t, 16> h8{};
    uint8_t b40 = 0;
    std::array<uint16_t, 6> h41{}, h53{}, h65{};
    uint16_t load = 0;  // +77: load in units of 1/16384
    uint16_t h79 = 0, h81 = 0;
    std::array<uint8_t, 6> b83{};
};
struct Record1068 {
    std::array<RateBlock1068, 2> blocks{};
    float load = 0;         // percent, from the last block
    int32_t bestIndex = 0;  // rate index of the largest rate
    int32_t bestRate = 0;   // bit/s
};

// 0x1069: two entries of signed 16-bit levels (units of 1/256).
struct Entry1069 {
    uint8_t f0 = 0, f1 = 0, f2 = 0;
    std::array<int16_t, 6> v{};  // record +3, +5, +7, +9, +11, +13
};
struct Record1069 {
    std::array<Entry1069, 2> entries{};
};

// 0x1183.
struct Record1183 {
    std::array<uint8_t, 5> head{};
    uint16_t h5 = 0;
    std::array<uint16_t, 6> h7{};
    std::array<uint8_t, 6> b19{};
    uint32_t w25 = 0;  // 24 bits
    uint8_t b29 = 0;
    std::array<uint16_t, 4> h30{};
};

// The two over-the-air messages of the second interface that carry a parameter. Both follow an
// 11-byte message header (8, 16, 16, 16, 8, 8, 8, 8 bits).
struct ValueMessage1076 {
    uint8_t identifier = 0;  // low 7 bits must be 16
    uint8_t flag = 0;
    int32_t value = 0;  // no-value mark when the flag is not 1
};
struct ValueMessage1077 {
    int32_t value = 0;  // top 3 bits of the byte after the 16 skipped bits
};

int ParseRecord1013(PacketView packet, Record1013& rec);
int ParsePosition(PacketView packet, PositionRecord& rec);
int ParseRecord105F(PacketView packet, Record105F& rec);
int ParseRecord1064(PacketView packet, Record1064& rec);
int ParseRecord1068(PacketView packet, Record1068& rec);
int ParseRecord1069(PacketView packet, Record1069& rec);
int ParseRecord1183(PacketView packet, Record1183& rec);
int ParseValueMessage1076(PacketView packet, ValueMessage1076& msg);
int ParseValueMessage1077(PacketView packet, ValueMessage1077& msg);

// The shared steps of the second interface's message decoders: bring the channel state to 0
// (idle) and publish it with 0x7F010014 = 1; then, after the message, clear the traffic-only
// parameters while idle.
void PublishIdleChannelState(DecoderContext& ctx, ParamRun& run);
void ClearTrafficWhenIdle(DecoderContext& ctx);
// Publishes the message's parameter (0x7F018012 / 0x7F018011) when known.
void PublishValueMessage1076(ParamRun& run, const ValueMessage1076& msg);
void PublishValueMessage1077(ParamRun& run, const ValueMessage1077& msg);

void HandleRecord1013(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandlePosition(DecoderContext& ctx, PacketView packet, int32_t extra);  // structured
void HandleRecord105F(DecoderContext& ctx, PacketView packet, int32_t extra);
void ParseOnly1064(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleRecord1068(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleRecord1069(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleRecord1183(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleMessage1076(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleMessage1077(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo
