// Pieces shared by the EV-DO packet statistics decoders (forward: 0x12A2, 0x1192, 0x1193;
// reverse: 0x127E, 0x129F): per-carrier parameter IDs, the split of the context's rate history,
// the payload view of a fixed-layout record and the published limits.
#pragma once

#include <array>
#include <cstdint>

#include "bits/conversions.h"
#include "bits/packet_view.h"
#include "params/param_table.h"

namespace tessavo {

// A multi-carrier set has at most three carriers, indexes 0 to 2.
inline constexpr int kMaxCarriers = 3;

// The three per-carrier IDs of a carrier-independent ID 0x7F018xxx: the third hex digit 9, A
// and B names carriers 0, 1 and 2.
consteval std::array<ParamRef, kMaxCarriers> CarrierParams(uint32_t independentId) {
    if ((independentId & 0xFFFFF000u) != 0x7F018000u) throw "not a carrier-independent ID";
    return {Param(independentId + 0x1000), Param(independentId + 0x2000),
            Param(independentId + 0x3000)};
}

// The context's rate history (21 doubles) is split without overlap: the multi-carrier forward
// statistics keep four rates per carrier, the multi-carrier reverse statistics two.
inline constexpr int kForwardRateSlot0 = 0;  // 12 slots, rate kind x carrier
inline constexpr int kForwardRateSlots = 4 * kMaxCarriers;
inline constexpr int kReverseRateSlot0 = kForwardRateSlot0 + kForwardRateSlots;  // 6 slots
inline constexpr int kReverseRateSlots = 2 * kMaxCarriers;

// Highest forward or reverse rate published (bit/s) and highest share (percent x 100).
inline constexpr float kMaxPublishedRate = 9760000.0f;
inline constexpr float kMaxPublishedShare = 10000.0f;

inline float ClampRate(float v) {
    return MaxFloat(0.0f, MinFloat(v, kMaxPublishedRate));
}
inline float ClampShare(float v) {
    return MaxFloat(0.0f, MinFloat(v, kMaxPublishedShare));
}

// The log record's payload alone: packet byte 16 up to the check bytes. A fixed-layout field
// beyond it reads as 0, never as a check byte or the terminator.
inline PacketView LogPayload(PacketView packet) {
    const int32_t n = packet.Length() - kLogOffsetPayload - kPacketTrailer;
    if (packet.Data() == nullptr || n <= 0) return PacketView{};
    return PacketView(packet.Data() + kLogOffsetPayload, n);
}

}  // namespace tessavo
