#include "decoders/cdma1x/forward_traffic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "unit/decoders/cdma1x/cdma1x_test_util.h"

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

TEST(ForwardTraffic, MessagesWithOneField) {
    // clang-format off
    const struct { const char* name; uint32_t code; uint8_t length, type, msgSeq; Fields body; Values tail; }
    cases[] = {
        {"order 21", kMsgForwardOrder21, 8, 1, 3, {{21, 6}, {1, 3}, {0x55, 8}}, {{0x7F01031E, 0x55}}},
        {"order 21 without record", kMsgForwardOrder21, 8, 1, 3, {{21, 6}, {0, 3}}, {{0x7F01031E, 0}}},
        {"order 17", kMsgForwardOrder21, 8, 1, 3, {{17, 6}, {1, 3}, {0x55, 8}}, {}},
        {"extended handoff direction: MSG_SEQ", kMsgExtendedHandoffDirection, 20, 0x11, 6,
         {{1, 1}, {9, 6}, {2, 2}, {1, 1}, {8, 4}, {28, 6}, {32, 6}, {5, 4}, {3, 4},  // search parameters
          {1, 1}, {0, 20}, {384, 11}, {1, 3}, {0xFF, 8}, {168, 9}, {1, 1}, {12, 8}},  // extra parameters
         {{0x7F01001A, 6}}},
        // No action time, P_REV, search or extra parameters; flag, 1 bit, S = 0; X = 4: the pilot
        // list is absent, so there is no kind (2 would be NUM_PILOTS).
        {"universal handoff without pilot list", kMsgUniversalHandoffDirection, 20, 0x22, 5,
         {{0, 1}, {1, 2}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {7, 5}, {0, 1}, {4, 3}, {1, 8},
          {2, 3}},
         {{0x7F01001A, 5}}},
        {"message 0x19: scalar and blob", kMsgForward19, 5, 0x19, 3, {{5, 3}, {1, 1}, {0x3F, 6}},
         {{0x7F010412, 5}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w;
        Put(Header(w, c.length, c.type, c.msgSeq), c.body);
        auto ctx = NewContext();
        ctx->modeC103 = 4;
        ctx->lastChannel = 283;
        RunForward(*ctx, c.code, w);
        EXPECT_EQ(ctx->channelState, 2);
        EXPECT_EQ(ValueOf(*ctx, 0x7F01C103), 0);
        ExpectCurrent(*ctx, c.tail, kPrologue);
        if (c.code == kMsgForward19) {
            EXPECT_EQ(CurrentStructIds(*ctx), (Ids{0x7F0107D3}));
            EXPECT_EQ(StructOf(*ctx, 0x7F0107D3).Length(), 4u);
            EXPECT_EQ(PayloadAt<uint32_t>(*ctx, 0x7F0107D3, 0), 5u);
        }
    }
}

TEST(ForwardTraffic, AlertWithInformationCallingPartyNumber) {
    struct InfoRecord {
        uint8_t type, length;
        std::string chars;  // calling party number characters (type 3)
    };
    // clang-format off
    const struct { const char* name; uint8_t length; std::vector<InfoRecord> records; int64_t high, low; }
    cases[] = {
        // 8005551234 = 1 * 2^32 + 3710583938.
        {"display then number", 20, {{1, 3, ""}, {3, 12, "8005551234"}}, 1, 3710583938u},
        {"last number wins", 40, {{3, 5, "123"}, {3, 4, "45"}}, 0, 45},
        {"record too short for characters", 20, {{3, 1, ""}}, 0, 0},
        {"no number record", 20, {{1, 3, ""}}, kNoValue, kNoValue},
        {"length leaves no record", 5, {{3, 5, "123"}}, kNoValue, kNoValue},  // 8 * 5 - 25 = 15 bits
    };  // high, low kNoValue: no number published
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w;
        Header(w, c.length, 3);
        for (const InfoRecord& r : c.records) {
            w.Msb(r.type, 8).Msb(r.length, 8);
            if (r.type == 3) w.Msb(1, 3).Msb(1, 4).Msb(0, 2).Msb(3, 2);
            for (char ch : r.type == 3 ? r.chars : std::string(r.length, 'A')) {
                w.Msb(static_cast<uint8_t>(ch), 8);
            }
        }
        auto ctx = NewContext();
        RunForward(*ctx, kMsgAlertWithInformation, w);
        Values tail;
        if (c.high != kNoValue) {
            tail = {{0x7F010312, static_cast<int32_t>(c.high)},
                    {0x7F010313, static_cast<int32_t>(c.low)}};
        }
        ExpectCurrent(*ctx, tail, kPrologue);
    }
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
    // USE_TIME, ACTION_TIME, HDM_SEQ, search parameters.
    Put(Header(w, 60, 0x1F, 5), {{1, 1}, {9, 6}, {1, 2}, {1, 1}, {0x123456789ABCDull, 50}});
    w.Msb(h.extra, 1);
    if (h.extra) {
        // P_REV .. four flags, ENCRYPT_MODE .. BAND_CLASS, CDMA_FREQ, then K = 3 and 8 * 3 - 16
        // bits, then 8.
        Put(w, {{6, 8}, {1, 8}, {2, 4}, {0xF, 4}, {0, 2}, {1, 1}, {3, 4}, {2, 3}, {1, 5}});
        Put(w, {{h.freq, 11}, {1, 1}, {1, 1}, {0, 1}, {1, 1}, {2, 3}, {7, 8}, {3, 8}});
        Put(w, {{1, 4}, {1, 5}, {1, 1}, {1, 1}, {1, 1}, {1, 4}, {0xAA, 8}, {0x55, 8}});
    }
    const bool f = h.optionalBlocks;
    w.Msb(f, 1);
    if (f) {  // M = 2, G = 1
        Put(w, {{1, 1}, {1, 2}, {2, 3}, {1, 1}, {0x77, 8}, {1, 1}, {3, 4}, {1, 1}, {1, 1}});
        Put(w, {{9, 8}, {1, 3}, {1, 1}, {1, 1}, {1, 3}, {2, 3}, {3, 3}, {1, 1}, {5, 3}});
    }
    w.Msb(h.pilotFlags.size(), 3);
    for (size_t i = 0; i < h.pilotFlags.size(); ++i) {
        w.Msb(100 + i, 9).Msb(static_cast<uint64_t>(h.pilotFlags[i]), 1).Msb(0x12, 8);
        // Alternate the two forms: one 8-bit field, or M of them.
        if (f) w.Msb(1, 1).Msb(i % 2, 1).Msb(0x34, 8);
        if (f && i % 2 == 0) w.Msb(0x56, 8);
    }
}

void WriteUniversalHdm(BitWriter& w, const Hdm& h, uint8_t type) {
    // USE_TIME, ACTION_TIME, HDM_SEQ, P_REV, search parameters.
    Put(Header(w, 60, type, 5), {{1, 1}, {9, 6}, {1, 2}, {1, 1}, {6, 8}, {1, 1}, {1, 1}});
    w.Msb(0x123456789ABCDull, 50).Msb(h.extra, 1);
    if (h.extra) {  // a = 2, b = 1
        w.Msb(0x5A, 8).Msb(0, 4 + 1 + 1 + 1 + 2 + 1 + 4 + 6 + 1 + 3).Msb(1, 5).Msb(h.freq, 11);
        Put(w, {{1, 1}, {0, 1}, {1, 1}, {1, 1}, {1, 3}, {2, 8}, {2, 8}, {0xBEEF, 16}});
        Put(w, {{1, 1}, {3, 8}, {1, 8}, {0xCC, 8}});
    }
    const bool s = h.optionalBlocks;
    w.Msb(1, 1).Msb(4, 3).Msb(1, 1).Msb(s, 1);
    if (s) {  // c = 1, d = 2
        Put(w, {{1, 1}, {1, 1}, {2, 4}, {1, 1}, {3, 5}, {4, 4}, {2, 2}});
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
        w.Msb(200 + i, 9).Msb(3, 3).Msb(1, 1).Msb(2, 3).Msb(1, 3).Msb(0xEE, 8);  // g = 1
        w.Msb(static_cast<uint64_t>(h.pilotFlags[i]), 1).Msb(0x7FF, 11).Msb(1, 2);
        if (s) w.Msb(1, 5).Msb(1, 1).Msb(2, 4).Msb(1, 1).Msb(0x400, 11).Msb(2, 2);
    }
}

TEST(ForwardTraffic, HandoffDirectionKinds) {
    // kind, channel kNoValue: 0x7F010015, 0x7F010012 not published.
    // clang-format off
    const struct { const char* name; Hdm hdm; int32_t lastChannel, kind, channel; } cases[] = {
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
    // clang-format on
    for (uint32_t code : {kMsgGeneralHandoffDirection, kMsgUniversalHandoffDirection,
                          kMsgMeidUniversalHandoffDirection}) {
        for (const auto& c : cases) {
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

TEST(ForwardTraffic, SupplementalChannelAssignment) {
    const Bytes forward = {1, 9, 2, 300 & 0xFF, 300 >> 8, 0xA3, 2, 17, 0, 0xFF, 1, 0};
    // Records empty: not published.
    // clang-format off
    const struct { const char* name; bool reverse; int reverses; bool forward; Bytes fwd, rev; } cases[] = {
        {"both", true, 2, true, forward, {2, 1, 3, 0, 4, 0}},
        {"11 reverse: 8 kept", true, 11, false, {}, {8, 1, 3, 0, 4, 1, 5, 0, 6, 1, 7, 0, 8, 1, 9, 0, 10}},
        {"forward only", false, 0, true, forward, {}},
        {"neither", false, 0, false, {}, {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w;
        Put(Header(w, 60, 0x23), {{5, 3}, {9, 4}, {1, 1}, {3, 4}, {1, 1}, {1, 1}, {c.reverse, 1}});
        if (c.reverse) w.Msb(static_cast<uint64_t>(c.reverses - 1), 5);
        for (int i = 0; c.reverse && i < std::min(c.reverses, 8); ++i) {
            w.Msb(1, 1)
                .Msb(static_cast<uint64_t>((i + 1) % 2), 1)
                .Msb(static_cast<uint64_t>(i + 3), 4);
        }
        // One schedule group, then one forward configuration: kept 9, two channels.
        Put(w, {{1, 2}, {1, 1}, {4, 4}, {1, 1}, {17, 5}, {6, 4}, {c.forward, 1}});
        if (c.forward) {
            Put(w,
                {{1, 1}, {0, 5}, {1, 1}, {2, 4}, {9, 4}, {1, 3}, {300, 9}, {1, 1}, {4, 3}, {2, 3}});
            Put(w, {{0xFFFF, 16}, {0x5A3, 11}, {2, 2}, {17, 9}, {0, 1}, {0x0FF, 11}, {1, 2}});
        }
        auto ctx = NewContext();
        RunForward(*ctx, kMsgSupplementalChannelAssignment, w);
        EXPECT_EQ(CurrentIds(*ctx), kPrologue);
        Ids structs;
        if (!c.fwd.empty()) {
            structs.push_back(0x7F0107F6);
            EXPECT_EQ(StructOf(*ctx, 0x7F0107F6).Length(), 273u);
            EXPECT_EQ(PayloadBytes(*ctx, 0x7F0107F6, 0, c.fwd.size()), c.fwd);
        }
        if (!c.rev.empty()) {
            structs.push_back(0x7F0107F7);
            EXPECT_EQ(StructOf(*ctx, 0x7F0107F7).Length(), 17u);
            EXPECT_EQ(PayloadBytes(*ctx, 0x7F0107F7, 0, c.rev.size()), c.rev);
        }
        EXPECT_EQ(CurrentStructIds(*ctx), structs);
    }
}

}  // namespace
}  // namespace tessavo::test
