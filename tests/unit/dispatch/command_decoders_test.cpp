// The command-response decoders, each run on a fresh context the way the dispatcher runs it.
#include "dispatch/command_decoders.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "params/param_lists.h"
#include "support/packet_builder.h"

namespace tessavo::test {
namespace {

constexpr uint32_t kModule = 0xB101;
constexpr uint32_t kVoiceStateId = 0x7F010014;
constexpr uint32_t kRadioConfigId = 0x7F1C0001;
constexpr uint32_t kCallStateId = 0x7F1C8001;
constexpr uint16_t kBlob4B = 3699;  // area offset of 0x7F0107F8
constexpr uint16_t kBlob20 = 3727;  // area offset of 0x7F0107F9

using Decoder = uint32_t (*)(DecoderContext&, PacketView);

struct Scalar {
    uint32_t id;
    int32_t value;
    bool operator==(const Scalar&) const = default;
};

// A context as the dispatcher hands it over: module type set, lists reset.
std::unique_ptr<DecoderContext> NewContext(uint32_t moduleType = kModule) {
    auto ctx = std::make_unique<DecoderContext>();
    ctx->moduleType = moduleType;
    ResetParamLists(*ctx);
    return ctx;
}

uint32_t RunCommand(DecoderContext& ctx, Decoder decoder, uint8_t command, const Bytes& body) {
    const Bytes packet = Dispatched(CommandPacket(command, body));
    return decoder(ctx, PacketView(packet.data(), static_cast<int32_t>(packet.size())));
}

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

// ---- 0x20 ----

TEST(Command20, PublishesTheTwoBytesAfterTheCommandAsBlob) {
    auto ctx = NewContext();
    EXPECT_EQ(RunCommand(*ctx, DecodeCommand20, 0x20, {0x12, 0x34, 0x56}), 1u);
    ASSERT_EQ(ctx->item.curStructCount, 1);
    EXPECT_EQ(ctx->item.curStructList[0], kBlob20);
    StructRecordView rec = ctx->item.StructAt(kBlob20);
    EXPECT_EQ(rec.State(), TESSAVO_STATE_FRESH);
    EXPECT_EQ(rec.Id(), 0x7F0107F9u);
    EXPECT_EQ(StructPayload(*ctx, kBlob20), (Bytes{0x12, 0x34}));
    EXPECT_TRUE(Current(*ctx).empty());
}

// ---- 0x3F ----

struct RadioConfigCase {
    uint8_t byte1;
    int32_t expected;
};

class Command3FMapping : public ::testing::TestWithParam<RadioConfigCase> {};

TEST_P(Command3FMapping, LowNibbleMapsToRadioConfig) {
    auto ctx = NewContext(kModule);
    EXPECT_EQ(RunCommand(*ctx, DecodeCommand3F, 0x3F, {GetParam().byte1, 0x00}), 1u);
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{kRadioConfigId, GetParam().expected}}));
}

INSTANTIATE_TEST_SUITE_P(Nibbles, Command3FMapping,
                         ::testing::Values(RadioConfigCase{0x27, 3},  // k = 7, high nibble ignored
                                           RadioConfigCase{0x05, 1}, RadioConfigCase{0x16, 2},
                                           RadioConfigCase{0x0A, 4}, RadioConfigCase{0x0B, 0},
                                           RadioConfigCase{0x00, 0}, RadioConfigCase{0xF8, 0}));

TEST(Command3F, OtherModuleTypesAreAcceptedWithoutParameters) {
    for (uint32_t module : {0xB200u, 0xB20Au, 0xB20Bu}) {
        auto ctx = NewContext(module);
        EXPECT_EQ(RunCommand(*ctx, DecodeCommand3F, 0x3F, {0x27}), 1u) << module;
        EXPECT_TRUE(Current(*ctx).empty()) << module;
    }
}

// ---- 0x4B ----

struct StatusCase {
    uint32_t word;
    int32_t expected;
};

class Command4BStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(Command4BStatus, StatusWordMapsToRadioConfig) {
    auto ctx = NewContext();
    ctx->item.msgCode = 0x12345678;  // the status form sets the code again
    Bytes body{0x0F, 0x00, 0x00};
    PutU32(body, GetParam().word);
    EXPECT_EQ(RunCommand(*ctx, DecodeCommand4B, 0x4B, body), 1u);
    EXPECT_EQ(ctx->item.msgCode, 0xB101DD4Bu);
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{kRadioConfigId, GetParam().expected}}));
}

INSTANTIATE_TEST_SUITE_P(Words, Command4BStatus,
                         ::testing::Values(StatusCase{0, 0}, StatusCase{1, 1}, StatusCase{2, 1},
                                           StatusCase{3, 4}, StatusCase{4, 0}, StatusCase{5, 2},
                                           StatusCase{6, 0}, StatusCase{0xFFFFFFFF, 0}));

struct SilentCase {
    const char* name;
    Bytes body;
};

class Command4BSilent : public ::testing::TestWithParam<SilentCase> {};

// Forms that publish nothing; the message code the dispatcher set stays (the status form
// writes the same code again).
TEST_P(Command4BSilent, PublishesNothing) {
    auto ctx = NewContext();
    ctx->item.msgCode = 0xB101DD4B;
    EXPECT_EQ(RunCommand(*ctx, DecodeCommand4B, 0x4B, GetParam().body), 1u);
    EXPECT_EQ(ctx->item.msgCode, 0xB101DD4Bu);
    EXPECT_TRUE(Current(*ctx).empty());
    EXPECT_EQ(ctx->item.curStructCount, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Command4BSilent,
    ::testing::Values(SilentCase{"StatusByte2Set", {0x0F, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00}},
                      SilentCase{"StatusByte3Set", {0x0F, 0x00, 0x02, 0x03, 0x00, 0x00, 0x00}},
                      // 0x4B 0x0F 0x00 + CRC + 0x7E: L = 6, below the status form's 7 bytes
                      SilentCase{"StatusTooShort", {0x0F, 0x00}},
                      SilentCase{"CallStatsWrongCommand", {0x0D, 0x65, 0x00, 0x00, 0x01}},
                      SilentCase{"CallStatsStatusSet", {0x0D, 0x64, 0x00, 0x01, 0x01}},
                      SilentCase{"OtherSubsystem", {0x12, 0x64, 0x00, 0x00, 0x01}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Command4B, CallStatsFormRenamesAndPublishesTwelveByteBlob) {
    auto ctx = NewContext();
    ctx->item.msgCode = 0xB101DD4B;
    Bytes body{0x0D};
    PutU16(body, 100);
    PutU8(body, 0x00);
    PutU8(body, 0x07);         // f
    PutU32(body, 0x11223344);  // g
    PutU32(body, 0x55667788);  // h
    EXPECT_EQ(RunCommand(*ctx, DecodeCommand4B, 0x4B, body), 1u);
    EXPECT_EQ(ctx->item.msgCode, 0xB101304Bu);
    ASSERT_EQ(ctx->item.curStructCount, 1);
    EXPECT_EQ(ctx->item.curStructList[0], kBlob4B);
    EXPECT_EQ(ctx->item.StructAt(kBlob4B).Id(), 0x7F0107F8u);
    EXPECT_EQ(StructPayload(*ctx, kBlob4B),
              (Bytes{0x07, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55}));
    EXPECT_TRUE(Current(*ctx).empty());
}

TEST(Command4B, CallStatsFieldsPastThePacketEndStayZero) {
    // Packet 4B 0D 64 00 00 09, CRC, 7E: nine bytes, so the 32-bit g at offset 6 finds only 24
    // bits and g and h keep their empty 32-bit temporary.
    auto ctx = NewContext();
    EXPECT_EQ(RunCommand(*ctx, DecodeCommand4B, 0x4B, {0x0D, 0x64, 0x00, 0x00, 0x09}), 1u);
    EXPECT_EQ(StructPayload(*ctx, kBlob4B), (Bytes{0x09, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// ---- 0x5D, 0x73 ----

TEST(Command5D, PublishesCallStateOne) {
    auto ctx = NewContext();
    EXPECT_EQ(RunCommand(*ctx, DecodeCommand5D, 0x5D, {0x00}), 1u);
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{kCallStateId, 1}}));
}

struct Case73 {
    const char* name;
    Bytes body;
    int32_t expected;
};

class Command73 : public ::testing::TestWithParam<Case73> {};

TEST_P(Command73, CallStateFromSecondWord) {
    auto ctx = NewContext();
    EXPECT_EQ(RunCommand(*ctx, DecodeCommand73, 0x73, GetParam().body), 1u);
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{kCallStateId, GetParam().expected}}));
}

INSTANTIATE_TEST_SUITE_P(
    Words, Command73,
    ::testing::Values(Case73{"YZero", Concat({{0, 0, 0}, {9, 0, 0, 0}, {0, 0, 0, 0}}), 1},
                      Case73{"YFive", Concat({{0, 0, 0}, {0, 0, 0, 0}, {5, 0, 0, 0}}), 0},
                      Case73{"YHighByte", Concat({{0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0x80}}), 0},
                      // y lies past the end (L = 11): it keeps the 32-bit temporary, which holds x
                      Case73{"ShortYTakesX", Concat({{0, 0, 0}, {7, 0, 0, 0}}), 0},
                      Case73{"ShortXZero", Concat({{0, 0, 0}, {0, 0, 0, 0}}), 1}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- 0x60 event report ----

// One event with a full (8-byte) time stamp and flags 6: a length byte, then the payload.
Bytes FullEvent(uint16_t id, const Bytes& payload) {
    Bytes e{static_cast<uint8_t>(id), static_cast<uint8_t>(0x60 | ((id >> 8) & 0x0F))};
    e.insert(e.end(), 8, 0xAB);
    e.push_back(static_cast<uint8_t>(payload.size()));
    e.insert(e.end(), payload.begin(), payload.end());
    return e;
}

// One event with a truncated (2-byte) time stamp and the given flags (8 to 15).
Bytes ShortEvent(uint16_t id, uint8_t flags, const Bytes& rest) {
    Bytes e{static_cast<uint8_t>(id), static_cast<uint8_t>((flags << 4) | ((id >> 8) & 0x0F))};
    e.insert(e.end(), 2, 0xCD);
    e.insert(e.end(), rest.begin(), rest.end());
    return e;
}

// The event report body: the u16 total (length of the event area), then the events.
Bytes EventReport(const Bytes& events, int totalAdjust = 0) {
    Bytes body;
    PutU16(body, static_cast<uint16_t>(static_cast<int>(events.size()) + totalAdjust));
    body.insert(body.end(), events.begin(), events.end());
    return body;
}

Bytes U32Bytes(uint32_t v) {
    Bytes b;
    PutU32(b, v);
    return b;
}

struct EventCase {
    const char* name;
    Bytes body;
    std::vector<Scalar> expected;
};

class Command60 : public ::testing::TestWithParam<EventCase> {};

TEST_P(Command60, VoiceStateFromEvent1A2) {
    auto ctx = NewContext();
    EXPECT_EQ(RunCommand(*ctx, DecodeCommand60, 0x60, GetParam().body), 1u);
    EXPECT_EQ(Current(*ctx), GetParam().expected);
}

const std::vector<Scalar> kVoiceOn = {{kVoiceStateId, 1}};
const std::vector<Scalar> kVoiceOff = {{kVoiceStateId, 0}};
const std::vector<Scalar> kNothing = {};

INSTANTIATE_TEST_SUITE_P(
    Events, Command60,
    ::testing::Values(
        EventCase{"PayloadTwo", EventReport(FullEvent(0x1A2, U32Bytes(2))), kVoiceOn},
        EventCase{"PayloadFour", EventReport(FullEvent(0x1A2, U32Bytes(4))), kVoiceOn},
        EventCase{"PayloadZero", EventReport(FullEvent(0x1A2, U32Bytes(0))), kVoiceOff},
        EventCase{"PayloadThree", EventReport(FullEvent(0x1A2, U32Bytes(3))), kNothing},
        EventCase{"OtherEvent", EventReport(FullEvent(0x1A3, U32Bytes(2))), kNothing},
        EventCase{"TwoBytePayload", EventReport(FullEvent(0x1A2, {2, 0})), kNothing},
        // a later event with an unknown value leaves the earlier one's
        EventCase{
            "LaterThreeKeepsZero",
            EventReport(Concat({FullEvent(0x1A2, U32Bytes(0)), FullEvent(0x1A2, U32Bytes(3))})),
            kVoiceOff},
        EventCase{
            "LastWins",
            EventReport(Concat({FullEvent(0x1A2, U32Bytes(0)), FullEvent(0x1A2, U32Bytes(4))})),
            kVoiceOn},
        // events before it are walked over by their own lengths
        EventCase{
            "AfterOneByteEvent",
            EventReport(Concat({ShortEvent(0x010, 10, {0x55}), FullEvent(0x1A2, U32Bytes(2))})),
            kVoiceOn},
        EventCase{"TruncatedStampWithLengthByte",
                  EventReport(ShortEvent(0x1A2, 14, Concat({{4}, U32Bytes(2)}))), kVoiceOn},
        // flags 1 (full stamp, no length rule) keep the previous event's payload length, 4
        EventCase{"FlagsOneKeepsPreviousLength",
                  EventReport(Concat({FullEvent(0x0FF, U32Bytes(9)),
                                      Concat({{0xA2, 0x11}, Bytes(8, 0xAB), U32Bytes(0)})})),
                  kVoiceOff},
        EventCase{"TotalBelowTwo", Bytes{0x01, 0x00, 0xA2, 0x61}, kNothing},
        // the area claims more bytes than the packet has
        EventCase{"TotalBeyondPacket", EventReport(FullEvent(0x1A2, U32Bytes(2)), 200), kNothing},
        // the payload of the event would end after the event area
        EventCase{"PayloadPastArea", EventReport(FullEvent(0x1A2, U32Bytes(2)), -4), kNothing}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- 0x79 extended debug message ----

Bytes DebugMessage(const std::string& text, uint8_t argCount = 0) {
    Bytes body{0x00, argCount, 0x02};
    PutU64(body, 0x0123456789ABCDEFull);  // time stamp
    PutU16(body, 0x1111);                 // discarded
    PutU16(body, 42);                     // line
    PutU32(body, 0xDEADBEEF);             // file
    for (uint8_t i = 0; i < argCount; ++i) PutU32(body, 0x7E7E7E7Eu + i);
    body.insert(body.end(), text.begin(), text.end());
    body.push_back(0);  // the text is zero-terminated
    return body;
}

Bytes WithArgCount(Bytes body, uint8_t argCount) {
    body[1] = argCount;
    return body;
}

struct DebugCase {
    const char* name;
    Bytes body;
    uint32_t expected;
};

class Command79 : public ::testing::TestWithParam<DebugCase> {};

TEST_P(Command79, OnlyThePlayoutTextYieldsAnItem) {
    auto ctx = NewContext();
    EXPECT_EQ(RunCommand(*ctx, DecodeCommand79, 0x79, GetParam().body), GetParam().expected);
    EXPECT_TRUE(Current(*ctx).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Command79,
    ::testing::Values(DebugCase{"Playout", DebugMessage("Voice:: Media Start Playout"), 1},
                      DebugCase{"PlayoutAfterArguments",
                                DebugMessage("Voice:: Media Start Playout", 3), 1},
                      DebugCase{"PlayoutWithTail", DebugMessage("Voice:: Media Start Playout!"), 0},
                      DebugCase{"Prefix", DebugMessage("Voice:: Media Start"), 0},
                      DebugCase{"OtherCase", DebugMessage("voice:: media start playout"), 0},
                      DebugCase{"Empty", DebugMessage(""), 0},
                      // a text longer than the 256 stored bytes is compared within them only
                      DebugCase{"LongText", DebugMessage(std::string(400, 'A')), 0},
                      // more arguments announced than present: the text is never reached
                      DebugCase{"ArgumentsPastEnd",
                                WithArgCount(DebugMessage("Voice:: Media Start Playout"), 200), 0},
                      DebugCase{"HeaderOnly", Bytes{0x00, 0x00}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- 0xDD ----

TEST(CommandDD, SetsDebugMessageCode) {
    auto ctx = NewContext();
    ctx->item.msgCode = 0xB101DDDD;
    EXPECT_EQ(RunCommand(*ctx, DecodeCommandDD, 0xDD, {0x01, 0x02}), 1u);
    EXPECT_EQ(ctx->item.msgCode, 0xEEAA0001u);
    EXPECT_TRUE(Current(*ctx).empty());
}

TEST(CommandDD, RefusesAPacketNotStartingWithItsCommand) {
    auto ctx = NewContext();
    EXPECT_EQ(RunCommand(*ctx, DecodeCommandDD, 0xDC, {0x01}), 0u);
}

// ---- Lists: a command that publishes turns the previous packet's values inherited ----

TEST(CommandDecoders, PublishedValueBecomesInheritedAtTheNextPacket) {
    auto ctx = NewContext();
    RunCommand(*ctx, DecodeCommand5D, 0x5D, {});
    ResetParamLists(*ctx);
    RunCommand(*ctx, DecodeCommand3F, 0x3F, {0x05});
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{kRadioConfigId, 1}}));
    ASSERT_EQ(ctx->item.inhParamCount, 1);
    const DecodeParam& inherited = ctx->item.ParamAt(ctx->item.inhParamList[0]);
    EXPECT_EQ(inherited.id, kCallStateId);
    EXPECT_EQ(inherited.state, TESSAVO_STATE_INHERITED);
    EXPECT_EQ(inherited.value, 1);
}

}  // namespace
}  // namespace tessavo::test
