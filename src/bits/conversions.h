// Fixed conversions from raw packet fields to physical values, and the one float-to-integer
// truncation every stored value goes through.
//
// Results are double unless a function says otherwise. Functions documented as single
// precision keep every intermediate in float, the way the values are defined; the build
// forbids FMA contraction so these steps round exactly as written.
#pragma once

#include <cstdint>

namespace tessavo {

// ---- Float to stored integer ----

// Truncation toward zero. NaN, infinities and values outside the int32 range give INT32_MIN
// (what the hardware conversion yields), without undefined behaviour.
int32_t TruncToI32(double v);

// Value stored with scale 1000: v * 1000 truncated.
int32_t Scale1000(double v);
// Single-precision field: the product is formed in float.
int32_t Scale1000(float v);
// Value stored with scale 100, rounded to the nearest hundredth for v >= 0: v * 100 + 0.5
// truncated (a negative value therefore moves toward zero after the 0.5 is added).
int32_t Scale100Round(double v);
// Single-precision field: v * 100 + 0.5 is formed in float.
int32_t Scale100Round(float v);

// ---- Power and ratio conversions (dB and dBm) ----

// Receive AGC byte to dBm; a value below 128 is taken as the negative two's-complement byte.
double ConvertRxAgc(int32_t v);
// Gain adjust in half-dB steps, negated: -x / 2.
double ConvertNegHalf(int16_t x);
// Transmit power in thirds of a dB: x / 3 - 52.25.
double ConvertTxThird(int32_t x);
// 10 log10(min(x, 255)) - 24.6; x = 0 gives the float constant -24.6 widened.
double ConvertLog255(uint16_t x);
// 10 log10(x) - 48.7 without an upper clamp; x = 0 gives the float constant -24.6 widened
// (not -48.7).
double ConvertLog48(uint16_t x);
// 10 log10(x / 512); x < 1 gives the no-value mark -9999.0.
double ConvertLog512(int32_t x);
// Share of a signal in signal plus interference, in dB, for a signal-to-interference ratio x
// in dB: -10 log10(1 + 10^(-x/10)). Single precision throughout: 0 dB gives about -3.0103.
float ConvertSinrShare(float x);

// ---- TIA/EIA-95 digit decodings ----
// A 3-digit code is sent as 100 D1 + 10 D2 + D3 - 111 with digits 1..10 (10 for 0); a 2-digit
// code as 10 D1 + D2 - 11.

// Three-digit code (MCC) from V = E + 111, the caller having added the 111.
int32_t DecodeMcc(uint16_t v);
// Two-digit code (MNC) from V = E + 11, the caller having added the 11.
uint8_t DecodeMnc(uint8_t v);
// Three-digit code from the sent value E (10 bits); adds the 111 itself.
uint32_t DecodeThreeDigits(uint32_t e);
// The 10-digit number of a 34-bit IMSI_S.
uint64_t DecodeImsiS(uint64_t imsiS);

// ---- Index tables ----

// Forward-link data rate in bits per second of a 1xEV-DO DRC index; 0 for unknown indexes.
int32_t DrcIndexToRate(int8_t index);
// Packet size in bits of a packet-size index; 0 for unknown indexes.
int32_t PacketSizeIndexToBits(int32_t index);
// Value of parameter 0x7F010015 for a pair of codes; -9999 for pairs without a value.
int32_t MapCodePair(uint8_t a, uint8_t b);

// ---- Byte order and limits ----

uint16_t SwapBytes16(uint16_t v);
uint32_t SwapBytes32(uint32_t v);
int32_t MinInt(int32_t a, int32_t b);
int32_t MaxInt(int32_t a, int32_t b);
// b when a >= b, else a (so a NaN in a is returned, a NaN in b is not).
float MinFloat(float a, float b);
// b when a <= b, else a.
float MaxFloat(float a, float b);

}  // namespace tessavo
