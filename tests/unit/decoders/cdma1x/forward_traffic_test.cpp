#include "decoders/cdma1x/forward_traffic.h"

#include <gtest/gtest.h>

#include <string>

#include "support/bit_writer.h"
#include "unit/decoders/decoder_test_util.h"

namespace tessavo::test {
namespace {

// Every forward traffic message starts the list with these.
const Ids kPrologue = {0x7F01C102, 0x7F01C103, 0x7F010014};

BitWriter& Header(BitWriter& w, uint8_t length, uint8_t type, uint8_t msgSeq = 3) {
    return w.Msb(length, 8).Msb(type, 8).Msb(1, 3).Msb(msgSeq, 3).Msb(1, 1).Msb(0, 2);
}

void RunForward(DecoderContext& ctx, uint32_t msgCode, BitWriter& w) {
    w.Msb(0, 24);
    RunLog(ctx, 0x1008, w.Bytes(), {HandleForwardTraffic}, msgCode);
}

TEST(ForwardTraffic, Order21Qualifier) {
    const struct {
        uint8_t order, recordLength;
        Values tail;
    } cases[] = {{21, 1, {{0x7F01031E, 0x55}}}, {21, 0, {{0x7F01031E, 0}}}, {17, 1, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int{c.order} * 100 + c.recordLength);
        BitWriter w;
        Header(w, 8, 1).Msb(c.order, 6).Msb(c.recordLength, 3);
        if (c.recordLength != 0) w.Msb(0x55, 8);
        auto ctx = NewContext();
        ctx->modeC103 = 4;
        RunForward(*ctx, kMsgForwardOrder21, w);
        EXPECT_EQ(ctx->channelState, 2);
        EXPECT_EQ(ValueOf(*ctx, 0x7F01C103), 0);
        ExpectCurrent(*ctx, c.tail, kPrologue);
    }
}

struct InfoRecord {
    uint8_t type;
    uint8_t length;
    std::string chars;  // calling party number characters (type 3)
};

TEST(ForwardTraffic, AlertWithInformationCallingPartyNumber) {
    // 8005551234 = 1 * 2^32 + 3710583938.
    const Values number8005551234 = {{0x7F010312, 1},
                                     {0x7F010313, static_cast<int32_t>(3710583938u)}};
    const struct {
        const char* name;
        uint8_t length;
        std::vector<InfoRecord> records;
        Values tail;
    } cases[] = {
        {"display then number", 20, {{1, 3, ""}, {3, 12, "8005551234"}}, number8005551234},
        {"last number wins",
         40,
         {{3, 5, "123"}, {3, 4, "45"}},
         {{0x7F010312, 0}, {0x7F010313, 45}}},
        {"record too short for characters", 20, {{3, 1, ""}}, {{0x7F010312, 0}, {0x7F010313, 0}}},
        {"no number record", 20, {{1, 3, ""}}, {}},
        // 8 * 5 - 25 = 15 bits: no record is read at all.
        {"length leaves no record", 5, {{3, 5, "123"}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w;
        Header(w, c.length, 3);
        for (const InfoRecord& r : c.records) {
            w.Msb(r.type, 8).Msb(r.length, 8);
            if (r.type == 3) {
                w.Msb(1, 3).Msb(1, 4).Msb(0, 2).Msb(3, 2);
                for (char ch : r.chars) w.Msb(static_cast<uint8_t>(ch), 8);
            } else {
                for (int i = 0; i < r.length; ++i) w.Msb(0x41, 8);
            }
        }
        auto ctx = NewContext();
        RunForward(*ctx, kMsgAlertWithInformation, w);
        ExpectCurrent(*ctx, c.tail, kPrologue);
    }
}

TEST(ForwardTraffic, Message19PublishesItsFieldAsScalarAndBlob) {
    BitWriter w;
    Header(w, 5, 0x19).Msb(5, 3).Msb(1, 1).Msb(0x3F, 6);
    auto ctx = NewContext();
    RunForward(*ctx, kMsgForward19, w);
    ExpectCurrent(*ctx, {{0x7F010412, 5}}, kPrologue);
    EXPECT_EQ(CurrentStructIds(*ctx), (Ids{0x7F0107D3}));
    EXPECT_EQ(StructOf(*ctx, 0x7F0107D3).Length(), 4u);
    EXPECT_EQ(PayloadAt<uint32_t>(*ctx, 0x7F0107D3, 0), 5u);
}

TEST(ForwardTraffic, ExtendedHandoffDirectionReportsMsgSeq) {
    BitWriter w;
    Header(w, 20, 0x11, 6).Msb(1, 1).Msb(9, 6).Msb(2, 2);
    w.Msb(1, 1).Msb(8, 4).Msb(28, 6).Msb(32, 6).Msb(5, 4).Msb(3, 4);  // search parameters
    w.Msb(1, 1).Msb(0, 20).Msb(384, 11).Msb(1, 3).Msb(0xFF, 8);       // extra parameters
    w.Msb(168, 9).Msb(1, 1).Msb(12, 8);
    auto ctx = NewContext();
    RunForward(*ctx, kMsgExtendedHandoffDirection, w);
    ExpectCurrent(*ctx, {{0x7F01001A, 6}}, kPrologue);
}

// A handoff direction: extra parameters (with CDMA_FREQ) or not, and per pilot the flag behind
// PILOT_PN.
struct Hdm {
    bool extra = false;
    uint16_t freq = 0;
    std::vector<int> pilotFlags;
    bool optionalBlocks = true;  // fill the optional blocks around the fields that matter
};

void WriteGeneralHdm(BitWriter& w, const Hdm& h) {
    Header(w, 60, 0x1F, 5);
    w.Msb(1, 1).Msb(9, 6).Msb(1, 2);          // USE_TIME, ACTION_TIME, HDM_SEQ
    w.Msb(1, 1).Msb(0x123456789ABCDull, 50);  // search parameters
    w.Msb(h.extra ? 1 : 0, 1);
    if (h.extra) {
        w.Msb(6, 8).Msb(1, 8).Msb(2, 4).Msb(0xF, 4);          // P_REV .. four flags
        w.Msb(0, 2).Msb(1, 1).Msb(3, 4).Msb(2, 3).Msb(1, 5);  // ENCRYPT_MODE .. BAND_CLASS
        w.Msb(h.freq, 11);
        w.Msb(1, 1).Msb(1, 1).Msb(0, 1);
        w.Msb(1, 1).Msb(2, 3).Msb(7, 8).Msb(3, 8);  // K = 3
        w.Msb(1, 4).Msb(1, 5).Msb(1, 1).Msb(1, 1).Msb(1, 1).Msb(1, 4);
        w.Msb(0xAA, 8).Msb(0x55, 8);  // 8 * 3 - 16 bits, then 8
    }
    const bool f = h.optionalBlocks;
    w.Msb(f ? 1 : 0, 1);
    if (f) {
        w.Msb(1, 1).Msb(1, 2).Msb(2, 3).Msb(1, 1).Msb(0x77, 8);  // M = 2
        w.Msb(1, 1).Msb(3, 4).Msb(1, 1).Msb(1, 1).Msb(9, 8).Msb(1, 3).Msb(1, 1);
        w.Msb(1, 1).Msb(1, 3).Msb(2, 3).Msb(3, 3);  // G = 1
        w.Msb(1, 1).Msb(5, 3);
    }
    w.Msb(h.pilotFlags.size(), 3);
    for (size_t i = 0; i < h.pilotFlags.size(); ++i) {
        w.Msb(100 + i, 9).Msb(static_cast<uint64_t>(h.pilotFlags[i]), 1).Msb(0x12, 8);
        if (f) {
            // Alternate the two forms: one 8-bit field, or M of them.
            w.Msb(1, 1).Msb(i % 2, 1);
            w.Msb(0x34, 8);
            if (i % 2 == 0) w.Msb(0x56, 8);
        }
    }
}

void WriteUniversalHdm(BitWriter& w, const Hdm& h, uint8_t type) {
    Header(w, 60, type, 5);
    w.Msb(1, 1).Msb(9, 6).Msb(1, 2);  // USE_TIME, ACTION_TIME, HDM_SEQ
    w.Msb(1, 1).Msb(6, 8).Msb(1, 1);  // P_REV
    w.Msb(1, 1).Msb(0x123456789ABCDull, 50);
    w.Msb(h.extra ? 1 : 0, 1);
    if (h.extra) {
        w.Msb(0x5A, 8).Msb(0, 4 + 1 + 1 + 1 + 2 + 1 + 4 + 6 + 1 + 3).Msb(1, 5);
        w.Msb(h.freq, 11);
        w.Msb(1, 1).Msb(0, 1).Msb(1, 1);
        w.Msb(1, 1).Msb(1, 3).Msb(2, 8).Msb(2, 8).Msb(0xBEEF, 16);  // a = 2
        w.Msb(1, 1).Msb(3, 8).Msb(1, 8).Msb(0xCC, 8);               // b = 1
    }
    const bool s = h.optionalBlocks;
    w.Msb(1, 1).Msb(4, 3).Msb(1, 1).Msb(s ? 1 : 0, 1);
    if (s) {
        w.Msb(1, 1).Msb(1, 1).Msb(2, 4).Msb(1, 1).Msb(3, 5).Msb(4, 4);  // c = 1
        w.Msb(2, 2);                                                    // d = 2
        for (int i = 0; i < 2; ++i) w.Msb(0, 1).Msb(2, 4).Msb(0, 1).Msb(4, 4);
    }
    w.Msb(7, 5).Msb(1, 1).Msb(9, 6).Msb(5, 3).Msb(1, 8);  // X = 5, Y = 1
    if (s) {
        w.Msb(2, 5);
        for (int i = 0; i < 2; ++i) w.Msb(1, 1).Msb(2, 4).Msb(3, 4);
        w.Msb(1, 5).Msb(1, 1).Msb(0, 1).Msb(7, 4);
    }
    w.Msb(h.pilotFlags.size(), 3).Msb(1, 1);  // NUM_PILOTS, T
    for (size_t i = 0; i < h.pilotFlags.size(); ++i) {
        w.Msb(200 + i, 9).Msb(3, 3);
        w.Msb(1, 1).Msb(2, 3).Msb(1, 3).Msb(0xEE, 8);  // g = 1
        w.Msb(static_cast<uint64_t>(h.pilotFlags[i]), 1).Msb(0x7FF, 11).Msb(1, 2);
        if (s) {
            w.Msb(1, 5).Msb(1, 1).Msb(2, 4).Msb(1, 1).Msb(0x400, 11).Msb(2, 2);
        }
    }
}

struct KindCase {
    const char* name;
    Hdm hdm;
    int32_t lastChannel;
    int32_t kind;     // kNoValue: 0x7F010015 not published
    int32_t channel;  // kNoValue: 0x7F010012 not published
};

const KindCase kKindCases[] = {
    {"one pilot", {false, 0, {0}}, 283, 0, kNoValue},
    {"two pilots, none flagged", {false, 0, {1, 1}}, 283, 2, kNoValue},
    {"two pilots, both flagged", {false, 0, {0, 0}}, 283, 1, kNoValue},
    {"two pilots, one flagged counts as none", {false, 0, {0, 1}}, 283, 2, kNoValue},
    {"three pilots, three flagged", {false, 0, {0, 0, 0}}, 283, 4, kNoValue},
    {"six pilots", {false, 0, {1, 1, 1, 1, 1, 1}}, 283, 7, kNoValue},
    {"no pilot", {false, 0, {}}, 283, kNoValue, kNoValue},
    {"new frequency", {true, 384, {1, 1}}, 283, 9, 384},
    {"new frequency, first known channel", {true, 384, {1}}, kNoValue, 9, 384},
    {"same frequency", {true, 283, {1, 1}}, 283, 8, kNoValue},
    {"without optional blocks", {false, 0, {0, 0, 1}, false}, 283, 3, kNoValue},
};

TEST(ForwardTraffic, HandoffDirectionKinds) {
    for (uint32_t code : {kMsgGeneralHandoffDirection, kMsgUniversalHandoffDirection,
                          kMsgMeidUniversalHandoffDirection}) {
        for (const KindCase& c : kKindCases) {
            SCOPED_TRACE(testing::Message() << std::hex << code << " " << c.name);
            auto ctx = NewContext();
            ctx->lastChannel = c.lastChannel;
            BitWriter w;
            if (code == kMsgGeneralHandoffDirection) {
                WriteGeneralHdm(w, c.hdm);
            } else {
                WriteUniversalHdm(w, c.hdm, static_cast<uint8_t>((code >> 8) & 0xFF));
            }
            RunForward(*ctx, code, w);
            Values tail;
            if (c.channel != kNoValue) tail.push_back({0x7F010012, c.channel});
            if (c.kind != kNoValue) tail.push_back({0x7F010015, c.kind});
            tail.push_back({0x7F01001A, 5});
            ExpectCurrent(*ctx, tail, kPrologue);
            EXPECT_EQ(ctx->lastChannel, c.channel != kNoValue ? c.channel : c.lastChannel);
        }
    }
}

TEST(ForwardTraffic, UniversalHandoffWithoutPilotListHasNoKind) {
    BitWriter w;
    Header(w, 20, 0x22, 5);
    w.Msb(0, 1).Msb(1, 2).Msb(0, 1).Msb(0, 1).Msb(0, 1);  // no action time, P_REV, search, extra
    w.Msb(0, 1).Msb(0, 1).Msb(0, 1);                      // flag, 1 bit, S = 0
    w.Msb(7, 5).Msb(0, 1).Msb(4, 3).Msb(1, 8);            // X = 4: the list is absent
    w.Msb(2, 3);                                          // would be NUM_PILOTS
    auto ctx = NewContext();
    ctx->lastChannel = 283;
    RunForward(*ctx, kMsgUniversalHandoffDirection, w);
    ExpectCurrent(*ctx, {{0x7F01001A, 5}}, kPrologue);
}

struct ScamParts {
    bool reverse = true;
    int reverseEntries = 2;
    bool forward = true;
};

void WriteScam(BitWriter& w, const ScamParts& s) {
    Header(w, 60, 0x23);
    w.Msb(5, 3).Msb(9, 4).Msb(1, 1).Msb(3, 4).Msb(1, 1).Msb(1, 1);
    w.Msb(s.reverse ? 1 : 0, 1);
    if (s.reverse) {
        w.Msb(static_cast<uint64_t>(s.reverseEntries - 1), 5);
        for (int i = 0; i < std::min(s.reverseEntries, 8); ++i) {
            w.Msb(1, 1)
                .Msb(static_cast<uint64_t>((i + 1) % 2), 1)
                .Msb(static_cast<uint64_t>(i + 3), 4);
        }
    }
    w.Msb(1, 2).Msb(1, 1).Msb(4, 4).Msb(1, 1).Msb(17, 5).Msb(6, 4);  // one schedule group
    w.Msb(s.forward ? 1 : 0, 1);
    if (!s.forward) return;
    w.Msb(1, 1).Msb(0, 5);                      // one configuration
    w.Msb(1, 1).Msb(2, 4).Msb(9, 4).Msb(1, 3);  // kept 9, two channels
    w.Msb(300, 9).Msb(1, 1).Msb(4, 3).Msb(2, 3).Msb(0xFFFF, 16).Msb(0x5A3, 11).Msb(2, 2);
    w.Msb(17, 9).Msb(0, 1).Msb(0x0FF, 11).Msb(1, 2);
}

TEST(ForwardTraffic, SupplementalChannelAssignment) {
    const Bytes forward = {1, 9, 2, 300 & 0xFF, 300 >> 8, 0xA3, 2, 17, 0, 0xFF, 1, 0};
    // Of 11 reverse entries, 8 are kept.
    const Bytes reverse11 = {8, 1, 3, 0, 4, 1, 5, 0, 6, 1, 7, 0, 8, 1, 9, 0, 10};
    const struct {
        const char* name;
        ScamParts scam;
        Bytes forward, reverse;  // empty: the record is not published
    } cases[] = {
        {"both", {}, forward, {2, 1, 3, 0, 4, 0}},
        {"more than 8 reverse entries", {true, 11, false}, {}, reverse11},
        {"forward only", {false, 0, true}, forward, {}},
        {"neither", {false, 0, false}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto ctx = NewContext();
        BitWriter w;
        WriteScam(w, c.scam);
        RunForward(*ctx, kMsgSupplementalChannelAssignment, w);
        EXPECT_EQ(CurrentIds(*ctx), kPrologue);
        Ids structs;
        if (!c.forward.empty()) {
            structs.push_back(0x7F0107F6);
            EXPECT_EQ(StructOf(*ctx, 0x7F0107F6).Length(), 273u);
            EXPECT_EQ(PayloadBytes(*ctx, 0x7F0107F6, 0, c.forward.size()), c.forward);
        }
        if (!c.reverse.empty()) {
            structs.push_back(0x7F0107F7);
            EXPECT_EQ(StructOf(*ctx, 0x7F0107F7).Length(), 17u);
            EXPECT_EQ(PayloadBytes(*ctx, 0x7F0107F7, 0, c.reverse.size()), c.reverse);
        }
        EXPECT_EQ(CurrentStructIds(*ctx), structs);
    }
}

}  // namespace
}  // namespace tessavo::test
