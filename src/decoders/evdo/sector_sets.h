// Single-carrier sector logs of the second air interface: 0x108B (the three sector sets and
// the channel in use) and 0x108A (per-sector strengths).
//
// Both feed the sector table that the multi-carrier logs share. 0x108B publishes the reference
// channel and rebuilds the table; 0x108A adds the sectors it measures and publishes the
// reference sector and the best level. The param handlers do nothing in multi-carrier mode;
// the structured handlers run in every mode.
#pragma once

#include <array>
#include <cstdint>

#include "bits/packet_view.h"

namespace tessavo {

struct DecoderContext;

// ---- 0x108A ----
inline constexpr int kMaxStrengthEntries = 12;
inline constexpr uint16_t kUnusedSectorWord = 0xFFFF;

struct StrengthEntry108A {
    uint16_t sectorWord = 0;  // low 9 bits: sector number
    uint16_t strength = 0;    // E, summed as signed 16 per sector
    uint16_t levelA = 0;      // low 16 bits of trunc(ConvertLog512(a) x 1000)
    uint16_t levelB = 0;      // the same for b
    uint32_t field18 = 0;
    uint8_t threeBitsA = 0, threeBitsB = 0, fourBits = 0;
    std::array<uint8_t, 3> bits{};  // the three 1-bit fields, in reverse reading order
};
struct Record108A {
    uint8_t b0 = 0;
    uint32_t w4 = 0;
    uint16_t h8 = 0, h10 = 0;
    uint8_t count = 0;  // stored entries, at most 12
    std::array<StrengthEntry108A, kMaxStrengthEntries> entries{};
};
// The record in its published form (0x7F0107D7).
inline constexpr size_t kRecord108ASize = 229;
void StoreRecord108A(uint8_t* out, const Record108A& rec);

// ---- 0x108B ----
inline constexpr int kStoredSet1 = 8, kStoredSet2 = 8, kStoredSet3 = 48;

struct ActiveEntry108B {
    uint16_t sector = 0, strength = 0;
    uint8_t f4 = 0, f5 = 0, f6 = 0, f7 = 0, f8 = 0, f9 = 0, f10 = 0, f11 = 0;
    uint16_t f12 = 0;
};
struct CandidateEntry108B {
    uint16_t sector = 0, strength = 0, channel = 0;
    uint8_t f6 = 0, f7 = 0, f8 = 0, f9 = 0, f10 = 0;
    uint16_t f11 = 0;
};
struct NeighbourEntry108B {
    uint16_t sector = 0, strength = 0, channel = 0;
    uint8_t f6 = 0;
    uint16_t f7 = 0;
    uint8_t f9 = 0, f10 = 0, f11 = 0;
};
struct Record108B {
    uint8_t b0 = 0, count1 = 0, b2 = 0;
    uint16_t channel = 0;
    uint8_t band = 0, b6 = 0, count2 = 0, b8 = 0, count3 = 0;
    uint16_t h10 = 0;
    int read1 = 0, read2 = 0, read3 = 0;  // entries of each set the payload holds
    // Only the first places are stored; later places read as zero entries.
    std::array<ActiveEntry108B, kStoredSet1> set1{};
    std::array<CandidateEntry108B, kStoredSet2> set2{};
    std::array<NeighbourEntry108B, kStoredSet3> set3{};
};

int Parse108A(PacketView packet, Record108A& rec);
int Parse108B(PacketView packet, Record108B& rec);

void HandleSectorStrengthParams108A(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleSectorStrengthStruct108A(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleSectorSetsParams108B(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleSectorSetsStruct108B(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo
