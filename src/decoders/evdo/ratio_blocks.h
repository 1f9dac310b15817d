// Parameter block 0x7F0185xx: ratio, flag and per-entry logs of the forward link.
//
// Three pairs of a single-carrier log and its multi-carrier sibling: 0x127D / 0x129D (power
// ratios in dB and the largest packet size), 0x1280 / 0x129A (a flag bit and a quarter value),
// 0x127F / 0x1299 (five per-entry values and a normalised value). The single-carrier handlers
// run while the carrier mode is not 2 and publish 0x7F0185xx; the multi-carrier handlers run in
// mode 2 and publish per carrier (0x7F0195xx, 0x7F01A5xx, 0x7F01B5xx) and, for the block on the
// reference channel, 0x7F0185xx.
#pragma once

#include <array>
#include <cstdint>

#include "bits/packet_view.h"
#include "params/param_table.h"

namespace tessavo {

struct DecoderContext;

// Carrier-independent IDs of the block, also published by the alternate range's single-entry
// logs (0x9280, 0x927D).
inline constexpr ParamRef kFlagBitAny = Param(0x7F018501);
inline constexpr ParamRef kQuarterAny = Param(0x7F018507);
inline constexpr ParamRef kPacketBitsAny = Param(0x7F018509);
// The five ratios: counter U[num] over U[kRatioDen], in dB.
struct RatioSource {
    int num;
    ParamRef any;
};
inline constexpr int kRatioDen = 2;
inline constexpr RatioSource kRatioSources[] = {
    {5, Param(0x7F018502)}, {3, Param(0x7F018503)}, {4, Param(0x7F018504)},
    {6, Param(0x7F018505)}, {7, Param(0x7F018506)},
};

// 20 log10(ratio) in dB, rounded to single precision and kept within [-16, 30] (a ratio of 0
// gives -16).
float ClampedDb(double ratio);
// 20 log10(a / b) clamped as above; false when a counter is 0.
bool RatioDb(uint16_t a, uint16_t b, float& db);

inline constexpr int kMaxRatioEntries127D = 256;
inline constexpr int kMaxRatioBlocks = 32;
inline constexpr int kMaxRatioSubEntries = 32;
inline constexpr int kMaxEntries127F = 5;

// One ratio entry of 0x127D / sub-entry of 0x129D: three bytes of small fields, then the
// thirteen 16-bit counters U0 to U12 whose ratios are published.
struct RatioEntry {
    uint8_t b0 = 0;
    uint8_t sizeIndex = 0;  // packet-size index, low 4 bits of the second byte
    uint8_t b1High = 0;     // the second byte's high nibble
    uint8_t b2 = 0;
    std::array<uint16_t, 13> u{};
};

struct Record127D {
    uint8_t version = 0;
    uint8_t count = 0;
    std::array<RatioEntry, kMaxRatioEntries127D> entries;
};

struct RatioBlock129D {
    uint8_t carrier = 0;  // low 4 bits of the block's first byte
    uint16_t channelWord = 0;
    int subEntriesRead = 0;  // those the payload holds, at most the clamped entry count
    std::array<RatioEntry, kMaxRatioSubEntries> subEntries;
};
struct Record129D {
    uint8_t version = 0;
    uint8_t entryCount = 0;  // as in the packet; at most 32 are read
    uint8_t blockCount = 0;  // as in the packet; at most 32 are read
    int blocksRead = 0;      // those the payload holds
    std::array<RatioBlock129D, kMaxRatioBlocks> blocks;
};

struct Record1280 {
    uint8_t version = 0, b1 = 0;
    uint16_t flags = 0;    // twelve one-bit flags
    uint8_t b4 = 0;        // bit 4: the flag bit
    uint16_t quarter = 0;  // quarter value: published / 4
    uint16_t h7 = 0;
    uint8_t count = 0;
};

struct QuarterBlock129A {
    uint8_t carrier = 0;
    uint16_t channel = 0;
    uint16_t quarter = 0;  // 65535: no value
    uint8_t flagByte = 0;  // bit 4: the flag bit
};
struct Record129A {
    std::array<uint8_t, 6> head{};  // byte 2: block count, byte 3: entries per block
    int blocksRead = 0;             // those the payload holds
    std::array<QuarterBlock129A, kMaxRatioBlocks> blocks;
};

struct Record127F {
    uint8_t version = 0;
    int16_t norm = 0;   // normalised value x 32767
    uint8_t count = 0;  // as in the packet; at most 5 entries are read
    std::array<int8_t, kMaxEntries127F> entryValues{};
};

struct NormBlock1299 {
    uint8_t carrier = 0;
    uint16_t channel = 0;
    int16_t norm = 0;
    int entriesRead = 0;  // sub-entries the payload holds
    std::array<int8_t, kMaxRatioSubEntries> entryValues{};
};
struct Record1299 {
    std::array<uint8_t, 4> head{};  // byte 0 version, 2 block count, 3 entries per block
    int blocksRead = 0;             // those the payload holds
    std::array<NormBlock1299, kMaxRatioBlocks> blocks;
};

int Parse127D(PacketView packet, Record127D& rec);
int Parse129D(PacketView packet, Record129D& rec);
int Parse1280(PacketView packet, Record1280& rec);
int Parse129A(PacketView packet, Record129A& rec);
int Parse127F(PacketView packet, Record127F& rec);
int Parse1299(PacketView packet, Record1299& rec);

void HandleRatios127D(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleRatios129D(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleQuarter1280(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleQuarter129A(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleEntryValues127F(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleEntryValues1299(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo
