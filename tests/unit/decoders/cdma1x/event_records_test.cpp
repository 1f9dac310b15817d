// Identified event records: 0x10F2, 0x10F4, 0x10F5, 0x10F8, 0x1100.
#include "decoders/cdma1x/event_records.h"

#include <gtest/gtest.h>

#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

// A payload of `size` bytes (packet bytes 16 on) with the identifier at payload 13 and the
// given packet bytes set.
Bytes Ev(uint16_t identifier, std::initializer_list<std::pair<int, uint8_t>> bytes = {},
         size_t size = 28) {
    Bytes p(28, 0);
    StoreLE(p.data() + 13, identifier);
    for (auto [packetOffset, value] : bytes) p[static_cast<size_t>(packetOffset - 16)] = value;
    p.resize(size);
    return p;
}

TEST(EventRecords, MessageCodeAndParameters) {
    const auto F2 = HandleEvent10F2, F4 = HandleEvent10F4, F5 = HandleEvent10F5,
               F8 = HandleEvent10F8, E1100 = HandleEvent1100;
    const struct {
        uint16_t logCode;
        LogHandler handler;
        Bytes payload;
        uint32_t codeRaise;
        IdValues params;
    } cases[] = {
        // clang-format off
        {0x10F2, F2, Ev(270, {{31, 5}, {32, 6}}), 270, {{0x7F01D107, 5}, {0x7F01D108, 6}}},
        {0x10F2, F2, Ev(271, {{31, 5}}), 271, {}},
        {0x10F4, F4, Ev(456, {{31, 1}, {32, 2}}), 456, {{0x7F01D104, 1}, {0x7F01D105, 2}}},
        {0x10F4, F4, Ev(293, {{31, 0xFF}}), 293, {{0x7F01D106, 255}}},
        {0x10F4, F4, Ev(273, {{31, 9}}), 273, {{0x7F01D109, 9}}},
        {0x10F4, F4, Ev(999, {{31, 9}}), 999, {}},
        // The sub-identifier is packet byte 31, which is also the type T (code + T + 512).
        // T 152 with D set: the cause is in packet byte 32 itself (0x93 & 0x1F = 19).
        {0x10F5, F5, Ev(258, {{31, 152}, {32, 0x93}}), 664, {{0x7F01D101, 19}}},
        {0x10F5, F5, Ev(259, {{31, 25}, {32, 0x00}, {34, 0xE7}, {37, 0x01}}), 537, {{0x7F01D101, 7}}},
        {0x10F5, F5, Ev(258, {{31, 81}, {32, 0x80}, {33, 0x02}, {36, 0x3F}}), 593, {{0x7F01D101, 31}}},
        {0x10F5, F5, Ev(258, {{31, 26}}), 538, {}},
        {0x10F5, F5, Ev(300, {{31, 152}, {32, 0x93}}), 664, {}},
        {0x10F8, F8, Ev(261, {{32, 3}, {33, 4}, {35, 0x78}, {36, 0x56}, {37, 0x34}, {38, 0x12},
                              {39, 1}, {42, 0x80}}),
         261, {{0x7F01D10A, 3}, {0x7F01D10B, 4}, {0x7F01D10C, 0x12345678},
               {0x7F01D10D, static_cast<int32_t>(0x80000001u)}}},
        {0x10F8, F8, Ev(262, {{32, 3}}), 262, {}},
        {0x1100, E1100, Ev(77), 77, {}},  // only raises the message code
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codeRaise);
        RecordHarness h;
        const uint32_t base = static_cast<uint32_t>(c.logCode) << 16;
        h.Log(c.logCode, c.payload, {c.handler}, base);
        EXPECT_EQ(h.Ctx().item.msgCode, base + c.codeRaise);
        h.ExpectCurrent(c.params);
    }
}

TEST(EventRecords, ShortPacketReadsZeroBeyondItsEndAndCodeWrapsAsUnsigned) {
    RecordHarness h;
    h.Preset(0x7F01D101, 3);
    h.Log(0x1100, Ev(77), {HandleEvent1100}, 0x11000000);
    EXPECT_EQ(h.Inherited(), Ids{0x7F01D101});
    // Payload of 20 bytes: the packet ends at byte 38 (CRC and terminator at 36 to 38), so the
    // u32 at 39 to 42 lies wholly outside it.
    h.Log(0x10F8, Ev(260, {{32, 7}}, 20), {HandleEvent10F8}, 0x10F80000);
    EXPECT_EQ(h.Value(0x7F01D10A), 7);
    EXPECT_EQ(h.Value(0x7F01D10B), 0);
    EXPECT_EQ(h.Value(0x7F01D10D), 0);
    h.Log(0x10F2, Ev(0xFFFF), {HandleEvent10F2}, 0xFFFFFFF0u);
    EXPECT_EQ(h.Ctx().item.msgCode, 0xFFEFu);
}

}  // namespace
}  // namespace tessavo::test
