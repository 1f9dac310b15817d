#include "dispatch/message_code.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/bit_writer.h"
#include "support/packet_builder.h"

namespace tessavo {
namespace {

using test::BitWriter;
using test::Bytes;

constexpr uint32_t kModule = 0xB101;

// The packet as the dispatcher holds it: header, payload, CRC, 0x7E.
uint32_t CodeOf(uint16_t logCode, const Bytes& payload, uint32_t module = kModule) {
    const Bytes packet = test::Dispatched(test::LogPacket(logCode, payload));
    return LogMessageCode(module, PacketView(packet.data(), static_cast<int32_t>(packet.size())));
}

// Over-the-air order messages: payloads as bit fields, most significant bit first.
// Log code 0x1004: 8, 8 (type), 8, 3, 3, 4 (n), n bytes, 2, 6 (order), 3 (qualifier).
Bytes AccessOrder(uint8_t typeByte, uint32_t order, uint32_t qualifier, uint32_t skipBytes = 0) {
    BitWriter w;
    w.Msb(0x20, 8).Msb(typeByte, 8).Msb(0xA5, 8).Msb(0x5, 3).Msb(0x2, 3).Msb(skipBytes, 4);
    for (uint32_t i = 0; i < skipBytes; ++i) w.Msb(0xFF, 8);  // would read as order 63
    return w.Msb(0x3, 2).Msb(order, 6).Msb(qualifier, 3).AlignZero().Bytes();
}

// Log code 0x1005: 8, 8 (type), 3, 3, 1, 2, 6 (order), 3 (qualifier), [8 (R)].
Bytes ReverseTrafficOrder(uint8_t type, uint32_t order, uint32_t qualifier, uint32_t r = 0) {
    BitWriter w;
    w.Msb(0x20, 8).Msb(type, 8).Msb(0x7, 3).Msb(0x0, 3).Msb(1, 1).Msb(0x2, 2);
    return w.Msb(order, 6).Msb(qualifier, 3).Msb(r, 8).AlignZero().Bytes();
}

// Log code 0x1007: 8, 8 (type), 8, 3, 4 (n), n bytes, 6 (order), 3 (qualifier), [8 (R)].
Bytes PagingOrder(uint8_t type, uint32_t order, uint32_t qualifier, uint32_t r = 0,
                  uint32_t skipBytes = 2) {
    BitWriter w;
    w.Msb(0x20, 8).Msb(type, 8).Msb(0xAB, 8).Msb(0x5, 3).Msb(skipBytes, 4);
    for (uint32_t i = 0; i < skipBytes; ++i) w.Msb(0xFF, 8);
    return w.Msb(order, 6).Msb(qualifier, 3).Msb(r, 8).AlignZero().Bytes();
}

// Log code 0x1008: 8, 8 (type), 8, 8, 6 (order), 3 (qualifier), [8 (R)].
Bytes ForwardTrafficOrder(uint8_t type, uint32_t order, uint32_t qualifier, uint32_t r = 0) {
    BitWriter w;
    w.Msb(0x20, 8).Msb(type, 8).Msb(0x11, 8).Msb(0x22, 8);
    return w.Msb(order, 6).Msb(qualifier, 3).Msb(r, 8).AlignZero().Bytes();
}

// Second-interface signalling record: packet bytes 23, 27 and 28 are payload bytes 7, 11, 12.
Bytes SignallingRecord(uint8_t byte23, uint8_t byte27, uint8_t byte28) {
    Bytes p(16, 0x5A);
    p[7] = byte23, p[11] = byte27, p[12] = byte28;
    return p;
}

TEST(LogMessageCode, SignallingAndOrderMessages) {
    // clang-format off
    struct CodeCase { std::string name; uint16_t logCode; Bytes payload; uint32_t expected; };
    const std::vector<CodeCase> cases = {
        // Access channel: the type is the low 6 bits of the byte; type 2 carries an order.
        {"access order 3, q 0", 0x1004, AccessOrder(0xC2, 3, 0), 0x1004020C},
        {"access order 3, q 5 after 1 skipped byte", 0x1004, AccessOrder(0x02, 3, 5, 1), 0x1004020D},
        {"access order 31 after 3 skipped bytes", 0x1004, AccessOrder(0x02, 31, 0, 3), 0x1004027C},
        {"access order 7 has no sub-code", 0x1004, AccessOrder(0x02, 7, 0), 0x10040200},
        {"access type 3 is no order", 0x1004, AccessOrder(0x03, 3, 0), 0x10040300},
        // Reverse traffic channel: type 1 carries an order.
        {"reverse order 11, q 1, r 2", 0x1005, ReverseTrafficOrder(1, 11, 1, 2), 0x1005012E},
        {"reverse order 11, q 1, r 1", 0x1005, ReverseTrafficOrder(1, 11, 1, 1), 0x1005012D},
        {"reverse order 11, q 0: r not read", 0x1005, ReverseTrafficOrder(1, 11, 0, 2), 0x1005012C},
        {"reverse order 23, q 1, r 3", 0x1005, ReverseTrafficOrder(1, 23, 1, 3), 0x1005015E},
        {"reverse order 23, q 1, r 1", 0x1005, ReverseTrafficOrder(1, 23, 1, 1), 0x1005015C},
        {"reverse order 3, q 2", 0x1005, ReverseTrafficOrder(1, 3, 2), 0x1005010D},
        {"reverse type 2 is no order", 0x1005, ReverseTrafficOrder(2, 3, 2), 0x10050200},
        {"sync type 5: the type byte only", 0x1006, {0x20, 0x05, 0xFF}, 0x10060500},
        // Paging channel: type 7 carries an order.
        {"paging order 27, q 1, r 2", 0x1007, PagingOrder(7, 27, 1, 2), 0x1007076E},
        {"paging order 27, q 0", 0x1007, PagingOrder(7, 27, 0, 2), 0x1007076C},
        {"paging order 18, r 0x30: bit 4 wins", 0x1007, PagingOrder(7, 18, 0, 0x30), 0x10070749},
        {"paging order 18, r 0x20", 0x1007, PagingOrder(7, 18, 0, 0x20), 0x1007074A},
        {"paging order 23 shares sub-code 8", 0x1007, PagingOrder(7, 23, 0), 0x10070708},
        {"paging order 1 without skipped bytes", 0x1007, PagingOrder(7, 1, 0, 0, 0), 0x10070704},
        {"paging type 6 is no order", 0x1007, PagingOrder(6, 27, 1, 2), 0x10070600},
        // Forward traffic channel: type 1 carries an order.
        {"forward order 23", 0x1008, ForwardTrafficOrder(1, 23, 0), 0x10080108},
        {"forward order 17, q 0", 0x1008, ForwardTrafficOrder(1, 17, 0), 0x10080144},
        {"forward order 17, q 3", 0x1008, ForwardTrafficOrder(1, 17, 3), 0x10080145},
        {"forward order 18, r 0x20", 0x1008, ForwardTrafficOrder(1, 18, 0, 0x20), 0x1008014A},
        {"forward order 27 reads no r", 0x1008, ForwardTrafficOrder(1, 27, 1, 2), 0x1008016C},
        {"forward type 3", 0x1008, ForwardTrafficOrder(3, 23, 0), 0x10080300},
        // Second interface: message identifier x (7 bits) and first body byte y.
        {"x 2", 0x1076, SignallingRecord(0xE0, 0x02, 0x34), 0x10760234},
        {"x 5 with the top bit set", 0x1077, SignallingRecord(0x00, 0x85, 0x01), 0x10770501},
        {"x 4, family 0", 0x1079, SignallingRecord(0x1F, 0x04, 0x07), 0x10790407},
        {"x 4, family 1 moves to 36", 0x107C, SignallingRecord(0x20, 0x04, 0x09), 0x107C2409},
        {"x 4, family 7 moves to 132", 0x1078, SignallingRecord(0xE0, 0x04, 0x09), 0x10788409},
        {"x 11 keeps the top two bits of y", 0x1078, SignallingRecord(0x00, 0x8B, 0xC5), 0x10780B03},
        {"x 12, family 7", 0x1078, SignallingRecord(0xE0, 0x0C, 0x01), 0x10787C01},
        {"x 23, family 7", 0x1078, SignallingRecord(0xF0, 0x17, 0x01), 0x10788701},
        {"x 14, family 0", 0x1078, SignallingRecord(0x1F, 0x0E, 0x22), 0x10780E22},
        {"x 1 has no message type", 0x1078, SignallingRecord(0x00, 0x01, 0x22), 0x10780000},
        {"x 6 has no message type", 0x107C, SignallingRecord(0x00, 0x06, 0x22), 0x107C0000},
        {"record length 23 (11 payload bytes) carries no message", 0x1078, Bytes(11, 0x02), 0x10780000},
        // Other log codes: the module type above the log code, or the log code above zero.
        {"0x1200", 0x1200, Bytes(20, 2), 0xB1011200}, {"0xFFFE", 0xFFFE, Bytes(20, 2), 0xB101FFFE},
        {"0x1036", 0x1036, Bytes(20, 2), 0x10360000}, {"0x1037", 0x1037, Bytes(20, 2), 0x10370000},
        {"0x10F2", 0x10F2, Bytes(20, 2), 0x10F20000}, {"0x10F8", 0x10F8, Bytes(20, 2), 0x10F80000},
        {"0x1100", 0x1100, Bytes(20, 2), 0x11000000}, {"0x11EA", 0x11EA, Bytes(20, 2), 0x11EA0000},
    };
    // clang-format on
    for (const CodeCase& c : cases) EXPECT_EQ(CodeOf(c.logCode, c.payload), c.expected) << c.name;
}

TEST(LogMessageCode, ModuleTypesAndShortPackets) {
    EXPECT_EQ(CodeOf(0x3040, Bytes(20, 0x02), 0xB20A), 0xB20A3040u);
    // Shorter than the header: the log code comes from the bytes present, the rest reads 0.
    const Bytes header = {0x10, 0x00, 0x0C, 0x00, 0x0C, 0x00, 0x07, 0x10};
    EXPECT_EQ(LogMessageCode(kModule, PacketView(header.data(), 8)), 0x10070000u);
    EXPECT_EQ(LogMessageCode(kModule, PacketView()), 0xB1010000u);

    // Paging order with only the type byte: order and qualifier keep the last byte read (7),
    // and order 7 has no sub-code.
    const Bytes paging = test::LogPacket(0x1007, {0x20, 0x07});
    EXPECT_EQ(LogMessageCode(kModule, PacketView(paging.data(), 18)), 0x10070700u);

    // Forward order ending after its third byte 0x12: order 18 is taken from that byte, and so
    // is the qualification byte (0x12 has bit 4 set), giving sub-code 73.
    const Bytes forward = test::LogPacket(0x1008, {0x20, 0x01, 0x12});
    EXPECT_EQ(LogMessageCode(kModule, PacketView(forward.data(), 19)), 0x10080149u);
}

// The look-ups outside the rows the order messages above reach: the variant and order bounds
// and the orders whose two directions differ.
TEST(OrderSubCodes, BoundsAndDirections) {
    // clang-format off
    const struct { uint32_t order, variant; uint8_t reverse, forward; } cases[] = {{0, 0, 0, 0}, {1, 0, 0, 4},
        {2, 0, 8, 8}, {23, 0, 92, 8}, {23, 1, 94, 0}, {24, 0, 96, 0}, {26, 0, 0, 104}, {31, 0, 124, 0},
        {63, 0, 0, 0}, {64, 0, 0, 0}, {2, 1, 0, 0}, {11, 3, 0, 0}, {18, 3, 0, 0}, {0xFFFFFFFF, 0, 0, 0}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.order << "/" << c.variant);
        EXPECT_EQ(ReverseOrderSubCode(c.order, c.variant), c.reverse);
        EXPECT_EQ(ForwardOrderSubCode(c.order, c.variant), c.forward);
    }
}

TEST(CommandMessageCode, FixedCodesAndLogDirections) {
    // clang-format off
    const std::pair<uint8_t, uint32_t> cases[] = {{0x20, 0xB2003020}, {0x40, 0xB2003040}, {0x5D, 0xB200305D},
        {0x63, 0xB2003063}, {0x73, 0xB2003073}, {0x79, 0xB2003079}, {0x3F, 0xB200DD3F}, {0x4B, 0xB200DD4B},
        {0x60, 0xB2001FFB}, {0xDD, 0}, {0x10, 0}, {0xFF, 0}};
    const std::pair<uint16_t, uint16_t> directions[] = {{0x1004, 1}, {0x1005, 1}, {0x1076, 1}, {0x1077, 1},
        {0x1006, 0}, {0x1007, 0}, {0x1008, 0}, {0x1078, 0}, {0x1079, 0}, {0x107C, 0}, {0x1003, 2},
        {0x107A, 2}, {0x119A, 2}, {0xFFFE, 2}};
    // clang-format on
    for (const auto& [command, expected] : cases)
        EXPECT_EQ(CommandMessageCode(0xB200, command), expected) << std::hex << int{command};
    for (const auto& [logCode, d] : directions) EXPECT_EQ(LogDirection(logCode), d) << logCode;
    // The command codes of 0x40 and 0x63 equal those of the log codes that wrap them.
    EXPECT_EQ(CommandMessageCode(0xB20B, 0x40), CodeOf(0x3040, Bytes(4, 0), 0xB20B));
    EXPECT_EQ(CommandMessageCode(0xB20B, 0x63), CodeOf(0x3063, Bytes(4, 0), 0xB20B));
}

TEST(CommandDdItemTime, FirstDiagTimeMovedByHostTime) {
    // clang-format off
    const struct { TimePair firstDiag, firstHost, host, expected; } cases[] = {
        {{1000, 250000}, {50, 0}, {52, 500000}, {1002, 750000}},
        {{1000, 250000}, {50, 500000}, {51, 0}, {1000, 750000}},  // 0.5 s elapsed
        {{1000, 0}, {50, 0}, {50, 0}, {1000, 0}},
        // Host clock behind its first reading: 1000.25 - 0.5, truncated toward zero.
        {{1000, 250000}, {50, 500000}, {50, 0}, {999, 750000}},
        // Near zero the fraction keeps its sign: -0.25 s gives 0 s and -250000 us.
        {{0, 250000}, {10, 500000}, {10, 0}, {0, -250000}},
    };
    // clang-format on
    for (const auto& c : cases) {
        const TimePair t = CommandDdItemTime(c.firstDiag, c.firstHost, c.host);
        EXPECT_EQ(std::pair(t.seconds, t.microseconds),
                  std::pair(c.expected.seconds, c.expected.microseconds));
    }
}

}  // namespace
}  // namespace tessavo
