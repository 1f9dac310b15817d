// What the second-range decoders share: the carrier mode test, the per-carrier parameter IDs,
// the channel word, the record reset and the field reads of the byte-order parsers.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "bits/bit_reader.h"
#include "decoders/decoder_context.h"
#include "params/param_table.h"

namespace tessavo {

// Carrier mode 2 is multi-carrier operation; the single-carrier handlers run in every other
// mode, including before the first carrier-mode log.
inline constexpr int32_t kMultiCarrierMode = 2;
inline bool IsMultiCarrier(const DecoderContext& ctx) {
    return ctx.carrierMode == kMultiCarrierMode;
}

// The IDs of a value published per carrier: 0x7F019xxx, 0x7F01Axxx and 0x7F01Bxxx for carriers
// 0, 1 and 2, where `low` is the ID's low 12 bits (0x502 for 0x7F019502 and its siblings).
using CarrierIds = std::array<ParamRef, kCarrierCount>;
consteval CarrierIds PerCarrier(uint32_t low) {
    return {Param(0x7F019000 | low), Param(0x7F01A000 | low), Param(0x7F01B000 | low)};
}
// Whether a carrier index names one of the three carriers.
inline bool IsCarrier(uint32_t index) {
    return index < kCarrierCount;
}

// Values of the reference sector and channel, published by the sector decoders of both air
// interface modes.
namespace sector_param {
inline constexpr ParamRef kBestLevel = Param(0x7F018007);      // dB, best serving sector
inline constexpr ParamRef kBestLevelCopy = Param(0x7F018008);  // the same value again
inline constexpr ParamRef kFlaggedCount = Param(0x7F01800C);   // serving sectors, at most 6
inline constexpr ParamRef kRefChannel = Param(0x7F01800D);     // the reference value
inline constexpr ParamRef kRefBand = Param(0x7F01800E);
inline constexpr ParamRef kRefSector = Param(0x7F01800F);
}  // namespace sector_param

// The channel word of the multi-carrier logs: an 11-bit channel number in the low bits and a
// 5-bit field (band class) in the high bits.
inline int32_t ChannelOf(uint16_t word) {
    return word & 0x7FF;
}
inline int32_t BandOf(uint16_t word) {
    return word >> 11;
}

// Sets a parse record to zero before the parser fills it (records of large logs live in the
// context, so they are reset in place rather than built anew).
template <typename Record>
void ZeroRecord(Record& rec) {
    static_assert(std::is_trivially_copyable_v<Record>);
    std::memset(static_cast<void*>(&rec), 0, sizeof rec);
}

// Byte-order field reads: `bytes` whole bytes LSB-first through the field temporaries.
template <typename T>
T ReadLe(FieldTemps& t) {
    return t.Lsb<T>(8 * static_cast<int64_t>(sizeof(T)));
}
// Fields the handlers do not use: read all the same (a short payload then leaves the same
// temporaries behind as a full parse would), values dropped.
template <typename... T>
void ReadUnused(FieldTemps& t) {
    (static_cast<void>(ReadLe<T>(t)), ...);
}

}  // namespace tessavo
