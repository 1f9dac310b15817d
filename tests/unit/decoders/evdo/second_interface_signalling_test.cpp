// Second-interface signalling logs 0x1078, 0x1079, 0x107C.
#include "decoders/evdo/second_interface_signalling.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/bit_writer.h"
#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

struct HeaderFields {
    uint8_t band = 1;
    uint16_t channel = 225;
    uint16_t sector = 78;
    uint8_t byte7 = 0;
    uint8_t b8 = 0xFF, b9 = 0xFF;
    uint8_t identifier = 0;
    uint8_t subKind = 0;
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

// ---- 0x107C overhead message with the traffic flags ----

// Word LSB-first, three big-endian words, then the flag groups MSB-first.
Bytes TrafficFlags(int m, uint64_t flags, int g, int m2, uint64_t flags2) {
    BitWriter w;
    w.Lsb(0x02EF, 16).Raw({0x60, 0x01, 0x00, 0x1C, 0x02, 0x2F});
    w.Msb(0, 1).Msb(static_cast<uint64_t>(m), 6).Msb(flags, m).Msb(static_cast<uint64_t>(g), 1);
    if (g == 1) w.Msb(static_cast<uint64_t>(m2), 6).Msb(flags2, m2);
    w.Msb(0, 1);
    return w.Bytes();
}

const HeaderFields kQuickConfig = {.identifier = 15, .subKind = 0};

TEST(Signalling107C, CountsTheSetTrafficFlags) {
    const std::pair<Bytes, int32_t> cases[] = {
        // count 0: not published
        {TrafficFlags(3, 0b101, 1, 5, 0b11111), 7},
        {TrafficFlags(2, 0b11, 0, 0, 0), 2},  // without G the second group is not there
        {TrafficFlags(4, 0, 1, 3, 0), 0},
        {TrafficFlags(63, ~0ull, 1, 63, 1), 64}};
    for (const auto& [body, count] : cases) {
        RecordHarness h;
        h.Log(0x107C, Message(kQuickConfig, body), {HandleSignalling107C}, 0x107C0F00);
        const Ids ids = h.Current();
        const bool published = std::find(ids.begin(), ids.end(), 0x7F01830Bu) != ids.end();
        EXPECT_EQ(published, count != 0) << count;
        if (published) {
            EXPECT_EQ(h.Value(0x7F01830B), count);
        }
    }
}

TEST(Signalling107C, SectorRecordAndReferences) {
    RecordHarness h;
    h.Ctx().marker107C = 0x12340000;
    h.Ctx().channelState = 2;
    h.Log(0x107C, Message(kQuickConfig, TrafficFlags(1, 1, 0, 0, 0)), {HandleSignalling107C},
          0x107C0F00);
    h.ExpectCurrent({{0x7F01C102, 0},
                     {0x7F010014, 1},
                     {0x7F01800D, 225},
                     {0x7F01800E, 1},
                     {0x7F01800F, 78},
                     {0x7F01830B, 1}});
    EXPECT_EQ(h.Ctx().referenceValue, 225);
    EXPECT_EQ(h.Ctx().referenceSector, 78);
    EXPECT_EQ(h.Ctx().marker107C, 0x123400E1);
    EXPECT_EQ(h.Ctx().channelState, 0);
}

TEST(Signalling107C, UnknownSectorLeavesTheReferencesAnd1504MarksFirst) {
    RecordHarness h;
    h.Log(0x107C, Message({.sector = 65535, .identifier = 11}, {1, 2, 3}), {HandleSignalling107C},
          0x107C0B00);
    EXPECT_EQ(h.Current(), (Ids{0x7F01C102, 0x7F010014}));
    EXPECT_EQ(h.Ctx().referenceValue, kNoValue);
    EXPECT_EQ(h.Ctx().referenceSector, kNoValue);
    EXPECT_EQ(h.Ctx().marker107C, 55537);
    h.Log(0x107C, Message({.identifier = 21, .subKind = 4}, {0}), {HandleSignalling107C},
          0x107C1504);
    EXPECT_EQ(h.Current(),
              (Ids{0x7F01C102, 0x7F010014, 0x7F010017, 0x7F01800D, 0x7F01800E, 0x7F01800F}));
    EXPECT_EQ(h.Value(0x7F010017), 2);
}

// ---- Messages shared with 0x1076 / 0x1077 ----

TEST(SignallingMessages, ValueMessagesOfTheOtherLogs) {
    const HeaderFields f = {.identifier = 16, .subKind = 1};
    RecordHarness h;
    h.Log(0x107C, Message(f, {33}), {HandleSignalling107C}, 0x107C1001);
    EXPECT_EQ(h.Value(0x7F018012), 33);
    h.Log(0x1078, Message(f, {34}), {HandleSignalling1078}, 0x10781001);
    h.ExpectCurrent({{0x7F01C102, 0}, {0x7F010014, 1}, {0x7F018012, 34}});
    // 0x1079 carries the value message under another code only.
    h.Log(0x1079, Message(f, {35}), {HandleSignalling1079}, 0x10791001);
    EXPECT_EQ(h.Current(), (Ids{0x7F01C102, 0x7F010014}));
    h.Log(0x1079, Message({.identifier = 13}, {0xE0}), {HandleSignalling1079}, 0x10790D00);
    h.ExpectCurrent({{0x7F01C102, 0}, {0x7F010014, 1}, {0x7F018011, 7}});
}

TEST(SignallingMessages, Log1078RestatesTheCarrierModeAndIdleClearsTheTrafficValues) {
    RecordHarness h;
    h.Log(0x1078, Message({}), {HandleSignalling1078}, 0x10780000);
    EXPECT_EQ(h.Current(), (Ids{0x7F01C102, 0x7F010014}));
    h.Preset(0x7F01830A, 2);
    h.Log(0x1078, Message({}), {HandleSignalling1078}, 0x10780000);
    h.ExpectCurrent({{0x7F01C102, 0}, {0x7F010014, 1}, {0x7F01830A, 2}});
    EXPECT_EQ(h.State(0x7F01830A), 1);
    h.Preset(0x7F010003, 20000);
    h.Ctx().channelState = 2;
    h.Log(0x1079, Message({}), {HandleSignalling1079}, 0x10790000);
    EXPECT_EQ(h.State(0x7F01830A), 0);  // the other two logs leave it inherited
    EXPECT_EQ(h.Ctx().channelState, 0);
    EXPECT_EQ(h.Current(), (Ids{0x7F01C102, 0x7F010014, 0x7F010003}));
    EXPECT_EQ(h.State(0x7F010003), -1);
}

// ---- Multi-pilot assignment ----

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

// Set header words (channel, 1, pilots, pilots kept), then 16-byte slots of pn, mac, drc,
// softer.
std::vector<uint32_t> SetWords(const RecordHarness& h, size_t set, size_t slots) {
    return h.StructWords(kAssignment, 4 + 112 * set, 4 + 4 * slots);
}

TEST(PilotAssignment, SetsAndAtMostSixPilots) {
    using Route = std::pair<int, LogHandler>;
    for (auto [logCode, handler] :
         {Route{0x1078, HandleSignalling1078}, Route{0x1079, HandleSignalling1079},
          Route{0x107C, HandleSignalling107C}}) {
        RecordHarness h;
        const uint32_t code = (static_cast<uint32_t>(logCode) << 16) + 0x1E01;
        h.Log(static_cast<uint16_t>(logCode), Assignment(true), {handler}, code);
        ASSERT_EQ(h.CurrentStructs(), Ids{kAssignment}) << std::hex << logCode;
        EXPECT_EQ(h.Struct(kAssignment).Length(), 1804u);
        EXPECT_EQ(h.StructAt<uint32_t>(kAssignment, 0), 2u);
        EXPECT_EQ(SetWords(h, 0, 5),
                  (std::vector<uint32_t>{500, 1,  4, 4, 100, 10, 1, 0, 200, 11, 2, 1,
                                         300, 12, 3, 0, 400, 13, 4, 1, 0,   0,  0, 0}));
        // The seventh pilot is not stored.
        EXPECT_EQ(SetWords(h, 1, 3),
                  (std::vector<uint32_t>{525, 1, 3, 2, 110, 20, 5, 0, 210, 21, 6, 1, 0, 0, 0, 0}));
        EXPECT_EQ(h.StructAt<uint32_t>(kAssignment, 4 + 112 * 2), 0u);
        EXPECT_EQ(h.StructWords(kAssignment, 1796, 2), (std::vector<uint32_t>{0xB8, 0xB9}));
    }
}

TEST(PilotAssignment, MessageCutShortKeepsTheCompleteSetsOtherMessagesWriteNone) {
    RecordHarness h;
    h.Log(0x1078, Assignment(false), {HandleSignalling1078}, 0x10781E01);
    EXPECT_EQ(h.StructAt<uint32_t>(kAssignment, 0), 1u);
    EXPECT_EQ(SetWords(h, 0, 4)[19], 1u);  // the fourth pilot's softer bit
    EXPECT_EQ(h.StructAt<uint32_t>(kAssignment, 4 + 112), 0u);
    h.Log(0x1078, Assignment(true), {HandleSignalling1078}, 0x10780E01);
    EXPECT_TRUE(h.CurrentStructs().empty());
}

}  // namespace
}  // namespace tessavo::test
