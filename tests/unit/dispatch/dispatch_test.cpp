// The dispatch stage: message codes and directions, the decoders the dispatcher runs on a
// context (command responses, the compact form) and the re-encoding of an accepted item.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "dispatch/command_decoders.h"
#include "dispatch/direct_params.h"
#include "dispatch/message_code.h"
#include "dispatch/reencode.h"
#include "params/param_lists.h"
#include "support/bit_writer.h"
#include "support/packet_builder.h"

namespace tessavo::test {
namespace {

constexpr uint32_t kModule = 0xB101;

// The packet as the dispatcher holds it: header, payload, CRC, 0x7E.
uint32_t CodeOf(uint16_t logCode, const Bytes& payload, uint32_t module = kModule) {
    const Bytes packet = Dispatched(LogPacket(logCode, payload));
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

TEST(MessageCodes, LogAndCommandCodesOrderBoundsDirectionsAndCommandDdTime) {
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
    EXPECT_EQ(CodeOf(0x3040, Bytes(20, 0x02), 0xB20A), 0xB20A3040u);
    // Shorter than the header: the log code comes from the bytes present, the rest reads 0.
    const Bytes header = {0x10, 0x00, 0x0C, 0x00, 0x0C, 0x00, 0x07, 0x10};
    EXPECT_EQ(LogMessageCode(kModule, PacketView(header.data(), 8)), 0x10070000u);
    EXPECT_EQ(LogMessageCode(kModule, PacketView()), 0xB1010000u);

    // Paging order with only the type byte: order and qualifier keep the last byte read (7).
    const Bytes paging = LogPacket(0x1007, {0x20, 0x07});
    EXPECT_EQ(LogMessageCode(kModule, PacketView(paging.data(), 18)), 0x10070700u);

    // Forward order ending after its third byte 0x12: order 18 is taken from that byte, and so
    // is the qualification byte (0x12 has bit 4 set), giving sub-code 73.
    const Bytes forward = LogPacket(0x1008, {0x20, 0x01, 0x12});
    EXPECT_EQ(LogMessageCode(kModule, PacketView(forward.data(), 19)), 0x10080149u);
    // clang-format off
    const std::pair<uint8_t, uint32_t> commands[] = {{0x20, 0xB2003020}, {0x40, 0xB2003040},
        {0x5D, 0xB200305D}, {0x63, 0xB2003063}, {0x73, 0xB2003073}, {0x79, 0xB2003079}, {0x3F, 0xB200DD3F},
        {0x4B, 0xB200DD4B}, {0x60, 0xB2001FFB}, {0xDD, 0}, {0x10, 0}, {0xFF, 0}};
    const std::pair<uint16_t, uint16_t> directions[] = {{0x1004, 1}, {0x1005, 1}, {0x1076, 1}, {0x1077, 1},
        {0x1006, 0}, {0x1007, 0}, {0x1008, 0}, {0x1078, 0}, {0x1079, 0}, {0x107C, 0}, {0x1003, 2},
        {0x107A, 2}, {0x119A, 2}, {0xFFFE, 2}};
    // clang-format on
    for (const auto& [command, expected] : commands)
        EXPECT_EQ(CommandMessageCode(0xB200, command), expected) << std::hex << int{command};
    for (const auto& [logCode, d] : directions) EXPECT_EQ(LogDirection(logCode), d) << logCode;
    // The command codes of 0x40 and 0x63 equal those of the log codes that wrap them.
    EXPECT_EQ(CommandMessageCode(0xB20B, 0x40), CodeOf(0x3040, Bytes(4, 0), 0xB20B));
    EXPECT_EQ(CommandMessageCode(0xB20B, 0x63), CodeOf(0x3063, Bytes(4, 0), 0xB20B));
    // clang-format off
    const struct { TimePair firstDiag, firstHost, host, expected; } times[] = {
        {{1000, 250000}, {50, 0}, {52, 500000}, {1002, 750000}},
        {{1000, 250000}, {50, 500000}, {51, 0}, {1000, 750000}},  // 0.5 s elapsed
        {{1000, 0}, {50, 0}, {50, 0}, {1000, 0}},
        // Host clock behind its first reading: 1000.25 - 0.5, truncated toward zero.
        {{1000, 250000}, {50, 500000}, {50, 0}, {999, 750000}},
        // Near zero the fraction keeps its sign: -0.25 s gives 0 s and -250000 us.
        {{0, 250000}, {10, 500000}, {10, 0}, {0, -250000}},
    };
    // clang-format on
    for (const auto& [firstDiag, firstHost, host, expected] : times) {
        const TimePair t = CommandDdItemTime(firstDiag, firstHost, host);
        EXPECT_EQ(std::pair(t.seconds, t.microseconds),
                  std::pair(expected.seconds, expected.microseconds));
    }
    // Look-ups the order messages above do not reach: bounds, and orders whose directions differ.
    // clang-format off
    const struct { uint32_t order, variant; uint8_t reverse, forward; } orders[] = {{0, 0, 0, 0},
        {1, 0, 0, 4}, {2, 0, 8, 8}, {23, 0, 92, 8}, {23, 1, 94, 0}, {24, 0, 96, 0}, {26, 0, 0, 104},
        {31, 0, 124, 0}, {63, 0, 0, 0}, {64, 0, 0, 0}, {2, 1, 0, 0}, {11, 3, 0, 0}, {18, 3, 0, 0},
        {0xFFFFFFFF, 0, 0, 0}};
    // clang-format on
    for (const auto& c : orders) {
        SCOPED_TRACE(testing::Message() << c.order << "/" << c.variant);
        EXPECT_EQ(ReverseOrderSubCode(c.order, c.variant), c.reverse);
        EXPECT_EQ(ForwardOrderSubCode(c.order, c.variant), c.forward);
    }
}

using Scalar = std::pair<uint32_t, int32_t>;  // ID, value

// A context as the dispatcher hands it to a decoder, its lists reset; as it re-encodes, it still
// holds the unescaped packet.
std::unique_ptr<DecoderContext> NewContext(uint32_t module = 0xB101, const Bytes& held = {}) {
    auto ctx = std::make_unique<DecoderContext>();
    ctx->moduleType = module;
    ResetParamLists(*ctx);
    std::copy(held.begin(), held.end(), ctx->packet.begin());
    ctx->packetLength = static_cast<int32_t>(held.size());
    return ctx;
}

// The current scalar list; every entry Fresh.
std::vector<Scalar> Current(const DecoderContext& ctx) {
    std::vector<Scalar> out;
    for (int i = 0; i < ctx.item.curParamCount; ++i) {
        const DecodeParam& p = ctx.item.ParamAt(ctx.item.curParamList[i]);
        EXPECT_EQ(p.state, TESSAVO_STATE_FRESH);
        out.push_back({p.id, p.value});
    }
    return out;
}

Bytes StructPayload(DecoderContext& ctx, uint16_t offset) {
    StructRecordView rec = ctx.item.StructAt(offset);
    return Bytes(rec.Payload(), rec.Payload() + rec.Length());
}

constexpr uint32_t kPreset = 0x12345678;  // the message code before the decoder runs
constexpr int32_t kNone = -1;             // nothing published

// clang-format off
struct Outcome { uint32_t result; std::unique_ptr<DecoderContext> ctx; std::vector<Scalar> scalars; };
// clang-format on

// Runs the decoder of `command` on a context as the dispatcher hands it over.
Outcome RunCommand(uint8_t command, const Bytes& body, uint32_t module = 0xB101) {
    Outcome run{0, NewContext(module), {}};
    run.ctx->item.msgCode = kPreset;
    const Bytes packet = Dispatched(CommandPacket(command, body));
    using Decoder = uint32_t (*)(DecoderContext&, PacketView);
    const std::pair<uint8_t, Decoder> decoders[] = {
        {0x20, DecodeCommand20}, {0x3F, DecodeCommand3F}, {0x4B, DecodeCommand4B},
        {0x5D, DecodeCommand5D}, {0x60, DecodeCommand60}, {0x73, DecodeCommand73},
        {0x79, DecodeCommand79}};
    Decoder decode = DecodeCommandDD;
    for (const auto& [code, d] : decoders) decode = code == command ? d : decode;
    run.result = decode(*run.ctx, PacketView(packet.data(), static_cast<int32_t>(packet.size())));
    run.scalars = Current(*run.ctx);
    return run;
}

// Little-endian 32-bit words.
Bytes Words(std::initializer_list<uint32_t> words) {
    Bytes b;
    for (uint32_t w : words) PutU32(b, w);
    return b;
}

// 0x4B status form: subsystem 0x0F, two status bytes, the u32 word.
Bytes Status(uint32_t word, uint8_t b2 = 0, uint8_t b3 = 0) {
    return Concat({{0x0F, b2, b3}, Words({word})});
}

// A 0x60 event with a full (8-byte) time stamp and flags 6: a length byte, then the payload.
Bytes Event(uint16_t id, const Bytes& payload) {
    Bytes e{static_cast<uint8_t>(id), static_cast<uint8_t>(0x60 | (id >> 8))};
    e.insert(e.end(), 8, 0xAB);
    e.push_back(static_cast<uint8_t>(payload.size()));
    return Concat({e, payload});
}

// The event report body: the u16 length of the event area, then the events.
Bytes Report(const Bytes& events, int totalAdjust = 0) {
    const auto total = static_cast<uint16_t>(static_cast<int>(events.size()) + totalAdjust);
    return Concat({{uint8_t(total), uint8_t(total >> 8)}, events});
}

// 0x79 extended debug message: header, time stamp, line, file, arguments, zero-ended text.
Bytes DebugMessage(const std::string& text, uint8_t argCount = 0, uint8_t claimedArgs = 0) {
    Bytes body = Concat({{0x00, claimedArgs ? claimedArgs : argCount, 0x02}, Bytes(12, 0x11)});
    PutU32(body, 0xDEADBEEF);
    for (uint8_t i = 0; i < argCount; ++i) PutU32(body, 0x7E7E7E7Eu + i);
    body.insert(body.end(), text.begin(), text.end());
    body.push_back(0);
    return body;
}

TEST(CommandDecoders, PublishedScalarsBlobsAndOnlyThePlayoutText) {
    const Bytes k4 = {0, 0, 0, 0};
    const Bytes e1A2 = Event(0x1A2, Words({2}));
    const uint32_t kDD4B = 0xB101DD4B, k304B = 0xB101304B;
    // clang-format off
    // `value`: of the one parameter the command publishes, or kNone; `blobId`: of the one
    // structured record published, 0 for none.
    struct Case { uint8_t command; Bytes body; int32_t value; uint32_t msgCode = kPreset, blobId = 0;
                  Bytes blob = {}; };
    const Case cases[] = {
        // 0x3F: the low nibble of byte 1 (the high nibble ignored).
        {0x3F, {0x27, 0}, 3}, {0x3F, {0x05, 0}, 1}, {0x3F, {0x16, 0}, 2}, {0x3F, {0x0A, 0}, 4},
        {0x3F, {0x0B, 0}, 0}, {0x3F, {0xF8, 0}, 0},
        // 0x4B status form: the word mapped, the code set again; other forms publish nothing.
        {0x4B, Status(0), 0, kDD4B}, {0x4B, Status(1), 1, kDD4B}, {0x4B, Status(2), 1, kDD4B},
        {0x4B, Status(3), 4, kDD4B}, {0x4B, Status(4), 0, kDD4B}, {0x4B, Status(5), 2, kDD4B},
        {0x4B, Status(6), 0, kDD4B}, {0x4B, Status(0xFFFFFFFF), 0, kDD4B},
        {0x4B, Status(3, 1), kNone, kDD4B},  // the status form sets the code all the same
        {0x4B, Status(3, 0, 2), kNone, kDD4B},
        {0x4B, {0x0F, 0x00}, kNone},  // L = 6, below the status form's 7 bytes
        {0x4B, {0x0D, 0x65, 0, 0, 1}, kNone}, {0x4B, {0x0D, 0x64, 0, 1, 1}, kNone},
        {0x4B, {0x12, 0x64, 0, 0, 1}, kNone},
        // Call statistics: f, g, h as a 12-byte blob, the code renamed.
        {0x4B, Concat({{0x0D, 0x64, 0x00, 0x00, 0x07}, Words({0x11223344, 0x55667788})}), kNone, k304B,
         0x7F0107F8, {0x07, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55}},
        // Nine bytes: the 32-bit g at offset 6 finds only 24 bits; g and h stay zero.
        {0x4B, {0x0D, 0x64, 0x00, 0x00, 0x09}, kNone, k304B, 0x7F0107F8, Concat({{9}, Bytes(11, 0)})},
        {0x20, {0x12, 0x34, 0x56}, kNone, kPreset, 0x7F0107F9, {0x12, 0x34}},
        {0x5D, {}, 1},
        // 0x73: call state 1 when the u32 at offset 8 is 0; a y past the end (L = 11) keeps
        // the 32-bit temporary, which holds x.
        {0x73, Concat({{0, 0, 0}, {9, 0, 0, 0}, k4}), 1}, {0x73, Concat({{0, 0, 0}, k4, {5}}), 0},
        {0x73, Concat({{0, 0, 0}, k4, {0, 0, 0, 0x80}}), 0}, {0x73, {0, 0, 0, 7, 0, 0, 0}, 0},
        {0x73, Concat({{0, 0, 0}, k4}), 1},
        // 0x60: event 0x1A2 with a 4-byte payload: 2 and 4 on, 0 off, others nothing.
        {0x60, Report(e1A2), 1}, {0x60, Report(Event(0x1A2, Words({4}))), 1},
        {0x60, Report(Event(0x1A2, k4)), 0},
        {0x60, Report(Event(0x1A2, Words({3}))), kNone}, {0x60, Report(Event(0x1A3, Words({2}))), kNone},
        {0x60, Report(Event(0x1A2, {2, 0})), kNone},
        {0x60, Report(Concat({Event(0x1A2, k4), Event(0x1A2, Words({3}))})), 0},
        {0x60, Report(Concat({Event(0x1A2, k4), Event(0x1A2, Words({4}))})), 1},
        // Events before it are walked over by their own lengths: one with a 2-byte stamp
        // (flags 10) and a 1-byte payload; flags 14 with a length byte.
        {0x60, Report(Concat({{0x10, 0xA0, 0xCD, 0xCD, 0x55}, e1A2})), 1},
        {0x60, Report(Concat({{0xA2, 0xE1, 0xCD, 0xCD, 4}, Words({2})})), 1},
        // Flags 1 (full stamp, no length byte) keep the previous event's payload length, 4.
        {0x60, Report(Concat({Event(0x0FF, Words({9})), {0xA2, 0x11}, Bytes(8, 0xAB), k4})), 0},
        {0x60, {0x01, 0x00, 0xA2, 0x61}, kNone},  // total below 2
        {0x60, Report(e1A2, 200), kNone},         // more than the packet holds
        {0x60, Report(e1A2, -4), kNone},          // the payload would end after the area
        {0xDD, {0x01, 0x02}, kNone, 0xEEAA0001},
    };
    // clang-format on
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(testing::Message() << "case " << i << ", command " << std::hex << +c.command);
        const Outcome run = RunCommand(c.command, c.body);
        EXPECT_EQ(run.result, 1u);
        EXPECT_EQ(run.ctx->item.msgCode, c.msgCode);
        const uint32_t id = c.command == 0x60                        ? 0x7F010014u
                            : c.command == 0x5D || c.command == 0x73 ? 0x7F1C8001u
                                                                     : 0x7F1C0001u;
        const std::vector<Scalar> none, one = {{id, c.value}};
        EXPECT_EQ(run.scalars, c.value == kNone ? none : one);
        ASSERT_EQ(run.ctx->item.curStructCount, c.blobId == 0 ? 0 : 1);
        if (c.blobId == 0) continue;
        const uint16_t at = run.ctx->item.curStructList[0];
        EXPECT_EQ(run.ctx->item.StructAt(at).Id(), c.blobId);
        EXPECT_EQ(run.ctx->item.StructAt(at).State(), TESSAVO_STATE_FRESH);
        EXPECT_EQ(StructPayload(*run.ctx, at), c.blob);
    }
    // 0x3F publishes for module type 0xB101 only; 0xDD refuses a packet not of its command.
    EXPECT_TRUE(RunCommand(0x3F, {0x27}, 0xB200).scalars.empty());
    EXPECT_EQ(RunCommand(0xDC, {0x01}).result, 0u);
    const std::string playout = kPlayoutText;
    // clang-format off
    const std::pair<Bytes, uint32_t> texts[] = {{DebugMessage(playout), 1}, {DebugMessage(playout, 3), 1},
        {DebugMessage(playout + "!"), 0}, {DebugMessage("Voice:: Media Start"), 0},
        {DebugMessage("voice:: media start playout"), 0},
        {DebugMessage(std::string(400, 'A')), 0},  // compared within the 256 stored bytes
        {DebugMessage(playout, 0, 200), 0},        // arguments past the end: no text
        {{0x00, 0x00}, 0}};
    // clang-format on
    for (const auto& [body, accepted] : texts) {
        const Outcome run = RunCommand(0x79, body);
        EXPECT_EQ(run.result, accepted) << body.size();
        EXPECT_TRUE(run.scalars.empty());
    }
}

constexpr uint32_t kPresetCode = 0xB101FFFE;  // as the dispatcher sets it for log code 0xFFFE

// A tagged entry: tag, size word, then the value bytes as given.
Bytes Entry(uint32_t tag, uint32_t size, const Bytes& value) {
    return Concat({Words({tag, size}), value});
}
// clang-format off
Bytes ScalarEntry(uint32_t id, uint32_t value) { return Words({id, 4, value}); }
Bytes MsgCodeEntry(uint32_t code) { return Words({kTagMsgCode, 4, code}); }
Bytes DirectionEntry(uint8_t d) { return Entry(kTagDirection, 2, {d, 0}); }
Bytes TimeEntry(uint32_t size) { return Entry(kTagItemTime, size, Bytes(8, 0x11)); }
Bytes Section(uint32_t n, const Bytes& entries) { return Concat({Words({kTagParams, 4, n}), entries}); }
// clang-format on
// The entries re-encoding writes before the parameter section.
Bytes Header(uint8_t direction, uint32_t msgCode, uint32_t sectionBytes) {
    return Concat({Words({kTagVersion, 4, 1}), TimeEntry(8), DirectionEntry(direction),
                   MsgCodeEntry(msgCode), Words({kTagSectionSize, 4, sectionBytes})});
}

// Runs the decoder on a log packet 0xFFFE carrying `entries`, as the dispatcher does.
uint32_t Decode(DecoderContext& ctx, const Bytes& entries) {
    const Bytes packet = Dispatched(LogPacket(kDirectParamsLogCode, entries));
    ResetParamLists(ctx);
    return DecodeDirectParams(ctx, PacketView(packet.data(), static_cast<int32_t>(packet.size())));
}

TEST(DirectParams, EntriesCapacitiesAndTheFirstSectionUnderMessageCode127E) {
    // clang-format off
    // `offsetErrors`: messages printed for unknown scalar IDs.
    struct Case { Bytes entries; uint32_t result, msgCode; uint16_t direction;
                  std::vector<Scalar> scalars = {}; int offsetErrors = 0; };
    // clang-format on
    const uint32_t k42 = 0xB1010042;
    // A time entry of any size but 8 refuses; the entry after it is not read.
    const auto badTime = [&](uint32_t size) {
        return Concat({MsgCodeEntry(k42), TimeEntry(size), DirectionEntry(1)});
    };
    const Bytes two = Concat({ScalarEntry(0x7F010014, 7), ScalarEntry(0x7F018328, -5u)});
    const std::vector<Scalar> twoOut = {{0x7F010014, 7}, {0x7F018328, -5}};
    // Two unknown IDs (the first just after range 1) consumed and skipped around a known one.
    const Bytes unknownIds = Concat(
        {ScalarEntry(0x7F01001B, 99), ScalarEntry(0x7F1C0002, 5), ScalarEntry(0x7F010001, 1234)});
    Bytes cut = Concat({ScalarEntry(0x7F010001, 1), ScalarEntry(0x7F010002, 77)});
    cut.resize(22);  // the second entry's ID, size and half of its value
    // clang-format off
    const Case cases[] = {
        // Tags after the section are still read.
        {Concat({Header(1, 0xB1011020, 36), Section(2, two), MsgCodeEntry(0xB1019999)}), 1, 0xB1019999, 1,
         twoOut},
        {Concat({Header(0, 0xB1011020, 0), Section(2, two)}), 1, 0xB1011020, 0, {}},  // P = 0: no parameters
        {badTime(0), 0, k42, 2, {}}, {badTime(4), 0, k42, 2, {}}, {badTime(9), 0, k42, 2, {}},
        {badTime(0xFFFFFFFF), 0, k42, 2, {}},
        {Section(3, unknownIds), 1, kPresetCode, 2, {{0x7F010001, 1234}}, 2},
        // Unknown tags are skipped with their bytes; one of size 0xFFFFFFFF ends the walk.
        {Concat({Entry(0xFF0F0007, 3, {0xFF, 0x0F, 0x00}), DirectionEntry(0)}), 1, kPresetCode, 0},
        {Concat({Entry(0xFF0F0009, 0xFFFFFFFF, {}), DirectionEntry(0)}), 1, kPresetCode, 2},
        // A count beyond the packet, an entry cut by the packet end, no entries.
        {Section(0xFFFFFFFF, ScalarEntry(0x7F010014, 4)), 1, kPresetCode, 2, {{0x7F010014, 4}}},
        {Section(3, cut), 1, kPresetCode, 2, {{0x7F010001, 1}}},
        {{}, 1, kPresetCode, 2, {}},
    };
    // clang-format on
    const std::string message = "Function 'GetParamOffset' calculate the offset error\n";
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        auto ctx = NewContext();
        ctx->item.msgCode = kPresetCode;
        ctx->item.direction = 2;
        ctx->item.time = ItemTime{5, 6};  // the time entry is read and not used
        testing::internal::CaptureStdout();
        EXPECT_EQ(Decode(*ctx, c.entries), c.result);
        std::string expectedOut;  // a message for each unknown scalar ID
        for (int k = 0; k < c.offsetErrors; ++k) expectedOut += message;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedOut);
        EXPECT_EQ(std::tuple(ctx->item.msgCode, ctx->item.direction, Current(*ctx)),
                  std::tuple(c.msgCode, c.direction, c.scalars));
        EXPECT_EQ(std::pair(ctx->item.time.seconds, ctx->item.time.microseconds), std::pair(5, 6));
    }
    auto ctx = NewContext();
    Bytes blob;
    for (uint8_t i = 1; i <= 20; ++i) blob.push_back(i);
    // 0x7F0107E2 (offset 12085) holds 20 bytes; 0x7F0107D1 (offset 35) holds 5, and the header
    // of 0x7F0107D2 follows at 56.
    const Bytes eight = {1, 2, 3, 4, 5, 6, 7, 8};
    const Bytes three = Concat(
        {Entry(0x7F0107E2, 20, blob), Entry(0x7F0107D1, 8, eight), ScalarEntry(0x7F010014, 3)});
    EXPECT_EQ(Decode(*ctx, Section(3, three)), 1u);
    EXPECT_EQ(ctx->item.curStructCount, 2);
    EXPECT_EQ(ctx->item.StructAt(12085).State(), TESSAVO_STATE_FRESH);
    EXPECT_EQ(ctx->item.StructAt(12085).Id(), 0x7F0107E2u);
    EXPECT_EQ(StructPayload(*ctx, 12085), blob);
    EXPECT_EQ(StructPayload(*ctx, 35), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(ctx->item.StructAt(56).State(), TESSAVO_STATE_CLEARED);
    EXPECT_EQ(ctx->item.StructAt(56).Id(), 0x7F0107D2u);
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{0x7F010014, 3}}));
    // A claimed 0xFFFFFFF0 bytes: the capacity is copied and the rest of the packet skipped.
    const Bytes huge = Entry(0x7F0107D1, 0xFFFFFFF0, {9, 8, 7, 6, 5});
    EXPECT_EQ(Decode(*ctx, Section(2, Concat({huge, ScalarEntry(0x7F010014, 3)}))), 1u);
    EXPECT_EQ(StructPayload(*ctx, 35), (Bytes{9, 8, 7, 6, 5}));
    EXPECT_TRUE(Current(*ctx).empty());

    // 46 structured entries (capacity 45), then one scalar: the 46th is consumed, not listed.
    Bytes structs;
    for (uint8_t i = 0; i < 46; ++i)
        structs = Concat({structs, Entry(0x7F0107D3, 4, {i, 0, 0, 0})});
    EXPECT_EQ(Decode(*ctx, Section(47, Concat({structs, ScalarEntry(0x7F010014, 2)}))), 1u);
    EXPECT_EQ(ctx->item.curStructCount, 45);
    EXPECT_EQ(StructPayload(*ctx, 96), (Bytes{44, 0, 0, 0}));
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{0x7F010014, 2}}));
    // 385 scalar entries (capacity 384): the last is consumed, not written.
    Bytes scalars;
    for (uint32_t i = 0; i < 385; ++i) scalars = Concat({scalars, ScalarEntry(0x7F010001, i)});
    EXPECT_EQ(Decode(*ctx, Section(385, scalars)), 1u);
    EXPECT_EQ(ctx->item.curParamCount, 384);
    EXPECT_EQ(ctx->item.ParamAt(0).value, 383);

    // No packet fails; a packet shorter than its header holds no entries.
    EXPECT_EQ(DecodeDirectParams(*ctx, PacketView()), 0u);
    const Bytes shortPacket = {0x10, 0x00, 0x0C, 0x00, 0x0C, 0x00, 0xFE, 0xFF, 0, 0};
    EXPECT_EQ(DecodeDirectParams(*ctx, PacketView(shortPacket.data(), 10)), 1u);
    // The first section under message code 0x127E publishes nothing.
    ctx = NewContext();
    const Bytes section = Section(1, ScalarEntry(0x7F010014, 1));
    // No section: the switch stays off. Another code: published, switch still off.
    ctx->item.msgCode = kOneShotMsgCode;
    EXPECT_EQ(Decode(*ctx, Header(2, kOneShotMsgCode, 0)), 1u);
    EXPECT_EQ(Decode(*ctx, Concat({MsgCodeEntry(0x127E0001), section})), 1u);
    EXPECT_EQ(Current(*ctx).size(), 1u);
    // The code the dispatcher set counts as well as one from an entry.
    ctx->item.msgCode = kOneShotMsgCode;
    EXPECT_EQ(Decode(*ctx, section), 1u);
    EXPECT_TRUE(Current(*ctx).empty());
    EXPECT_EQ(Decode(*ctx, Concat({MsgCodeEntry(kOneShotMsgCode), section})), 1u);
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{0x7F010014, 1}}));

    auto other = NewContext();
    EXPECT_EQ(Decode(*other, Concat({MsgCodeEntry(kOneShotMsgCode), section})), 1u);
    EXPECT_TRUE(Current(*other).empty());
}

// An independent escaper for expected values: 0x7D and 0x7E become 0x7D, byte ^ 0x20; then
// the terminator.
Bytes EscapeForTest(const Bytes& in) {
    Bytes out;
    for (uint8_t b : in) {
        if (b == 0x7D || b == 0x7E)
            out.insert(out.end(), {0x7D, static_cast<uint8_t>(b ^ 0x20)});
        else
            out.push_back(b);
    }
    out.push_back(0x7E);
    return out;
}

Bytes BlockBytes(const Block& block) {
    return Bytes(block.bytes, block.bytes + block.length);
}

// Expected header of the compact form, written out field by field; the stamp bytes are those at
// packet offset 8 (zeros where the packet is too short to hold them).
Bytes CompactHeader(uint16_t n, const Bytes& dispatched, const ItemTime& t, uint16_t direction,
                    uint32_t msgCode, uint32_t sectionBytes) {
    Bytes b{0x10, 0x00};
    for (uint16_t h : {n, n, uint16_t{0xFFFE}}) PutU16(b, h);
    for (size_t i = 8; i < 16; ++i) b.push_back(i < dispatched.size() ? dispatched[i] : 0);
    const auto s = static_cast<uint32_t>(t.seconds), us = static_cast<uint32_t>(t.microseconds);
    for (uint32_t w : {0xFF0F0000u, 4u, 1u, 0xFF0F0001u, 8u, s, us, 0xFF0F0002u, 2u}) PutU32(b, w);
    PutU16(b, direction);
    for (uint32_t w : {0xFF0F0003u, 4u, msgCode, 0xFF0F0004u, 4u, sectionBytes}) PutU32(b, w);
    return b;
}

TEST(Reencode, CompactFormCarriesTheFreshScalarsAndItsSectionOnlyWithACurrentList) {
    // Stamp ticks 0x7E put a 0x7E at packet offset 10, so the escaped form is one byte longer
    // before byte 16 than the unescaped one.
    const Bytes dispatched = Dispatched(LogPacket(0x1020, {0xAA, 0xBB}, 0x7E));
    auto ctx = NewContext(0xB101, dispatched);
    ctx->item.msgCode = 0xB1011020;
    ctx->item.time = ItemTime{315964801, 250000};
    {
        ParamRun run(*ctx);
        run.Set(Param(0x7F010001), 1500), run.Set(Param(0x7F018328), 9),
            run.Set(Param(0x7F010014), 1);
    }
    ctx->item.ParamAt(Param(0x7F018328).offset).state = TESSAVO_STATE_CLEARED;
    ASSERT_EQ(ctx->item.curParamCount, 3);

    // Three current, two of them Fresh: K = 2, P = 12 + 24 = 36, N = 80 + 36 = 116.
    Bytes expected = CompactHeader(116, dispatched, ctx->item.time, 2, 0xB1011020, 36);
    for (uint32_t w : {0xFF0F0010u, 4u, 2u, 0x7F010001u, 4u, 1500u, 0x7F010014u, 4u, 1u})
        PutU32(expected, w);
    expected = Concat({expected, Bytes(dispatched.end() - 3, dispatched.end() - 1)});  // its CRC
    ASSERT_EQ(expected.size(), 116u);

    std::vector<uint8_t> form(kCompactMaxLength);
    EXPECT_EQ(BuildCompactForm(*ctx, form.data()), 116u);
    EXPECT_EQ(Bytes(form.begin(), form.begin() + 116), expected);

    const Bytes frame = Frame(LogPacket(0x1020, {0xAA, 0xBB}, 0x7E));
    Reencode(*ctx, frame.data(), static_cast<uint32_t>(frame.size()));
    const Bytes escaped = EscapeForTest(expected);
    EXPECT_EQ(BlockBytes(ctx->item.zelSimple), escaped);

    // Payload: four 0xFF bytes, then the escaped form from its byte 16, length N' - 15.
    const Bytes payload = BlockBytes(ctx->item.payload);
    ASSERT_EQ(payload.size(), escaped.size() - 15);
    EXPECT_EQ(Bytes(payload.begin(), payload.begin() + 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(payload.begin() + 4, payload.end()),
              Bytes(escaped.begin() + 16, escaped.begin() + 16 + (payload.size() - 4)));
    // The section is absent only when the current list is empty.
    const Bytes command = Dispatched(CommandPacket(0x3F, {0x05}));
    for (bool withCleared : {false, true}) {
        const uint16_t n = withCleared ? 92 : 80;  // header 78 + section 12 (when present) + CRC 2
        auto ctx = NewContext(0xB101, command);
        ctx->item.msgCode = 0xB1011000;
        ctx->item.direction = 1;
        if (withCleared) {
            // A current list holding one cleared parameter: the section with K = 0.
            ParamRun run(*ctx);
            run.Set(Param(0x7F010014), 1);
            run.Finish();
            ctx->item.ParamAt(304).state = TESSAVO_STATE_CLEARED;
        }
        Bytes expected = CompactHeader(n, command, ctx->item.time, 1, 0xB1011000, n - 80);
        if (withCleared)
            for (uint32_t w : {0xFF0F0010u, 4u, 0u}) PutU32(expected, w);
        expected = Concat({expected, Bytes(command.end() - 3, command.end() - 1)});
        std::vector<uint8_t> form(kCompactMaxLength);
        EXPECT_EQ(BuildCompactForm(*ctx, form.data()), n);
        EXPECT_EQ(Bytes(form.begin(), form.begin() + n), expected);
    }
}

// The pass-through of an ordinary frame is checked through the exports (round-trip tests).
TEST(Reencode, IdentityHalvesAndFormsLongerThanTheBlock) {
    // Module type << 16 + code: negative, the low half. Log code in the upper half: positive,
    // the high half. The three fixed command codes give their high half; a neighbour of one
    // follows the sign rule.
    // clang-format off
    const std::pair<uint32_t, uint16_t> cases[] = {{0xB1011020, 0x1020}, {0xB101DD4B, 0xDD4B},
        {0x10070700, 0x1007}, {0x7FFFFFFF, 0x7FFF}, {0x80001234, 0x1234}, {0xDD4B0000, 0xDD4B},
        {0xDD3F0000, 0xDD3F}, {0xEEAA0001, 0xEEAA}, {0xDD4B0001, 0x0001}};
    // clang-format on
    for (const auto& [code, identity] : cases) EXPECT_EQ(ReencodeIdentity(code), identity) << code;
    int count = 0;
    for (uint32_t j = 0; j <= 0xFFFF; ++j) count += IsPassThroughIdentity(static_cast<uint16_t>(j));
    EXPECT_EQ(count, 57);
    for (uint16_t j : {0x1004, 0x1007, 0x1145, 0x1FFB, 0x3079, 0xDD3F, 0xEEAA})
        EXPECT_TRUE(IsPassThroughIdentity(j)) << j;
    for (uint16_t j : {0x1000, 0x1062, 0x1146, 0xFFFE}) EXPECT_FALSE(IsPassThroughIdentity(j)) << j;
    auto frameCtx = NewContext(0xB101, Dispatched(LogPacket(0x1007, {0x7E, 0x07, 0x7D}, 800)));
    frameCtx->item.msgCode = 0x10070700;
    Bytes big(6000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
    Reencode(*frameCtx, big.data(), static_cast<uint32_t>(big.size()));
    EXPECT_EQ(BlockBytes(frameCtx->item.zelSimple), Bytes(big.begin(), big.begin() + 5120));

    const Bytes dispatched = Dispatched(LogPacket(0x1020, {}, 1));
    auto ctx = NewContext(0xB101, dispatched);
    ctx->item.msgCode = 0xB1011020;
    // Every slot Fresh with a value whose four bytes all need escaping.
    uint16_t runCount = 0;
    for (int slot = 0; slot < kParamCount; ++slot) {
        const auto offset = static_cast<uint16_t>(slot * kParamRecordSize);
        SetParam(*ctx, offset, ParamIdOfSlot(slot), 0x7E7E7E7E, runCount);
    }
    ctx->item.curParamCount = runCount;
    ASSERT_EQ(runCount, kParamCount);
    std::vector<uint8_t> form(kCompactMaxLength);
    const size_t n = BuildCompactForm(*ctx, form.data());
    ASSERT_EQ(n, kCompactMaxLength);  // 80 + 12 + 384 * 12 = 4700
    const Bytes escaped = EscapeForTest(Bytes(form.begin(), form.begin() + n));
    ASSERT_GT(escaped.size(), 4700u + 384u * 4u);

    Reencode(*ctx, nullptr, 0);
    const Bytes zel = BlockBytes(ctx->item.zelSimple);
    ASSERT_EQ(zel.size(), 5120u);
    EXPECT_EQ(Bytes(zel.begin(), zel.end() - 1), Bytes(escaped.begin(), escaped.begin() + 5119));
    EXPECT_EQ(zel.back(), 0x7E);
    const Bytes payload = BlockBytes(ctx->item.payload);
    ASSERT_EQ(payload.size(), 5105u);
    EXPECT_EQ(Bytes(payload.begin() + 4, payload.end()),
              Bytes(zel.begin() + 16, zel.begin() + 16 + 5101));
}

}  // namespace
}  // namespace tessavo::test
