// Second-interface signalling logs 0x1078, 0x1079, 0x107C.
#include <gtest/gtest.h>

#include "support/bit_writer.h"
#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

struct HeaderFields {
    uint8_t band = 1;
    uint16_t channel = 225, sector = 78;
    uint8_t byte7 = 0, b8 = 0xFF, b9 = 0xFF, identifier = 0, subKind = 0;
};
void PutHeader(BitWriter& w, const HeaderFields& f) {
    w.Lsb(f.band, 8).Lsb(f.channel, 16).Lsb(f.sector, 16).Lsb(0x0400, 16).Lsb(f.byte7, 8);
    w.Lsb(f.b8, 8).Lsb(f.b9, 8).Lsb(1, 8).Lsb(f.identifier, 8).Lsb(f.subKind, 8);
}
Bytes Message(const HeaderFields& f, const Bytes& body = {}) {
    BitWriter w;
    PutHeader(w, f);
    return Concat({w.Bytes(), body});
}
// The message code of a message of `f` in log `code`.
uint32_t Code(uint16_t code, const HeaderFields& f) {
    return static_cast<uint32_t>(code) << 16 | f.identifier << 8 | f.subKind;
}

// 0x107C overhead message: word LSB-first, three big-endian words, then the flag groups
// MSB-first (M flags, G, and when G is set M2 more flags).
Bytes TrafficFlags(int m, uint64_t flags, int g, int m2, uint64_t flags2) {
    BitWriter w;
    w.Lsb(0x02EF, 16).Raw({0x60, 0x01, 0x00, 0x1C, 0x02, 0x2F});
    w.Msb(0, 1).Msb(static_cast<uint64_t>(m), 6).Msb(flags, m).Msb(static_cast<uint64_t>(g), 1);
    if (g == 1) w.Msb(static_cast<uint64_t>(m2), 6).Msb(flags2, m2);
    w.Msb(0, 1);
    return Concat({Message({.identifier = 15}), w.Bytes()});
}

// clang-format off
TEST(Signalling107C, CountsTheSetTrafficFlagsAndSetsTheReferences) {
    const std::pair<Bytes, int32_t> cases[] = {
        {TrafficFlags(3, 0b101, 1, 5, 0b11111), 7},
        {TrafficFlags(2, 0b11, 0, 0, 0), 2},  // without G the second group is not there
        {TrafficFlags(4, 0, 1, 3, 0), 0},     // count 0: not published
        {TrafficFlags(63, ~0ull, 1, 63, 1), 64},
        {TrafficFlags(1, 1, 0, 0, 0), 1}};
    for (const auto& [payload, count] : cases) {
        RecordHarness h;
        h.Ctx().marker107C = 0x12340000;
        h.Ctx().channelState = 2;
        std::vector<int64_t> expected = {0x7F01C102, 0, 0x7F010014, 1, 0x7F01800D, 225, 0x7F01800E, 1, 0x7F01800F, 78};
        if (count != 0) expected.insert(expected.end(), {0x7F01830B, count});
        h.Steps({{0x107C, payload, expected, kKeepMode, 0, 0x107C0F00}});
        EXPECT_EQ(std::tuple(h.Ctx().referenceValue, h.Ctx().referenceSector, h.Ctx().marker107C, h.Ctx().channelState),
                  std::tuple(225, 78, 0x123400E1, 0));
    }
}

TEST(Signalling107C, UnknownSectorLeavesTheReferencesAnd1504MarksFirst) {
    const HeaderFields f1504 = {.identifier = 21, .subKind = 4};
    RecordHarness h;
    h.Steps({{0x107C, Message({.sector = 65535, .identifier = 11}, {1, 2, 3}), {0x7F01C102, 0, 0x7F010014, 1}, kKeepMode, 0, 0x107C0B00}});
    EXPECT_EQ(std::tuple(h.Ctx().referenceValue, h.Ctx().referenceSector, h.Ctx().marker107C), std::tuple(kNoValue, kNoValue, 55537));
    h.Routed(0x107C, Message(f1504, {0}), Code(0x107C, f1504));
    EXPECT_EQ(h.Current(), (Ids{0x7F01C102, 0x7F010014, 0x7F010017, 0x7F01800D, 0x7F01800E, 0x7F01800F}));
    EXPECT_EQ(h.Value(0x7F010017), 2);
}

TEST(SignallingMessages, ValueMessagesOfTheOtherLogs) {
    const HeaderFields f = {.identifier = 16, .subKind = 1}, top = {.identifier = 13};
    RecordHarness h;
    h.Routed(0x107C, Message(f, {33}), Code(0x107C, f));
    EXPECT_EQ(h.Value(0x7F018012), 33);
    h.Steps({
        {0x1078, Message(f, {34}), {0x7F01C102, 0, 0x7F010014, 1, 0x7F018012, 34}, kKeepMode, 0, Code(0x1078, f)},
        // 0x1079 carries the value message under another code only.
        {0x1079, Message(f, {35}), {0x7F01C102, 0, 0x7F010014, 1}, kKeepMode, 0, Code(0x1079, f)},
        {0x1079, Message(top, {0xE0}), {0x7F01C102, 0, 0x7F010014, 1, 0x7F018011, 7}, kKeepMode, 0, Code(0x1079, top)},
        // 0x1078 restates the carrier mode once one is known.
        {0x1078, Message({}), {0x7F01C102, 0, 0x7F010014, 1}, kKeepMode, 0, 0x10780000},
    });
    h.Preset(0x7F01830A, 2);
    h.Steps({{0x1078, Message({}), {0x7F01C102, 0, 0x7F010014, 1, 0x7F01830A, 2}, kKeepMode, 0, 0x10780000}});
    EXPECT_EQ(h.State(0x7F01830A), 1);
    // Idle on 0x1079 clears the traffic values and the carrier mode.
    h.Preset(0x7F010003, 20000);
    h.Ctx().channelState = 2;
    h.Routed(0x1079, Message({}), 0x10790000);
    EXPECT_EQ(h.State(0x7F01830A), 0);  // the other two logs leave it inherited
    EXPECT_EQ(h.Ctx().channelState, 0);
    EXPECT_EQ(h.Current(), (Ids{0x7F01C102, 0x7F010014, 0x7F010003}));
    EXPECT_EQ(h.State(0x7F010003), -1);
}

// Multi-pilot assignment: sets of a channel and pilots {pn, softer, mac, drc}.
struct PilotBits {
    uint16_t pn;
    uint8_t softer, mac, drc;
};
void PutSet(BitWriter& w, uint16_t channel, std::initializer_list<PilotBits> pilots) {
    w.Msb(0, 8).Msb(1, 5).Msb(channel, 11).Msb(pilots.size(), 3);
    for (const PilotBits& p : pilots) {
        w.Msb(p.pn, 9).Msb(p.softer, 1).Msb(p.mac, 7).Msb(p.drc, 3).Msb(2, 2).Msb(5, 3);
    }
}
Bytes Assignment(bool secondSet) {
    BitWriter w;
    PutHeader(w, {.byte7 = 0x20, .b8 = 0xB8, .b9 = 0xB9, .identifier = 14, .subKind = 1});
    w.Msb(0x11, 8).Msb(3, 4).Msb(1, 4);
    PutSet(w, 500, {{100, 0, 10, 1}, {200, 1, 11, 2}, {300, 0, 12, 3}, {400, 1, 13, 4}});
    if (secondSet) PutSet(w, 525, {{110, 0, 20, 5}, {210, 1, 21, 6}, {310, 0, 22, 7}});
    return w.Bytes();
}
constexpr uint32_t kAssignment = 0x7F0107FB;

TEST(PilotAssignment, SetsAndAtMostSixPilots) {
    for (uint16_t code : {0x1078, 0x1079, 0x107C}) {
        RecordHarness h;
        h.Routed(code, Assignment(true), (static_cast<uint32_t>(code) << 16) + 0x1E01);
        ASSERT_EQ(h.CurrentStructs(), Ids{kAssignment}) << std::hex << code;
        EXPECT_EQ(h.Struct(kAssignment).Length(), 1804u);
        // Set count; per set its header words (channel, 1, pilots, pilots kept), then 16-byte
        // slots of pn, mac, drc, softer. The seventh pilot is not stored.
        h.ExpectWords(kAssignment, 0, {2,   500, 1, 4, 4,   100, 10, 1, 0, 200, 11, 2, 1,
                                       300, 12,  3, 0, 400, 13,  4,  1, 0, 0,   0,  0});
        h.ExpectWords(kAssignment, 4 + 112,
                      {525, 1, 3, 2, 110, 20, 5, 0, 210, 21, 6, 1, 0, 0, 0, 0});
        h.ExpectWords(kAssignment, 4 + 112 * 2, {0});
        h.ExpectWords(kAssignment, 1796, {0xB8, 0xB9});
    }
    // A message cut short keeps the complete sets; other messages write none.
    RecordHarness h;
    h.Routed(0x1078, Assignment(false), 0x10781E01);
    h.ExpectWords(kAssignment, 0, {1});
    h.ExpectWords(kAssignment, 4 + 4 * 19, {1});  // the fourth pilot's softer bit
    h.ExpectWords(kAssignment, 4 + 112, {0});
    h.Routed(0x1078, Assignment(true), 0x10780E01);
    EXPECT_TRUE(h.CurrentStructs().empty());
}

}  // namespace
}  // namespace tessavo::test
