// Parameter block 0x7F0185xx (0x127D, 0x129D, 0x1280, 0x129A, 0x127F, 0x1299), the rate-index
// and flag-word logs (0x1296, 0x1298, 0x1282) and the alternate-range 0x9068, 0x9280, 0x927D.
#include <gtest/gtest.h>

#include <array>

#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

constexpr int32_t kReference = 100;

// A ratio entry: `head` (the size index in the low nibble of its next-to-last byte), U0 to U12.
Bytes Ratio(const Bytes& head, std::initializer_list<std::pair<int, uint16_t>> u) {
    std::array<uint16_t, 13> values{};
    for (const auto& [i, v] : u) values[static_cast<size_t>(i)] = v;
    Bytes b = head;
    for (uint16_t v : values) PutU16(b, v);
    return b;
}
// 29-byte sub-entries, each value in its byte +10.
Bytes ValueEntries(std::initializer_list<int> values) {
    Bytes b;
    for (int v : values) b = Concat({b, Zeros(10), {static_cast<uint8_t>(v)}, Zeros(18)});
    return b;
}
// The normalised value at `first` + 5, then entry values `base` .. `base` + 4 from `first`.
std::vector<int64_t> EntryValues(uint32_t first, int32_t normalised, int32_t base) {
    std::vector<int64_t> r = {first + 5, normalised};
    for (uint32_t i = 0; i < 5; ++i) r.insert(r.end(), {first + i, base + static_cast<int32_t>(i)});
    return r;
}
std::vector<int64_t> Joined(std::initializer_list<std::vector<int64_t>> parts) {
    std::vector<int64_t> r;
    for (const auto& p : parts) r.insert(r.end(), p.begin(), p.end());
    return r;
}

// 0x129D carrier block: carrier byte, channel word, one ratio sub-entry.
Bytes Block129D(uint8_t carrier, uint16_t word, const Bytes& sub) {
    return Concat({{carrier}, U16s({word}), sub});
}
// 0x129A carrier block: carrier, channel, 5 bytes, quarter, u16, flag byte, one 21-byte entry.
Bytes Block129A(uint8_t carrier, uint16_t channel, uint16_t quarter, uint8_t flagByte) {
    return Concat(
        {{carrier}, U16s({channel}), Zeros(5), U16s({quarter, 0}), {flagByte}, Zeros(21)});
}
// 0x1299 carrier block with six sub-entries whose values are base + 0..5.
Bytes Block1299(uint8_t carrier, uint16_t channel, int16_t norm, int8_t base) {
    return Concat({Bytes{carrier}, U16s({channel}), Zeros(13), U16s({static_cast<uint16_t>(norm)}),
                   ValueEntries({base, base + 1, base + 2, base + 3, base + 4, base + 5})});
}
// 0x1296 carrier block: carrier, channel word, 16 (rate byte, u32) pairs, 55 more bytes.
Bytes Block1296(uint8_t carrier, uint16_t word, std::initializer_list<uint8_t> rates) {
    Bytes b = Concat({{carrier}, U16s({word})});
    auto it = rates.begin();
    for (int i = 0; i < 16; ++i)
        b = Concat({b, {it != rates.end() ? *it++ : uint8_t{0xFF}}, Zeros(4)});
    return Concat({b, Zeros(49)});
}
// 0x1298 carrier block: the first byte of the last group holds the fields; then the flag word.
Bytes Block1298(uint8_t carrier, uint16_t word, uint8_t lastGroupByte, uint16_t flagWord) {
    return Concat(
        {{carrier}, U16s({word, 0}), Zeros(60), {lastGroupByte, 0, 0, 0}, U16s({flagWord}), {0}});
}
// 0x1282: version, then two 56-byte blocks of 16 elements, a byte and the flag word.
Bytes Packet1282(uint8_t version, uint16_t lastElement, uint16_t flagWord) {
    return Concat({Bytes{version},
                   U16s({0x2001, 0x0012}),
                   Zeros(52 + 30),
                   U16s({lastElement}),
                   {0},
                   U16s({flagWord}),
                   Zeros(21)});
}

// clang-format off
TEST(RatioBlocks, SingleCarrierLogs) {
    // U5 / U2 = 2: 6.0206 dB; U3 / U2 = 1: 0 dB, not written; U4 / U2 = 0.1: -20 dB, kept at
    // -16; U6 = 0: no value; U7 / U2 = 65.5: 36.3 dB, kept at 30. Size index 5: 1024 bits.
    const Bytes ratios = Concat({{0x03, 2}, Ratio({0x77, 0xA5, 0x55}, {{2, 1000}, {3, 1000}, {4, 100}, {5, 2000}, {7, 65535}}),
                                 Ratio({0x77, 0xA1, 0x55}, {})});
    const std::vector<int64_t> published = {0x7F018502, 6020, 0x7F018504, -16000, 0x7F018506, 30000, 0x7F018509, 1024};
    RecordHarness h;
    h.Ctx().referenceValue = kReference;
    h.Steps({
        {0x127D, ratios, published, 1},
        // U2 = 0 and size index 0: the earlier values are listed again as they stand.
        {0x127D, Concat({{0, 1}, Ratio({0x77, 0xA0, 0x55}, {{5, 9}})}), published},
        {0x127D, {0, 0}, {}},
        {0x127D, ratios, {}, 2},
        // Flag bit (bit 4 of byte 4) and the quarter value 4003 / 4.
        {0x1280, Concat({{0, 9, 0xFF, 0x0F, 0x1F}, U16s({4003, 0}), {0}}), {0x7F018501, 1, 0x7F018507, 1000}, kNoValue},
        {0x1280, Concat({{1, 9, 0xFF, 0x0F, 0x1F}, U16s({4003, 0}), {0}}), {}, 0},
        // 16383 / 32767 = 0.49998; seven entries, the first five published.
        {0x127F, Concat({{0}, Zeros(14), U16s({16383}), {7}, ValueEntries({-1, 2, 3, 4, 5, 6, 7})}),
         {0x7F01850F, 499, 0x7F01850A, -1, 0x7F01850B, 2, 0x7F01850C, 3, 0x7F01850D, 4, 0x7F01850E, 5}, 1},
    });
}

TEST(RatioBlocks, MultiCarrierLogs) {
    RecordHarness h;
    h.Ctx().referenceValue = kReference;
    h.Steps({
        // Carrier 0: 6.0206 dB and 512 bits (size 3). Carrier 3 on the reference channel (band
        // bits above the 11-bit channel): no ratio, the packet maximum stays 512. Carrier 1:
        // U4 / U2 = 10, 20 dB; size 7, 2048 bits.
        {0x129D, Concat({{1, 1, 3}, Zeros(7), Block129D(0, 50, Ratio({0x77, 0xA3, 0x55}, {{2, 1000}, {5, 2000}})),
                         Block129D(3, 0x0800 | kReference, Ratio({0x77, 0xA2, 0x55}, {})),
                         Block129D(1, 60, Ratio({0x77, 0xA7, 0x55}, {{2, 1000}, {4, 10000}}))}),
         {0x7F019502, 6020, 0x7F019509, 512, 0x7F018509, 512, 0x7F01A504, 20000, 0x7F01A509, 2048}, 2},
        {0x129D, Concat({{0, 1, 1}, Zeros(7), Block129D(0, 50, Ratio({0x77, 0xA3, 0x55}, {}))}), {}},
        {0x129D, Concat({{1, 0, 1}, Block129D(0, 50, {})}), {}, 1},
        // No quarter value before the first block that has one; a block without one repeats it.
        // 0x7F018501 is written twice (1, then 0); its record holds the last write.
        {0x129A, Concat({{0, 0, 3, 1, 0, 0}, Zeros(7), Block129A(0, kReference, 65535, 0x10), Block129A(2, 7, 10, 0x00),
                         Block129A(1, kReference, 65535, 0x00)}),
         {0x7F019501, 1, 0x7F018501, 0, 0x7F01B501, 0, 0x7F01B507, 2, 0x7F01A501, 0, 0x7F01A507, 2, 0x7F018501, 0,
          0x7F018507, 2}, 2},
        // 32767: 1 per carrier and 1000 for the reference; -16384: -0.50002 rounds to -1.
        {0x1299, Concat({{1, 0, 2, 6}, Block1299(0, kReference, 32767, 10), Block1299(2, 5, -16384, -3)}),
         Joined({EntryValues(0x7F01950A, 1, 10), EntryValues(0x7F01850A, 1000, 10), EntryValues(0x7F01B50A, -1, -3)})},
        {0x1299, Concat({{1, 0, 1, 0}, Block1299(0, 1, 1, 0)}), {}, kNoValue},
    });
}

TEST(RateIndex, HighestRateAndFlagFields) {
    RecordHarness h;
    h.Ctx().referenceValue = kReference;
    h.Steps({
        // Indexes 13 (1536000) and 12 (2457600): 12 wins; all 0xFF: index 0, rate 0.
        {0x1296, Concat({{1, 2, 0, 0}, Block1296(0, 0x0800 | kReference, {0xDC}), Block1296(1, 5, {})}),
         {0x7F019109, 12, 0x7F01910A, 2457600, 0x7F018009, 12, 0x7F01800A, 2457600, 0x7F01A109, 0, 0x7F01A10A, 0}, 2},
        {0x1296, Concat({{1, 1, 0, 0}, Block1296(0, 5, {})}), {}, 1},
        // Group byte 0x77: 7 stands for 0, and 7.
        {0x1298, Concat({{0, 2, 0}, Block1298(0, kReference, 0x77, 0), Block1298(5, 9, 0x21, 0)}),
         {0x7F01910B, 0, 0x7F019508, 7, 0x7F01800B, 0, 0x7F018508, 7}, 2},
        // Element 0x2035: 5 and 3; 0x0007: 0 and 0; bits 0-2 of 0: no first field.
        {0x1282, Packet1282(0, 0x2035, 0), {0x7F01800B, 5, 0x7F018508, 3}, 1},
        {0x1282, Packet1282(0, 0x0007, 0), {0x7F01800B, 0, 0x7F018508, 0}},
        {0x1282, Packet1282(1, 0x2035, 0), {0x7F018508, 0}},
        {0x1282, Packet1282(0, 0x2035, 0), {}, 2},
    });
}

TEST(RateIndex, FlagWordBlobs) {
    // W = 0xA69: even bits 0, 2, ..., 10 are 1 0 0 1 0 0; odd bits 1, 3, ..., 11 are 0 1 1 0 1 1.
    RecordHarness h;
    h.Routed(0x1298, Concat({{0, 4, 0}, Block1298(1, 0x2800 | 300, 0, 0xA69), Block1298(2, 1, 0, 0),
                             Block1298(0, 2, 0, 0), Block1298(0, 3, 0, 0xFFFF)}));
    constexpr uint32_t kF4 = 0x7F0107F4, kE9 = 0x7F0107E9;
    h.ExpectWords(kF4, 0, {4, 300, 1, 5});
    h.ExpectBytes(kF4, 16, {0, 1, 2, 3, 4, 5, 1, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 1});
    h.ExpectBytes(kF4, 34, Zeros(128));
    h.ExpectWords(kF4, 4 + 158 * 2, {2, 0, 0});
    // 0x1282: pairs of the flag word as 0/2 and 0/1; then per element (first block's 0x2001
    // and 0x0012, the second block's last 0x2035): index, bits 0-3, bit 13, bits 4-6.
    h.Routed(0x1282, Packet1282(0, 0x2035, 0xA69));
    h.ExpectBytes(kE9, 0, {0, 1, 2, 3, 4, 5, 0, 2, 2, 0, 2, 2, 1, 0, 0, 1, 0, 0});
    const std::pair<size_t, Bytes> columns[] = {{18, {0, 1, 2}}, {49, {15}}, {50, {1, 2, 0}}, {81, {5}},
                                                {82, {1, 0, 0}}, {113, {1}}, {114, {0, 1, 0}}, {145, {3}}};
    for (const auto& [at, bytes] : columns) h.ExpectBytes(kE9, at, bytes);
}

// The alternate range shares the parameters and the last values of the first-range logs.
TEST(AlternateRange, LoadQuarterAndRatioEntries) {
    const auto entry927D = [](uint8_t b2, std::initializer_list<std::pair<int, uint16_t>> u) {
        return Ratio({0x11, 0x22, b2, 0x44}, u);
    };
    RecordHarness h;
    h.Steps({
        // Load 16384 / 16384 = 100 %; DRC index 9. 16385 is above 100 %; index 15 has no rate.
        {0x9068, Concat({U16s({16384}), {9, 0}}), {0x7F018206, 10000, 0x7F018009, 9, 0x7F01800A, 1228800}, 1},
        {0x9068, Concat({U16s({16385}), {15, 0}}), {0x7F018009, 15, 0x7F01800A, 0}},
        // Level only: the index beyond the payload reads 0, not a check byte.
        {0x9068, U16s({16384}), {0x7F018206, 10000, 0x7F018009, 0, 0x7F01800A, 0}},
        {0x9280, {7, 0x03}, {0x7F018507, 1, 0x7F018501, 1}},
        {0x9280, {255, 0xFE}, {0x7F018507, 63, 0x7F018501, 0}},
        // 0x127D first entry: 2000 / 1000 is 6.0206 dB; 1024-bit packets.
        {0x127D, Concat({{0, 1}, Ratio({0x22, 5, 0x44}, {{2, 1000}, {5, 2000}})}), {0x7F018502, 6020, 0x7F018509, 1024}},
        // Size index 0 (high nibble ignored): nothing, the 0x127D values stay inherited.
        {0x927D, entry927D(0xF0, {{2, 100}, {3, 1000}}), {}},
        // U3 / U2 = 10: 20 dB; U4 = U2: 0 dB, not published; U5 / U2 = 0.01: -40 dB held at
        // -16; U7 / U2 as an integer quotient, 3: 9.5424 dB. Size index 9: 4096 bits.
        {0x927D, entry927D(0xA9, {{2, 100}, {3, 1000}, {4, 100}, {5, 1}, {7, 350}}),
         {0x7F018509, 4096, 0x7F018503, 20000, 0x7F018502, -16000, 0x7F018506, 9542}},
        // 0x127D without ratios lists the values 0x927D left as they stand.
        {0x127D, Concat({{0, 1}, Ratio({0x22, 0, 0x44}, {})}),
         {0x7F018502, -16000, 0x7F018503, 20000, 0x7F018506, 9542, 0x7F018509, 4096}},
        // U6 / U2 = 2: 6.0206 dB; U7 < U2: integer quotient 0, held at -16 dB.
        {0x927D, entry927D(1, {{2, 100}, {6, 200}, {7, 50}}), {0x7F018509, 128, 0x7F018505, 6020, 0x7F018506, -16000}},
        // Size index 13 has no size; U7 / U2 = 1.5 gives the quotient 1: 0 dB.
        {0x927D, entry927D(13, {{2, 100}, {7, 150}}), {0x7F018509, 0}},
        {0x927D, entry927D(9, {{2, 100}, {3, 1000}}), {}, 2},
        {0x9280, {7, 0x03}, {}},
        {0x9068, Concat({U16s({16384}), {9, 0}}), {}},
    });
}

}  // namespace
}  // namespace tessavo::test
