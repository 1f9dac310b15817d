// Multi-carrier sector logs: 0x129C (per-carrier receive levels), 0x1295 (per-carrier serving
// sectors) and 0x12A1 (the active, candidate and neighbour sets over all carriers).
//
// 0x12A1 rebuilds the sector table and moves the reference channel to its flagged entry;
// 0x1295 publishes the serving sector per carrier and the table; 0x129C publishes the receive
// levels per carrier and keeps each carrier's level for the sector rows. The scalar handlers
// run only in multi-carrier mode.
#pragma once

#include <array>
#include <cstdint>

#include "bits/packet_view.h"

namespace tessavo {

struct DecoderContext;

inline constexpr int kMaxCarrierBlocks = 32;

// ---- 0x129C ----
struct LevelEntry129C {
    uint8_t carrier = 0;  // low 4 bits of the first byte
    uint16_t channelWord = 0;
    uint8_t b3 = 0;
    std::array<int16_t, 6> level{};  // L0 to L5, 1/256 dB(m)
};
struct Record129C {
    uint8_t version = 0, b1 = 0, b2 = 0;
    uint16_t h3 = 0, h5 = 0;
    uint8_t count = 0;  // as in the packet; at most 32 entries are read
    std::array<LevelEntry129C, kMaxCarrierBlocks> entries;
};

// ---- 0x1295 ----
inline constexpr int kMaxServingSubEntries = 32;
struct ServingSubEntry {
    uint16_t sector = 0;  // 65535 marks an unused entry
    uint32_t value2 = 0;
    uint16_t e0 = 0;
    uint8_t flags = 0;  // bit 0 selected (serving), bits 1, 2 and 4-7 as published
    uint8_t b9 = 0;
    uint16_t e1 = 0, e2 = 0;
    uint32_t value14 = 0, value18 = 0;
};
struct ServingBlock {
    uint8_t carrier = 0;
    uint16_t channelWord = 0;
    uint8_t b3 = 0;
    uint8_t count = 0;       // as in the packet; at most 32 sub-entries are read (version 1 only)
    int subEntriesRead = 0;  // those the payload holds
    std::array<ServingSubEntry, kMaxServingSubEntries> subEntries;
};
struct Record1295 {
    uint8_t version = 0, b1 = 0;
    uint32_t w2 = 0;
    uint16_t h6 = 0;
    uint8_t b8 = 0, b9 = 0;
    uint8_t count = 0;   // as in the packet; at most 32 blocks are read
    int blocksRead = 0;  // those the payload holds
    std::array<ServingBlock, kMaxCarrierBlocks> blocks;
};

// ---- 0x12A1 ----
inline constexpr int kMaxSetEntries = 256;
// Fields common to the three sets; the bytes after the channel word differ per set.
struct SetEntry12A1 {
    uint16_t sector = 0;
    uint16_t e1 = 0, e2 = 0;  // strengths, 1/512 units
    uint8_t b6 = 0;
    uint16_t channelWord = 0;
    std::array<uint8_t, 10> tail{};  // the set's bytes from entry offset 9 on
};
struct Record12A1 {
    uint8_t version = 0, b1 = 0, b2 = 0, countA = 0, b4 = 0;
    uint16_t h5 = 0;
    uint8_t countB = 0, b8 = 0, countC = 0, b10 = 0;
    uint16_t h11 = 0;
    int readA = 0, readB = 0, readC = 0;  // entries of each set the payload holds
    std::array<SetEntry12A1, kMaxSetEntries> setA, setB, setC;
};

int Parse129C(PacketView packet, Record129C& rec);
int Parse1295(PacketView packet, Record1295& rec);
int Parse12A1(PacketView packet, Record12A1& rec);

void HandleCarrierLevels129C(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleServingSectorsParams1295(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleServingSectorsStruct1295(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleSectorSetsParams12A1(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleSectorSetsStruct12A1(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo
