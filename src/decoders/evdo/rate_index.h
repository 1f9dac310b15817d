// Rate-index and flag-word logs: 0x1296 (per carrier, the highest requested forward rate),
// 0x1282 (single carrier) and 0x1298 (multi-carrier), which publish two small fields of a flag
// word and copy the word's bits into a blob.
#pragma once

#include <array>
#include <cstdint>

#include "bits/packet_view.h"

namespace tessavo {

struct DecoderContext;

inline constexpr int kMaxRateBlocks = 32;
inline constexpr int kRateBytes = 16;

// ---- 0x1296 ----
struct RateBlock1296 {
    uint8_t carrier = 0;  // low 4 bits of the block's first byte
    uint16_t channelWord = 0;
    std::array<uint8_t, kRateBytes> rateBytes{};  // two rate indexes each, high nibble first
};
struct Record1296 {
    uint8_t version = 0;
    uint8_t count = 0;  // as in the packet; at most 32 blocks are read (version 1 only)
    uint8_t b2 = 0, b3 = 0;
    int blocksRead = 0;  // those the payload holds
    std::array<RateBlock1296, kMaxRateBlocks> blocks;
};

// ---- 0x1298 ----
inline constexpr int kFlagGroups = 16;
struct FlagBlock1298 {
    uint8_t carrier = 0;
    uint16_t channelWord = 0;
    uint16_t h3 = 0;
    std::array<std::array<uint8_t, 4>, kFlagGroups> groups{};
    uint16_t flagWord = 0;
    uint8_t b71 = 0;
};
struct Record1298 {
    uint8_t b0 = 0;
    uint8_t count = 0;  // as in the packet; at most 32 blocks are read
    uint8_t b2 = 0;
    int blocksRead = 0;  // those the payload holds
    std::array<FlagBlock1298, kMaxRateBlocks> blocks;
};

// ---- 0x1282 ----
inline constexpr int kFlagElements = 16;
struct FlagBlock1282 {
    std::array<uint16_t, kFlagElements> elements{};
    uint8_t b32 = 0;
    uint16_t flagWord = 0;
    uint8_t b35 = 0;
    std::array<uint8_t, 16> bytes36{};
    uint32_t w52 = 0;
};
struct Record1282 {
    uint8_t version = 0;
    std::array<FlagBlock1282, 2> blocks{};  // read only for version 0
};

int Parse1296(PacketView packet, Record1296& rec);
int Parse1298(PacketView packet, Record1298& rec);
int Parse1282(PacketView packet, Record1282& rec);

void HandleRateIndex1296(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleFlagWordParams1298(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleFlagWordStruct1298(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleFlagWordParams1282(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleFlagWordStruct1282(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo
