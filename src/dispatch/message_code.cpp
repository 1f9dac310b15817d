#include "dispatch/message_code.h"

#include <array>

#include "bits/bit_reader.h"
#include "bits/conversions.h"
#include "bits/diag_time.h"

namespace tessavo {

namespace {

// ---- Order sub-code tables ----

struct OrderRow {
    uint8_t order;
    std::array<uint8_t, 3> byVariant;  // 0 where the variant has no sub-code
};

// Orders the handset sends (access and reverse traffic channel).
constexpr OrderRow kReverseOrders[] = {
    {2, {8, 0, 0}},    {3, {12, 13, 0}},  {5, {20, 0, 0}},   {11, {44, 45, 46}}, {16, {64, 0, 0}},
    {19, {76, 0, 0}},  {20, {80, 0, 0}},  {21, {84, 0, 0}},  {23, {92, 94, 0}},  {24, {96, 0, 0}},
    {25, {100, 0, 0}}, {29, {116, 0, 0}}, {30, {120, 0, 0}}, {31, {124, 0, 0}},
};

// Orders the handset receives (paging and forward traffic channel).
constexpr OrderRow kForwardOrders[] = {
    {1, {4, 0, 0}},    {2, {8, 0, 0}},        {3, {12, 0, 0}},    {4, {16, 0, 0}},
    {5, {20, 0, 0}},   {6, {24, 0, 0}},       {9, {36, 0, 0}},    {10, {40, 0, 0}},
    {16, {64, 0, 0}},  {17, {68, 69, 0}},     {18, {73, 74, 75}}, {19, {76, 0, 0}},
    {20, {80, 0, 0}},  {21, {84, 0, 0}},      {23, {8, 0, 0}},    {25, {100, 0, 0}},
    {26, {104, 0, 0}}, {27, {108, 109, 110}},
};

constexpr int kOrderCodes = 64;  // 6-bit order codes

template <size_t N>
constexpr bool SortedUnique(const OrderRow (&rows)[N]) {
    for (size_t i = 0; i < N; ++i) {
        if (rows[i].order >= kOrderCodes) return false;
        if (i > 0 && rows[i - 1].order >= rows[i].order) return false;
    }
    return true;
}
static_assert(SortedUnique(kReverseOrders));
static_assert(SortedUnique(kForwardOrders));

using OrderTable = std::array<std::array<uint8_t, 3>, kOrderCodes>;

template <size_t N>
constexpr OrderTable ByOrderCode(const OrderRow (&rows)[N]) {
    OrderTable table{};
    for (const OrderRow& row : rows) table[row.order] = row.byVariant;
    return table;
}

constexpr OrderTable kReverseTable = ByOrderCode(kReverseOrders);
constexpr OrderTable kForwardTable = ByOrderCode(kForwardOrders);
static_assert(kReverseTable[11][2] == 46 && kReverseTable[23][1] == 94);
static_assert(kForwardTable[27][2] == 110 && kForwardTable[23][0] == 8);

uint8_t Lookup(const OrderTable& table, uint32_t order, uint32_t variant) {
    if (order >= kOrderCodes || variant >= 3) return 0;
    return table[order][variant];
}

// ---- Order parsers ----

// Skips whole bytes the way the message is laid out: by reading and discarding them. A count
// of 0 is a read of width 0, which reads nothing.
void DiscardBytes(BitReader& reader, uint32_t count) {
    std::array<uint8_t, 16> discard{};  // counts come from 4-bit fields
    reader.ReadMsbFirst(discard.data(), static_cast<int64_t>(discard.size()),
                        static_cast<int64_t>(count) * 8);
}

// Variant of the forward order 18 by its qualification byte: bit 4 wins over bit 5.
uint32_t Order18Variant(uint32_t r) {
    if (r & 0x10) return 0;
    return (r & 0x20) ? 1 : 0;
}

// Variant 1 or 2 for R = 1 or 2, else 0 (reverse order 11, forward order 27).
uint32_t OneOrTwo(uint32_t r) {
    return (r == 1 || r == 2) ? r : 0;
}

}  // namespace

uint8_t ReverseOrderSubCode(uint32_t order, uint32_t variant) {
    return Lookup(kReverseTable, order, variant);
}

uint8_t ForwardOrderSubCode(uint32_t order, uint32_t variant) {
    return Lookup(kForwardTable, order, variant);
}

uint8_t AccessChannelOrderSubCode(PacketView packet) {
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps t(reader);
    t.Msb<uint8_t>(8);
    t.Msb<uint8_t>(8);
    t.Msb<uint8_t>(8);
    t.Msb<uint8_t>(3);
    t.Msb<uint8_t>(3);
    const uint8_t skipBytes = t.Msb<uint8_t>(4);
    DiscardBytes(reader, skipBytes);
    t.Msb<uint8_t>(2);
    const uint32_t order = t.Msb<uint8_t>(6);
    const uint32_t qualifier = t.Msb<uint8_t>(3);
    const uint32_t variant = (order == 3 && qualifier != 0) ? 1 : 0;
    return ReverseOrderSubCode(order, variant);
}

uint8_t ReverseTrafficOrderSubCode(PacketView packet) {
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps t(reader);
    t.Msb<uint8_t>(8);
    t.Msb<uint8_t>(8);
    t.Msb<uint8_t>(3);
    t.Msb<uint8_t>(3);
    t.Msb<uint8_t>(1);
    t.Msb<uint8_t>(2);
    const uint32_t order = t.Msb<uint8_t>(6);
    const uint32_t qualifier = t.Msb<uint8_t>(3);
    uint32_t variant = 0;
    if (order == 3) {
        variant = qualifier >= 1 ? 1 : 0;
    } else if (order == 11 && qualifier == 1) {
        variant = OneOrTwo(t.Msb<uint8_t>(8));
    } else if (order == 23 && qualifier == 1) {
        const uint32_t r = t.Msb<uint8_t>(8);
        variant = (r == 2 || r == 3) ? 1 : 0;
    }
    return ReverseOrderSubCode(order, variant);
}

uint8_t PagingChannelOrderSubCode(PacketView packet) {
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps t(reader);
    t.Msb<uint8_t>(8);
    t.Msb<uint8_t>(8);
    t.Msb<uint8_t>(8);
    t.Msb<uint8_t>(3);
    const uint8_t skipBytes = t.Msb<uint8_t>(4);
    DiscardBytes(reader, skipBytes);
    const uint32_t order = t.Msb<uint8_t>(6);
    const uint32_t qualifier = t.Msb<uint8_t>(3);
    uint32_t variant = 0;
    if (order == 18) {
        variant = Order18Variant(t.Msb<uint8_t>(8));
    } else if (order == 27 && qualifier == 1) {
        variant = OneOrTwo(t.Msb<uint8_t>(8));
    }
    return ForwardOrderSubCode(order, variant);
}

uint8_t ForwardTrafficOrderSubCode(PacketView packet) {
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps t(reader);
    t.Msb<uint8_t>(8);
    t.Msb<uint8_t>(8);
    t.Msb<uint8_t>(8);
    t.Msb<uint8_t>(8);
    const uint32_t order = t.Msb<uint8_t>(6);
    const uint32_t qualifier = t.Msb<uint8_t>(3);
    uint32_t variant = 0;
    if (order == 17) {
        variant = qualifier >= 1 ? 1 : 0;
    } else if (order == 18) {
        variant = Order18Variant(t.Msb<uint8_t>(8));
    }
    return ForwardOrderSubCode(order, variant);
}

namespace {

constexpr uint32_t kAccessOrderType = 2;
constexpr uint32_t kTrafficOrderType = 1;
constexpr uint32_t kPagingOrderType = 7;
// Record length of a signalling log that carries no message.
constexpr uint16_t kSignallingShortRecord = 23;

// Second-interface signalling logs: x is the message identifier, y its first body byte; for some
// identifiers the top three bits of byte 23 select a message family that moves x up.
uint32_t SignallingMessageCode(uint32_t logCode, PacketView packet) {
    const uint32_t base = logCode << 16;
    if (packet.LogRecordLength() == kSignallingShortRecord) return base;
    const uint32_t x = packet.U8(27) & 0x7Fu;
    const uint32_t y = packet.U8(28);
    const uint32_t family = packet.U8(23) >> 5;
    switch (x) {
        case 2:
        case 3:
        case 5:
        case 10:
        case 13:
        case 15:
        case 16:
        case 17:
        case 18:
        case 20:
            return base + (x << 8) + y;
        case 4: {
            const uint32_t z = family != 0 ? family + 1 : 0;
            const uint32_t shifted = (x + 16 * z) & 0xFFu;
            return base + (shifted << 8) + y;
        }
        case 11:
            return base + (x << 8) + (y >> 6);
        case 12:
        case 14:
        case 21:
        case 22:
        case 23: {
            const uint32_t shifted = (x + (family << 4)) & 0xFFu;
            return base + (shifted << 8) + y;
        }
        default:
            return base;
    }
}

}  // namespace

uint32_t CommandMessageCode(uint32_t moduleType, uint8_t command) {
    const uint32_t module = moduleType << 16;
    switch (command) {
        case 0x20:
        case 0x40:
        case 0x5D:
        case 0x63:
        case 0x73:
        case 0x79:
            return module + 0x3000u + command;
        case 0x3F:
            return module | 0xDD3Fu;
        case 0x4B:
            return module | 0xDD4Bu;
        case 0x60:
            return module | 0x1FFBu;
        default:
            return 0;
    }
}

uint32_t LogMessageCode(uint32_t moduleType, PacketView packet) {
    const uint32_t logCode = packet.LogCode();
    const uint32_t base = logCode << 16;
    const uint32_t type = packet.U8(17);
    switch (logCode) {
        case 0x1004: {
            const uint32_t b = type & 0x3Fu;
            const uint32_t code = base + (b << 8);
            return b == kAccessOrderType ? code + AccessChannelOrderSubCode(packet) : code;
        }
        case 0x1005: {
            const uint32_t code = base + (type << 8);
            return type == kTrafficOrderType ? code + ReverseTrafficOrderSubCode(packet) : code;
        }
        case 0x1006:
            return base + (type << 8);
        case 0x1007: {
            const uint32_t code = base + (type << 8);
            return type == kPagingOrderType ? code + PagingChannelOrderSubCode(packet) : code;
        }
        case 0x1008: {
            const uint32_t code = base + (type << 8);
            return type == kTrafficOrderType ? code + ForwardTrafficOrderSubCode(packet) : code;
        }
        case 0x1076:
        case 0x1077:
        case 0x1078:
        case 0x1079:
        case 0x107C:
            return SignallingMessageCode(logCode, packet);
        case 0x1036:
        case 0x1037:
        case 0x10F2:
        case 0x10F4:
        case 0x10F5:
        case 0x10F8:
        case 0x1100:
        case 0x11E9:
        case 0x11EA:
            return base;
        default:
            return (moduleType << 16) + logCode;
    }
}

uint16_t LogDirection(uint16_t logCode) {
    switch (logCode) {
        case 0x1004:
        case 0x1005:
        case 0x1076:
        case 0x1077:
            return 1;
        case 0x1006:
        case 0x1007:
        case 0x1008:
        case 0x1078:
        case 0x1079:
        case 0x107C:
            return 0;
        default:
            return 2;
    }
}

TimePair CommandDdItemTime(TimePair firstDiag, TimePair firstHost, TimePair host) {
    const double d =
        firstDiag.seconds + firstDiag.microseconds / 1000000.0 + PairDifference(host, firstHost);
    const int32_t seconds = TruncToI32(d);
    return TimePair{seconds, TruncToI32((d - seconds) * 1000000.0)};
}

}  // namespace tessavo
