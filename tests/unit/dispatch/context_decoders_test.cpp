// The decoders the dispatcher runs on a context (command responses, the compact form) and the
// re-encoding of an accepted item.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dispatch/command_decoders.h"
#include "dispatch/direct_params.h"
#include "dispatch/reencode.h"
#include "params/param_lists.h"
#include "support/packet_builder.h"

namespace tessavo::test {
namespace {

struct Scalar {
    uint32_t id;
    int32_t value;
    bool operator==(const Scalar&) const = default;
};

// A context as the dispatcher hands it to a decoder, its lists reset.
std::unique_ptr<DecoderContext> NewContext(uint32_t module = 0xB101) {
    auto ctx = std::make_unique<DecoderContext>();
    ctx->moduleType = module;
    ResetParamLists(*ctx);
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

// ---- Command responses ----

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

Bytes U32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

// 0x4B status form: subsystem 0x0F, two status bytes, the u32 word.
Bytes Status(uint32_t word, uint8_t b2 = 0, uint8_t b3 = 0) {
    return Concat({{0x0F, b2, b3}, U32(word)});
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

TEST(CommandDecoders, PublishedScalarsAndBlobs) {
    const Bytes k4 = {0, 0, 0, 0};
    const Bytes e1A2 = Event(0x1A2, U32(2));
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
        {0x4B, Concat({{0x0D, 0x64, 0x00, 0x00, 0x07}, U32(0x11223344), U32(0x55667788)}), kNone, k304B,
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
        {0x60, Report(e1A2), 1}, {0x60, Report(Event(0x1A2, U32(4))), 1}, {0x60, Report(Event(0x1A2, k4)), 0},
        {0x60, Report(Event(0x1A2, U32(3))), kNone}, {0x60, Report(Event(0x1A3, U32(2))), kNone},
        {0x60, Report(Event(0x1A2, {2, 0})), kNone},
        {0x60, Report(Concat({Event(0x1A2, k4), Event(0x1A2, U32(3))})), 0},
        {0x60, Report(Concat({Event(0x1A2, k4), Event(0x1A2, U32(4))})), 1},
        // Events before it are walked over by their own lengths: one with a 2-byte stamp
        // (flags 10) and a 1-byte payload; flags 14 with a length byte.
        {0x60, Report(Concat({{0x10, 0xA0, 0xCD, 0xCD, 0x55}, e1A2})), 1},
        {0x60, Report(Concat({{0xA2, 0xE1, 0xCD, 0xCD, 4}, U32(2)})), 1},
        // Flags 1 (full stamp, no length byte) keep the previous event's payload length, 4.
        {0x60, Report(Concat({Event(0x0FF, U32(9)), {0xA2, 0x11}, Bytes(8, 0xAB), k4})), 0},
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

TEST(CommandDecoders, OnlyThePlayoutTextIsAccepted) {
    const std::string playout = kPlayoutText;
    const std::pair<Bytes, uint32_t> cases[] = {
        {DebugMessage(playout), 1},
        {DebugMessage(playout, 3), 1},
        {DebugMessage(playout + "!"), 0},
        {DebugMessage("Voice:: Media Start"), 0},
        {DebugMessage("voice:: media start playout"), 0},
        {DebugMessage(std::string(400, 'A')), 0},  // compared within the 256 stored bytes
        {DebugMessage(playout, 0, 200), 0},        // arguments past the end: no text
        {{0x00, 0x00}, 0},
    };
    for (const auto& [body, accepted] : cases) {
        const Outcome run = RunCommand(0x79, body);
        EXPECT_EQ(run.result, accepted) << body.size();
        EXPECT_TRUE(run.scalars.empty());
    }
}

// ---- The compact form ----

constexpr uint32_t kPresetCode = 0xB101FFFE;  // as the dispatcher sets it for log code 0xFFFE

Bytes Words(std::initializer_list<uint32_t> words) {
    Bytes b;
    for (uint32_t w : words) PutU32(b, w);
    return b;
}
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

TEST(DirectParams, Entries) {
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
        EXPECT_EQ(ctx->item.msgCode, c.msgCode);
        EXPECT_EQ(ctx->item.direction, c.direction);
        EXPECT_EQ(Current(*ctx), c.scalars);
        EXPECT_EQ(std::pair(ctx->item.time.seconds, ctx->item.time.microseconds), std::pair(5, 6));
    }
}

TEST(DirectParams, EntriesAndListsAreCutToTheirCapacity) {
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
}

TEST(DirectParams, FirstSectionUnderMessageCode127EPublishesNothing) {
    auto ctx = NewContext();
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

// ---- Re-encoding ----

// An independent escaper for expected values: 0x7D and 0x7E become 0x7D, byte ^ 0x20; then
// the terminator.
Bytes EscapeForTest(const Bytes& in) {
    Bytes out;
    for (uint8_t b : in) {
        const bool escaped = b == 0x7D || b == 0x7E;
        if (escaped) out.push_back(0x7D);
        out.push_back(escaped ? static_cast<uint8_t>(b ^ 0x20) : b);
    }
    out.push_back(0x7E);
    return out;
}

Bytes BlockBytes(const Block& block) {
    return Bytes(block.bytes, block.bytes + block.length);
}

// The context as the dispatcher leaves it when it re-encodes: the unescaped packet still held.
std::unique_ptr<DecoderContext> Holding(const Bytes& dispatched) {
    auto ctx = NewContext();
    std::copy(dispatched.begin(), dispatched.end(), ctx->packet.begin());
    ctx->packetLength = static_cast<int32_t>(dispatched.size());
    return ctx;
}

TEST(ReencodeIdentity, TakesTheHalfThatHoldsTheIdentity) {
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
}

// The pass-through of an ordinary frame is checked through the exports (round-trip tests).
TEST(Reencode, PassThroughKeepsTheReceivedFrameUpToTheBlockCapacity) {
    auto ctx = Holding(Dispatched(LogPacket(0x1007, {0x7E, 0x07, 0x7D}, 800)));
    ctx->item.msgCode = 0x10070700;
    Bytes big(6000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
    Reencode(*ctx, big.data(), static_cast<uint32_t>(big.size()));
    EXPECT_EQ(BlockBytes(ctx->item.zelSimple), Bytes(big.begin(), big.begin() + 5120));
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

Bytes CheckBytes(const Bytes& dispatched) {
    return Bytes(dispatched.end() - 3, dispatched.end() - 1);
}

TEST(Reencode, CompactFormCarriesTheFreshScalarsOnly) {
    // Stamp ticks 0x7E put a 0x7E at packet offset 10, so the escaped form is one byte longer
    // before byte 16 than the unescaped one.
    const Bytes dispatched = Dispatched(LogPacket(0x1020, {0xAA, 0xBB}, 0x7E));
    auto ctx = Holding(dispatched);
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
    expected = Concat({expected, CheckBytes(dispatched)});
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
}

TEST(Reencode, SectionIsAbsentOnlyWhenTheCurrentListIsEmpty) {
    const Bytes dispatched = Dispatched(CommandPacket(0x3F, {0x05}));
    for (bool withCleared : {false, true}) {
        const uint16_t n = withCleared ? 92 : 80;  // header 78 + section 12 (when present) + CRC 2
        auto ctx = Holding(dispatched);
        ctx->item.msgCode = 0xB1011000;
        ctx->item.direction = 1;
        if (withCleared) {
            // A current list holding one cleared parameter: the section with K = 0.
            ParamRun run(*ctx);
            run.Set(Param(0x7F010014), 1);
            run.Finish();
            ctx->item.ParamAt(304).state = TESSAVO_STATE_CLEARED;
        }
        Bytes expected = CompactHeader(n, dispatched, ctx->item.time, 1, 0xB1011000, n - 80);
        if (withCleared)
            for (uint32_t w : {0xFF0F0010u, 4u, 0u}) PutU32(expected, w);
        expected = Concat({expected, CheckBytes(dispatched)});
        std::vector<uint8_t> form(kCompactMaxLength);
        EXPECT_EQ(BuildCompactForm(*ctx, form.data()), n);
        EXPECT_EQ(Bytes(form.begin(), form.begin() + n), expected);
    }
}

TEST(Reencode, EscapedFormLongerThanTheBlockIsCutAndStaysTerminated) {
    const Bytes dispatched = Dispatched(LogPacket(0x1020, {}, 1));
    auto ctx = Holding(dispatched);
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
