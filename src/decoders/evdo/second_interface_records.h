// Short records of the second air interface: log codes 0x107A, 0x1080 and 0x1088.
#pragma once

#include <array>
#include <cstdint>

#include "bits/packet_view.h"

namespace tessavo {

struct DecoderContext;

// 0x107A: three lists of groups; only the length of the first is published.
inline constexpr int kMaxGroups107A = 255;
struct EntryA107A {
    uint16_t f0 = 0, f2 = 0;
    uint8_t f4 = 0, f5 = 0;  // 4 bits each
    uint16_t f6 = 0;
};
struct EntryB107A {
    uint16_t f0 = 0, f2 = 0, f4 = 0;
};
struct EntryD107A {
    std::array<uint16_t, 5> f{};
};
struct Record107A {
    uint8_t b0 = 0;
    uint8_t countA = 0;
    uint8_t b2 = 0;
    uint16_t h3 = 0;
    uint8_t b5 = 0;
    uint8_t countB = 0;
    uint8_t b7 = 0;
    uint8_t countD = 0;
    uint16_t h9 = 0;
    std::array<EntryA107A, kMaxGroups107A> groupsA{};
    std::array<EntryB107A, kMaxGroups107A> groupsB{};
    std::array<EntryD107A, kMaxGroups107A> groupsD{};
};

// 0x1080: a 16-byte sector identity, two bytes and the sector number.
struct Record1080 {
    std::array<uint8_t, 16> sectorId{};
    uint8_t b16 = 0, b17 = 0;
    uint16_t sector = 0;  // record 18
};

// 0x1088.
struct Record1088 {
    uint8_t b0 = 0, b1 = 0;
    uint32_t w2 = 0;
    uint16_t h6 = 0;
    uint32_t w8 = 0, w12 = 0, w16 = 0;
    uint16_t h20 = 0;
    uint8_t b22 = 0, b23 = 0, b24 = 0;
};

int ParseRecord107A(PacketView packet, Record107A& rec);
int ParseRecord1080(PacketView packet, Record1080& rec);
int ParseRecord1088(PacketView packet, Record1088& rec);

void HandleRecord107A(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleRecord1080Params(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleRecord1080Struct(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleRecord1088(DecoderContext& ctx, PacketView packet, int32_t extra);  // structured

}  // namespace tessavo
