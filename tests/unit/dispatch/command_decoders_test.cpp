// The command-response decoders, each run on a fresh context the way the dispatcher runs it.
#include "dispatch/command_decoders.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "params/param_lists.h"
#include "support/packet_builder.h"

namespace tessavo::test {
namespace {

constexpr uint32_t kPreset = 0x12345678;  // the message code before the decoder runs
constexpr int32_t kNone = -1;             // nothing published

struct Scalar {
    uint32_t id;
    int32_t value;
    bool operator==(const Scalar&) const = default;
};

struct Outcome {
    uint32_t result;
    std::unique_ptr<DecoderContext> ctx;
    std::vector<Scalar> scalars;
};

// Runs the decoder of `command` on a context as the dispatcher hands it over.
Outcome RunCommand(uint8_t command, const Bytes& body, uint32_t module = 0xB101) {
    Outcome run{0, std::make_unique<DecoderContext>(), {}};
    DecoderContext& ctx = *run.ctx;
    ctx.moduleType = module;
    ResetParamLists(ctx);
    ctx.item.msgCode = kPreset;
    const Bytes packet = Dispatched(CommandPacket(command, body));
    const PacketView view(packet.data(), static_cast<int32_t>(packet.size()));
    using Decoder = uint32_t (*)(DecoderContext&, PacketView);
    const std::pair<uint8_t, Decoder> decoders[] = {
        {0x20, DecodeCommand20}, {0x3F, DecodeCommand3F}, {0x4B, DecodeCommand4B},
        {0x5D, DecodeCommand5D}, {0x60, DecodeCommand60}, {0x73, DecodeCommand73},
        {0x79, DecodeCommand79}};
    Decoder decode = DecodeCommandDD;
    for (const auto& [code, d] : decoders) decode = code == command ? d : decode;
    run.result = decode(ctx, view);
    for (int i = 0; i < ctx.item.curParamCount; ++i) {
        const DecodeParam& p = ctx.item.ParamAt(ctx.item.curParamList[i]);
        EXPECT_EQ(p.state, TESSAVO_STATE_FRESH);
        run.scalars.push_back({p.id, p.value});
    }
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
    struct Case {
        uint8_t command;
        Bytes body;
        int32_t value;  // of the one parameter the command publishes, or kNone
        uint32_t msgCode = kPreset;
        uint32_t blobId = 0;  // of the one structured record published, 0 for none
        Bytes blob = {};
    };
    const Bytes k4 = {0, 0, 0, 0};
    const Bytes e1A2 = Event(0x1A2, U32(2));
    const uint32_t kDD4B = 0xB101DD4B, k304B = 0xB101304B;
    // clang-format off
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
        StructRecordView rec = run.ctx->item.StructAt(run.ctx->item.curStructList[0]);
        EXPECT_EQ(rec.Id(), c.blobId);
        EXPECT_EQ(rec.State(), TESSAVO_STATE_FRESH);
        EXPECT_EQ(Bytes(rec.Payload(), rec.Payload() + rec.Length()), c.blob);
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

}  // namespace
}  // namespace tessavo::test
