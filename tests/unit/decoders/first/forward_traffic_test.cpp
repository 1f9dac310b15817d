#include "decoders/first/forward_traffic.h"

#include <gtest/gtest.h>

#include <string>

#include "support/bit_writer.h"
#include "unit/decoders/first/first_decoder_test_util.h"

namespace tessavo::test {
namespace {

using Ids = std::vector<uint32_t>;

const Ids kPrologue = {0x7F01C102, 0x7F01C103, 0x7F010014};

Ids WithPrologue(std::initializer_list<uint32_t> ids) {
    Ids all = kPrologue;
    all.insert(all.end(), ids);
    return all;
}

BitWriter& Header(BitWriter& w, uint8_t length, uint8_t type, uint8_t msgSeq = 3) {
    return w.Msb(length, 8).Msb(type, 8).Msb(1, 3).Msb(msgSeq, 3).Msb(1, 1).Msb(0, 2);
}

void RunForward(DecoderContext& ctx, uint32_t msgCode, BitWriter& w) {
    w.Msb(0, 24);
    RunLog(ctx, 0x1008, w.Bytes(), {HandleForwardTraffic}, msgCode);
}

TEST(ForwardTraffic, Order21Qualifier) {
    for (int ordq : {0x55, -1, -2}) {
        SCOPED_TRACE(ordq);
        BitWriter w;
        Header(w, 8, 1);
        if (ordq == -2) {
            w.Msb(17, 6).Msb(1, 3);  // another order
        } else if (ordq == -1) {
            w.Msb(21, 6).Msb(0, 3);  // no record: 0
        } else {
            w.Msb(21, 6).Msb(1, 3).Msb(static_cast<uint64_t>(ordq), 8);
        }
        auto ctx = NewContext();
        ctx->modeC103 = 4;
        RunForward(*ctx, kMsgForwardOrder21, w);
        EXPECT_EQ(ctx->channelState, 2);
        EXPECT_EQ(ValueOf(*ctx, 0x7F01C103), 0);
        if (ordq == -2) {
            EXPECT_EQ(CurrentIds(*ctx), kPrologue);
        } else {
            EXPECT_EQ(CurrentIds(*ctx), WithPrologue({0x7F01031E}));
            EXPECT_EQ(ValueOf(*ctx, 0x7F01031E), ordq == -1 ? 0 : ordq);
        }
    }
}

struct InfoRecord {
    uint8_t type;
    uint8_t length;
    std::string chars;  // calling party number characters (type 3)
};

void WriteAlert(BitWriter& w, uint8_t length, const std::vector<InfoRecord>& records) {
    Header(w, length, 3);
    for (const InfoRecord& r : records) {
        w.Msb(r.type, 8).Msb(r.length, 8);
        if (r.type == 3) {
            w.Msb(1, 3).Msb(1, 4).Msb(0, 2).Msb(3, 2);
            for (char c : r.chars) w.Msb(static_cast<uint8_t>(c), 8);
        } else {
            for (int i = 0; i < r.length; ++i) w.Msb(0x41, 8);
        }
    }
}

struct AlertCase {
    const char* name;
    uint8_t length;
    std::vector<InfoRecord> records;
    bool found;
    int32_t high, low;
};

TEST(ForwardTraffic, AlertWithInformationCallingPartyNumber) {
    // 8005551234 = 1 * 2^32 + 3710583938.
    const int32_t low8005551234 = static_cast<int32_t>(3710583938u);
    const AlertCase cases[] = {
        {"display then number", 20, {{1, 3, ""}, {3, 12, "8005551234"}}, true, 1, low8005551234},
        {"the last number wins", 40, {{3, 5, "123"}, {3, 4, "45"}}, true, 0, 45},
        {"record too short for characters", 20, {{3, 1, ""}}, true, 0, 0},
        {"no number record", 20, {{1, 3, ""}}, false, 0, 0},
        // 8 * 5 - 25 = 15 bits: no record is read at all.
        {"length leaves no record", 5, {{3, 5, "123"}}, false, 0, 0},
    };
    for (const AlertCase& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w;
        WriteAlert(w, c.length, c.records);
        auto ctx = NewContext();
        RunForward(*ctx, kMsgAlertWithInformation, w);
        if (!c.found) {
            EXPECT_EQ(CurrentIds(*ctx), kPrologue);
            continue;
        }
        EXPECT_EQ(CurrentIds(*ctx), WithPrologue({0x7F010312, 0x7F010313}));
        EXPECT_EQ(ValueOf(*ctx, 0x7F010312), c.high);
        EXPECT_EQ(ValueOf(*ctx, 0x7F010313), c.low);
    }
}

TEST(ForwardTraffic, Message19PublishesItsFieldAsScalarAndBlob) {
    BitWriter w;
    Header(w, 5, 0x19).Msb(5, 3).Msb(1, 1).Msb(0x3F, 6);
    auto ctx = NewContext();
    RunForward(*ctx, kMsgForward19, w);
    EXPECT_EQ(CurrentIds(*ctx), WithPrologue({0x7F010412}));
    EXPECT_EQ(ValueOf(*ctx, 0x7F010412), 5);
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
    EXPECT_EQ(CurrentIds(*ctx), WithPrologue({0x7F01001A}));
    EXPECT_EQ(ValueOf(*ctx, 0x7F01001A), 6);
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
    {"three pilots, two flagged", {false, 0, {0, 1, 0}}, 283, 3, kNoValue},
    {"three pilots, three flagged", {false, 0, {0, 0, 0}}, 283, 4, kNoValue},
    {"four pilots", {false, 0, {0, 0, 1, 1}}, 283, 5, kNoValue},
    {"six pilots", {false, 0, {1, 1, 1, 1, 1, 1}}, 283, 7, kNoValue},
    {"no pilot", {false, 0, {}}, 283, kNoValue, kNoValue},
    {"new frequency", {true, 384, {1, 1}}, 283, 9, 384},
    {"new frequency, first known channel", {true, 384, {1}}, kNoValue, 9, 384},
    {"same frequency", {true, 283, {1, 1}}, 283, 8, kNoValue},
    {"without optional blocks", {false, 0, {0, 0, 1}, false}, 283, 3, kNoValue},
};

void CheckKind(DecoderContext& ctx, const KindCase& c) {
    Ids ids = kPrologue;
    if (c.channel != kNoValue) ids.push_back(0x7F010012);
    if (c.kind != kNoValue) ids.push_back(0x7F010015);
    ids.push_back(0x7F01001A);
    EXPECT_EQ(CurrentIds(ctx), ids);
    if (c.kind != kNoValue) {
        EXPECT_EQ(ValueOf(ctx, 0x7F010015), c.kind);
    }
    if (c.channel != kNoValue) {
        EXPECT_EQ(ValueOf(ctx, 0x7F010012), c.channel);
    }
    EXPECT_EQ(ctx.lastChannel, c.channel != kNoValue ? c.channel : c.lastChannel);
    EXPECT_EQ(ValueOf(ctx, 0x7F01001A), 5);
}

TEST(ForwardTraffic, GeneralHandoffDirectionKinds) {
    for (const KindCase& c : kKindCases) {
        SCOPED_TRACE(c.name);
        auto ctx = NewContext();
        ctx->lastChannel = c.lastChannel;
        BitWriter w;
        WriteGeneralHdm(w, c.hdm);
        RunForward(*ctx, kMsgGeneralHandoffDirection, w);
        CheckKind(*ctx, c);
    }
}

TEST(ForwardTraffic, UniversalHandoffDirectionKinds) {
    for (uint32_t code : {kMsgUniversalHandoffDirection, kMsgMeidUniversalHandoffDirection}) {
        for (const KindCase& c : kKindCases) {
            SCOPED_TRACE(c.name);
            auto ctx = NewContext();
            ctx->lastChannel = c.lastChannel;
            BitWriter w;
            WriteUniversalHdm(w, c.hdm, static_cast<uint8_t>((code >> 8) & 0xFF));
            RunForward(*ctx, code, w);
            CheckKind(*ctx, c);
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
    EXPECT_EQ(CurrentIds(*ctx), WithPrologue({0x7F01001A}));
}

TEST(ForwardTraffic, HandoffKindAfterAChannelChange) {
    auto ctx = NewContext();
    ctx->lastChannel = 283;
    BitWriter first;
    WriteGeneralHdm(first, {true, 384, {1, 1}});
    RunForward(*ctx, kMsgGeneralHandoffDirection, first);
    EXPECT_EQ(ValueOf(*ctx, 0x7F010015), 9);
    // The new channel is now the last one: the same CDMA_FREQ again is a same-frequency handoff.
    BitWriter second;
    WriteUniversalHdm(second, {true, 384, {1, 1}}, 0x22);
    RunForward(*ctx, kMsgUniversalHandoffDirection, second);
    EXPECT_EQ(CurrentIds(*ctx), WithPrologue({0x7F010015, 0x7F01001A}));
    EXPECT_EQ(ValueOf(*ctx, 0x7F010015), 8);
}

struct ScamSpec {
    bool reverse = true;
    int reverseEntries = 2;
    bool forward = true;
};

void WriteScam(BitWriter& w, const ScamSpec& s) {
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
    auto ctx = NewContext();
    BitWriter w;
    WriteScam(w, {});
    RunForward(*ctx, kMsgSupplementalChannelAssignment, w);
    EXPECT_EQ(CurrentIds(*ctx), kPrologue);
    EXPECT_EQ(CurrentStructIds(*ctx), (Ids{0x7F0107F6, 0x7F0107F7}));

    EXPECT_EQ(StructOf(*ctx, 0x7F0107F6).Length(), 273u);
    const uint8_t forward[] = {1, 9, 2, 300 & 0xFF, 300 >> 8, 0xA3, 2, 17, 0, 0xFF, 1};
    for (size_t i = 0; i < std::size(forward); ++i) {
        EXPECT_EQ(PayloadAt<uint8_t>(*ctx, 0x7F0107F6, i), forward[i]) << i;
    }
    EXPECT_EQ(PayloadAt<uint8_t>(*ctx, 0x7F0107F6, std::size(forward)), 0);

    EXPECT_EQ(StructOf(*ctx, 0x7F0107F7).Length(), 17u);
    const uint8_t reverse[] = {2, 1, 3, 0, 4, 0};
    for (size_t i = 0; i < std::size(reverse); ++i) {
        EXPECT_EQ(PayloadAt<uint8_t>(*ctx, 0x7F0107F7, i), reverse[i]) << i;
    }
}

TEST(ForwardTraffic, SupplementalChannelAssignmentLimitsAndAbsentParts) {
    {
        SCOPED_TRACE("more than 8 reverse entries");
        auto ctx = NewContext();
        BitWriter w;
        WriteScam(w, {true, 11, false});
        RunForward(*ctx, kMsgSupplementalChannelAssignment, w);
        EXPECT_EQ(CurrentStructIds(*ctx), (Ids{0x7F0107F7}));
        EXPECT_EQ(PayloadAt<uint8_t>(*ctx, 0x7F0107F7, 0), 8);
        EXPECT_EQ(PayloadAt<uint8_t>(*ctx, 0x7F0107F7, 1 + 2 * 7 + 1), 10);  // entry 7: 4 bits
    }
    {
        SCOPED_TRACE("forward only");
        auto ctx = NewContext();
        BitWriter w;
        WriteScam(w, {false, 0, true});
        RunForward(*ctx, kMsgSupplementalChannelAssignment, w);
        EXPECT_EQ(CurrentStructIds(*ctx), (Ids{0x7F0107F6}));
    }
    {
        SCOPED_TRACE("neither");
        auto ctx = NewContext();
        BitWriter w;
        WriteScam(w, {false, 0, false});
        RunForward(*ctx, kMsgSupplementalChannelAssignment, w);
        EXPECT_EQ(ctx->item.curStructCount, 0);
    }
}

}  // namespace
}  // namespace tessavo::test
