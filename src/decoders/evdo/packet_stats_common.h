// Pieces shared by the EV-DO packet statistics decoders (forward: 0x12A2, 0x1192, 0x1193;
// reverse: 0x127E, 0x129F): the split of the context's rate history, the payload view of a
// fixed-layout record, the record reset and the published limits.
#pragma once

#include <array>
#include <cstdint>

#include "bits/conversions.h"
#include "bits/packet_view.h"
#include "decoders/evdo/sector_table.h"

namespace tessavo {

// The context's rate history (21 doubles) is split without overlap: the multi-carrier forward
// statistics keep four rates per carrier, the multi-carrier reverse statistics two.
inline constexpr int kForwardRateSlot0 = 0;  // 12 slots, rate kind x carrier
inline constexpr int kForwardRateSlots = 4 * kCarrierCount;
inline constexpr int kReverseRateSlot0 = kForwardRateSlot0 + kForwardRateSlots;  // 6 slots
inline constexpr int kReverseRateSlots = 2 * kCarrierCount;

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

// The header the multi-carrier statistics logs (0x12A2, 0x129F) share: a first byte, the time,
// the carrier count, the carrier index (low 4 bits) and the channel word, split into the 11-bit
// channel and the band bits above it.
template <typename Record>
void ReadCarrierHeader(const PacketView& payload, Record& rec) {
    rec.first = payload.U8(0);
    rec.time = payload.U32(1);
    rec.carrierCount = payload.U8(5);
    rec.carrierIndex = payload.U8(6) & 0x0F;
    const uint16_t channel = payload.U16(7);
    rec.fieldA = channel & 0x07FF;
    rec.fieldB = static_cast<uint16_t>(channel >> 11);
}

}  // namespace tessavo
