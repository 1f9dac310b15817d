// Records published both as one structured parameter and as scalars: log codes 0x1060,
// 0x106C, 0x106E, 0x1071, and the status response of command 0x63 (also wrapped in log
// code 0x3063).
//
// The parsers read the log record LSB-first. The structured handler writes the blob first and
// then the same fields as scalars (scale 1, unconditional).
//
// Serves both air interfaces: 0x106E and 0x1071 (connection attempt and release) belong to
// EV-DO; the file stays here with the 1x records and the status response.
#pragma once

#include <array>
#include <cstdint>

#include "bits/packet_view.h"

namespace tessavo {

struct DecoderContext;

// 0x1060.
struct Record1060 {
    uint8_t b0 = 0, b1 = 0, b2 = 0;
    uint32_t w3 = 0, w7 = 0;
    uint8_t b11 = 0, b12 = 0, b13 = 0, b14 = 0;
};

// 0x106C: three 32-bit counters and a byte list whose length is byte 3.
struct Record106C {
    std::array<uint8_t, 5> head{};
    uint16_t h5 = 0;
    uint32_t w7 = 0, w11 = 0, w15 = 0;
    uint16_t h19 = 0;
    uint8_t b21 = 0, b22 = 0, b23 = 0;
    std::array<uint8_t, 256> list{};
};

// 0x106E.
struct Record106E {
    uint8_t b0 = 0, b1 = 0, b2 = 0;
    uint16_t h3 = 0;
    uint32_t w5 = 0, w9 = 0, w13 = 0;
    uint16_t h17 = 0, h19 = 0;
    uint8_t b21 = 0, b22 = 0, b23 = 0;
};

// 0x1071: one byte.
struct Record1071 {
    uint8_t value = 0;
};

// Command 0x63 status response: the subscriber identity and the channel in use.
struct StatusRecord {
    uint32_t esn = 0;    // record 0
    uint64_t imsiS = 0;  // record 28: the 34-bit IMSI_S as sent
    uint8_t mnc = 0;     // record 36: two-digit code, decoded
    uint16_t mcc = 0;    // record 37: country code, decoded
    uint16_t f39 = 0, f41 = 0;
    uint8_t f44 = 0;       // published as 0x7F010016
    uint16_t channel = 0;  // record 47
    uint16_t f49 = 0;
    uint64_t subscriber = 0;  // the 10-digit number from imsiS
    uint64_t imsi = 0;        // country code x 10^12 + two-digit code x 10^10 + subscriber
};

// The smallest command 0x63 packet that carries a status response (check bytes included).
inline constexpr int32_t kStatusMinLength = 39;

int ParseRecord1060(PacketView packet, Record1060& rec);
int ParseRecord106C(PacketView packet, Record106C& rec);
int ParseRecord106E(PacketView packet, Record106E& rec);
int ParseRecord1071(PacketView packet, Record1071& rec);
// `packet` is the command packet: byte 0x63, then the response, check bytes and terminator.
// Leaves the record zero unless the packet starts with 0x63 and is long enough.
int ParseStatusRecord(PacketView packet, StatusRecord& rec);

// Structured handlers (they write the scalars too).
void HandleRecord1060(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleRecord106C(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleRecord106E(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleRecord1071(DecoderContext& ctx, PacketView packet, int32_t extra);

// Command 0x63 / log code 0x3063, on the command packet layout.
void HandleStatusParams(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleStatusStruct(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo
