// Alternate-range logs 0x9068, 0x9280, 0x927D, 0x927E, 0x9192 and 0x9193, through their route
// rows, alone and interleaved with the first-range logs whose parameters and history they share.
#include "decoders/evdo/alternate_range.h"

#include <gtest/gtest.h>

#include "dispatch/log_routes.h"
#include "unit/decoders/evdo/packet_stats_payloads.h"

namespace tessavo::test {
namespace {

constexpr int32_t kSingle = 1;
constexpr int32_t kMulti = 2;

// A packet, the current list it leaves (flat: ID, value, ...) and the carrier mode.
struct Row {
    uint16_t code;
    Bytes payload;
    std::vector<int64_t> current;
    int32_t mode = kSingle;
};

void RunRows(const std::vector<Row>& rows) {
    RecordHarness h;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        SCOPED_TRACE(testing::Message() << "row " << i << " code " << std::hex << r.code);
        const LogRoute* route = FindLogRoute(r.code);
        ASSERT_TRUE(route != nullptr && route->param != nullptr);
        h.Ctx().carrierMode = r.mode;
        const LogHandler none = [](DecoderContext&, PacketView, int32_t) {};
        h.Log(r.code, r.payload, {route->param, route->structured ? route->structured : none});
        h.ExpectCurrent(Pairs(r.current));
    }
}

// Four bytes (the size index in the low nibble of the third), then U0 to U12.
Bytes Entry927D(uint8_t b2, std::initializer_list<std::pair<int, uint16_t>> u) {
    std::array<uint16_t, 13> values{};
    for (const auto& [i, v] : u) values[static_cast<size_t>(i)] = v;
    Bytes b = {0x11, 0x22, b2, 0x44};
    for (uint16_t v : values) PutU16(b, v);
    return b;
}

// 0x127D with one entry of three bytes (the size index in the second) and U0 to U12.
Bytes Ratios127D(uint8_t sizeIndex, std::initializer_list<std::pair<int, uint16_t>> u) {
    Bytes entry = Entry927D(sizeIndex, u);
    entry.erase(entry.begin());
    return Concat({{0, 1}, entry});
}

Bytes Summed(uint32_t time, uint32_t countA, uint64_t bitsA, uint32_t countB) {
    Bytes b;
    PutU32(b, time);
    PutU32(b, countA);
    PutU64(b, bitsA);
    PutU32(b, countB);
    PutU64(b, 0x0102030405060708);
    return b;
}

Bytes Counts927E(uint32_t a, uint32_t b, uint32_t d) {
    Bytes p;
    for (uint32_t v : {a, b, 7u, d}) PutU32(p, v);
    return p;
}

// clang-format off
TEST(AlternateRange, LoadQuarterAndRatioEntries) {
    RunRows({
        // Load 16384 / 16384 = 100 %; DRC index 9. 16385 is above 100 %; index 15 has no rate.
        {0x9068, Concat({U16s({16384}), {9, 0}}),
         {0x7F018206, 10000, 0x7F018009, 9, 0x7F01800A, 1228800}},
        {0x9068, Concat({U16s({16385}), {15, 0}}), {0x7F018009, 15, 0x7F01800A, 0}},
        // Level only: the index beyond the payload reads 0, not a check byte.
        {0x9068, U16s({16384}), {0x7F018206, 10000, 0x7F018009, 0, 0x7F01800A, 0}},
        {0x9280, {7, 0x03}, {0x7F018507, 1, 0x7F018501, 1}},
        {0x9280, {255, 0xFE}, {0x7F018507, 63, 0x7F018501, 0}},
        // 0x127D first entry: 2000 / 1000 is 6.0206 dB; 1024-bit packets.
        {0x127D, Ratios127D(5, {{2, 1000}, {5, 2000}}), {0x7F018502, 6020, 0x7F018509, 1024}},
        // Size index 0 (high nibble ignored): nothing, the 0x127D values stay inherited.
        {0x927D, Entry927D(0xF0, {{2, 100}, {3, 1000}}), {}},
        // U3 / U2 = 10: 20 dB; U4 = U2: 0 dB, not published; U5 / U2 = 0.01: -40 dB held at
        // -16; U7 / U2 as an integer quotient, 3: 9.5424 dB. Size index 9: 4096 bits.
        {0x927D, Entry927D(0xA9, {{2, 100}, {3, 1000}, {4, 100}, {5, 1}, {7, 350}}),
         {0x7F018509, 4096, 0x7F018503, 20000, 0x7F018502, -16000, 0x7F018506, 9542}},
        // 0x127D without ratios lists the values 0x927D left as they stand.
        {0x127D, Ratios127D(0, {}),
         {0x7F018502, -16000, 0x7F018503, 20000, 0x7F018506, 9542, 0x7F018509, 4096}},
        // U6 / U2 = 2: 6.0206 dB; U7 < U2: integer quotient 0, held at -16 dB.
        {0x927D, Entry927D(1, {{2, 100}, {6, 200}, {7, 50}}),
         {0x7F018509, 128, 0x7F018505, 6020, 0x7F018506, -16000}},
        // Size index 13 has no size; U7 / U2 = 1.5 gives the quotient 1: 0 dB.
        {0x927D, Entry927D(13, {{2, 100}, {7, 150}}), {0x7F018509, 0}},
        {0x927D, Entry927D(9, {{2, 100}, {3, 1000}}), {}, kMulti},
        {0x9280, {7, 0x03}, {}, kMulti},
        {0x9068, Concat({U16s({16384}), {9, 0}}), {}, kMulti},
    });
}

// 0x127E and 0x927E continue one history: a is the good count, b all packets, d the bits of
// packets not good. Entry 4 of a 0x127E group counts 1024-bit packets.
TEST(AlternateRange, ReverseCountsShareTheSingleCarrierHistory) {
    const auto entry4 = [](uint32_t good, uint32_t all) { return Entries{{{0, 4}, {good, all}}}; };
    RunRows({
        {0x927E, Counts927E(90, 100, 10240), {}},  // the first packet primes
        // 90 good of 100 new; 20 x 1024 - 10240 more bits.
        {0x127E, Payload127E(0, 0, entry4(180, 200)), {0x7F018207, 9000, 0x7F018205, 10240}},
        // a grew by 5 of 200 new packets: 2.5 %; d by 5000. Then b unchanged; then d fell.
        {0x927E, Counts927E(185, 400, 25480), {0x7F018207, 250, 0x7F018205, 5000}},
        {0x927E, Counts927E(185, 400, 26480), {0x7F018205, 1000}},
        {0x927E, Counts927E(185, 500, 6240), {0x7F018207, 0, 0x7F018205, 0}},
        {0x927E, Counts927E(1, 2, 3), {}, kMulti},  // history untouched
        // 100 good of 100 new; 315 x 1024 - 6240 bits; 322560 / 1000.
        {0x127E, Payload127E(1, 1000, entry4(285, 600)),
         {0x7F018204, 322, 0x7F018207, 10000, 0x7F018205, 316320}},
    });
}

// 0x1192 and 0x9192 continue the single-carrier history; 0x9193 and 0x1193 the second one,
// with totals over the last single-carrier values. 1024-bit packets throughout; over-slots
// rates of 1024 x float(bits per packet / 1.67).
TEST(AlternateRange, SummedForwardStatsShareHistoryAndTotals) {
    RunRows({
        {0x1192, Payload1192(1000, {{3, 1000}}), {0x7F018401, 1048, 0x7F018403, 627889}},
        // 2000 new A packets (2048000 bits) and 500 new B in 1000 units.
        {0x9192, Summed(2000, 3000, 3072000, 500),
         {0x7F018401, 1572, 0x7F018402, 2097, 0x7F018403, 627889, 0x7F018407, 2000}},
        // A sum above 2^32: 5e9 / 3000 = 1666666 per unit; 4996928000 bits in 1000 units;
        // 5e9 / 5177 per packet; 100 new B of 200.
        {0x9192, Summed(3000, 3100, 5000000000, 600),
         {0x7F018401, 1706666, 0x7F018402, 5116854, 0x7F018403, 988989760, 0x7F018407, 5000}},
        {0x9192, Summed(3500, 1, 1, 1), {}, kMulti},
        {0x9193, Summed(3500, 1, 1, 1), {}, kMulti},
        // The wide sum fell: no since-last rate. 1e6 / 5010 per packet; A fell by 100 and B
        // grew by 200: a share of 200 %, not held at 100 as 0x1192's.
        {0x9192, Summed(4000, 3000, 1000000, 800),
         {0x7F018401, 256, 0x7F018403, 204391, 0x7F018407, 20000}},
        // A count above 2^31: nothing published, and the last share is dropped.
        {0x9192, Summed(5000, 0x80000001, 1, 1), {}},
        // T = 0 primes the second history: no own over-time rate; totals from 0x9192's last
        // values (256, 5116854.5, 204391.22 + 627889.81) and no share.
        {0x9193, Summed(0, 1000, 1024000, 0),
         {0x7F018406, 627889, 0x7F018201, 256, 0x7F018202, 5116854, 0x7F018203, 832281}},
        // 0x1193 continues: 2000 new A, 500 new B; since last 2048000 x 1.024, not divided
        // by the time; totals 1572.86 + 256 and 2097152 + 5116854.5.
        {0x1193, Payload1193(2000, {{3, 3000}, {4, 500}}),
         {0x7F018404, 1572, 0x7F018406, 627889, 0x7F018405, 2097152, 0x7F018408, 2000,
          0x7F018201, 1828, 0x7F018202, 7214006, 0x7F018203, 832281, 0x7F018206, 2000,
          0x7F018208, 500, 0x7F018209, 2500}},
    });
}
// clang-format on

}  // namespace
}  // namespace tessavo::test
