#include "decoders/cdma1x/sync_paging.h"

#include <gtest/gtest.h>

#include "decoders/cdma1x/pilot_sets.h"
#include "unit/decoders/cdma1x/cdma1x_test_util.h"

namespace tessavo::test {
namespace {

Bytes Words(std::initializer_list<uint16_t> words) {
    Bytes b;
    for (uint16_t w : words) PutU16(b, w);
    return b;
}

void RunPaging(DecoderContext& ctx, uint32_t msgCode, const Bytes& payload) {
    RunLog(ctx, 0x1007, payload, {HandlePagingChannel}, msgCode);
}

TEST(SyncChannel, ChannelOnlyAtRevisionSix) {
    // cutTo 0: the whole message; reported kNoValue: no channel.
    // clang-format off
    const struct { const char* name; uint8_t pRev; uint16_t channel; size_t cutTo; int32_t reported; }
    cases[] = {
        {"revision 6", 6, 283, 0, 283},
        {"revision 5: no channel field", 5, 283, 0, kNoValue},
        {"revision 7: no channel field", 7, 283, 0, kNoValue},
        {"channel 0", 6, 0, 0, kNoValue},
        // The payload ends inside LTM_OFF (the reader also covers the 3 frame bytes behind it):
        // the failed CDMA_FREQ read leaves the 16-bit temporary at PILOT_PN.
        {"short message", 6, 283, 17, 300},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w;
        // Length, type, P_REV, MIN_P_REV, SID, NID, PILOT_PN, LC_STATE, SYS_TIME, LP_SEC, LTM_OFF,
        // DAYLT, PRAT, CDMA_FREQ.
        Put(w, {{22, 8}, {1, 8}, {c.pRev, 8}, {3, 8}, {4183, 15}, {0xFFFF, 16}, {300, 9}});
        Put(w, {{0x1234567, 36}, {0xABCDEF1, 36}, {0x2A, 6}, {13, 8}, {0x30, 6}, {1, 1}, {2, 2}});
        Bytes payload = w.Msb(c.channel, 11).Bytes();
        if (c.cutTo != 0) payload.resize(c.cutTo);
        auto ctx = NewContext();
        ctx->channelState = 2;
        RunLog(*ctx, 0x1006, payload, {HandleSyncChannel}, 0x10060100);
        EXPECT_EQ(ctx->channelState, 0);
        Values expected = {{0x7F01C102, 0}, {0x7F010014, 1}, {0x7F010012, c.reported}};
        if (c.reported == kNoValue) expected.pop_back();
        ExpectCurrent(*ctx, expected);
        EXPECT_EQ(ctx->lastChannel, c.reported);
    }
}

TEST(PagingChannel, SystemParametersMessage) {
    BitWriter w;
    // Message length, type, PILOT_PN, CONFIG_MSG_SEQ, SID, NID, REG_ZONE, TOTAL_ZONES, ZONE_TIMER,
    // MULT_SIDS, MULT_NIDS, BASE_ID, BASE_CLASS, PAGE_CHAN, MAX_SLOT_CYCLE_INDEX, six flags.
    Put(w, {{30, 8}, {1, 8}, {168, 9}, {5, 6}, {4183, 15}, {65534, 16}, {0x123, 12}, {1, 3}});
    Put(w, {{2, 3}, {0, 1}, {1, 1}, {0xBEEF, 16}, {3, 4}, {1, 3}, {2, 3}, {0b101011, 6}});
    // REG_PRD, BASE_LAT -123456, BASE_LONG -4000000, REG_DIST, SRCH_WIN_A/N/R, NGHBR_MAX_AGE,
    // power report settings, RESCAN, T_ADD, T_DROP, T_COMP, T_TDROP, eight flags.
    Put(w, {{58, 7}, {static_cast<uint32_t>(-123456) & 0x3FFFFF, 22}});
    Put(w, {{static_cast<uint32_t>(-4000000) & 0x7FFFFF, 23}, {2047, 11}, {8, 4}, {10, 4}});
    Put(w, {{12, 4}, {3, 4}, {17, 5}, {9, 4}, {1, 1}, {0, 1}, {20, 5}, {1, 1}, {28, 6}, {32, 6}});
    Put(w, {{5, 4}, {3, 4}, {0xA5, 8}});
    auto ctx = NewContext();
    RunPaging(*ctx, kMsgSystemParameters, w.Bytes());
    // clang-format off
    ExpectCurrent(*ctx, {{0x7F01C102, 0}, {0x7F010014, 1}, {0x7F010018, 28}, {0x7F010301, 4183},
                         {0x7F010302, 65534}, {0x7F010303, 0xBEEF}, {0x7F010304, 8}, {0x7F010305, 10},
                         {0x7F010306, 12}, {0x7F010308, 5}, {0x7F010309, 32}, {0x7F01030A, 3}, {0x7F01030E, 3},
                         {0x7F01040D, 17}, {0x7F01040E, 9}, {0x7F01040F, 20}, {0x7F010410, 1}, {0x7F010411, 0}});
    // clang-format on

    EXPECT_EQ(CurrentStructIds(*ctx), (Ids{0x7F0107D0, 0x7F0107D1}));
    EXPECT_EQ(StructOf(*ctx, 0x7F0107D0).Length(), 19u);
    EXPECT_EQ(PayloadBytes(*ctx, 0x7F0107D0, 0, 19),
              Concat({Words({168, 4183, 65534, 0xBEEF, 8, 10, 12}), {3, 28, 32, 5, 3}}));
    EXPECT_EQ(StructOf(*ctx, 0x7F0107D1).Length(), 5u);
    EXPECT_EQ(PayloadBytes(*ctx, 0x7F0107D1, 0, 5), (Bytes{17, 9, 1, 0, 20}));
}

TEST(PagingChannel, AccessParametersMessage) {
    for (uint8_t auth : {0, 1}) {
        SCOPED_TRACE(int{auth});
        BitWriter w;
        // Message length, type, PILOT_PN, ACC_MSG_SEQ, ACC_CHAN, NOM_PWR, INIT_PWR, PWR_STEP,
        // NUM_STEP, MAX_CAP_SZ, PAM_SZ, PSIST(0-9), then PSIST(10-15), MSG_PSIST, REG_PSIST.
        Put(w, {{20, 8}, {2, 8}, {168, 9}, {7, 6}, {1, 5}, {5, 4}, {17, 5}, {3, 3}, {4, 4}});
        Put(w, {{2, 3}, {6, 4}, {63, 6}, {0xFFFFFF, 24}});
        // PROBE_PN_RAN, ACC_TMO, PROBE_BKOFF, BKOFF, MAX_REQ_SEQ, MAX_RSP_SEQ, AUTH, RAND.
        Put(w, {{1, 4}, {13, 4}, {7, 4}, {8, 4}, {9, 4}, {11, 4}, {auth, 2}});
        if (auth == 1) w.Msb(0xDEADBEEF, 32);
        w.Msb(1, 1);  // NOM_PWR_EXT
        auto ctx = NewContext();
        RunPaging(*ctx, kMsgAccessParameters, w.Bytes());
        // clang-format off
        ExpectCurrent(*ctx, {{0x7F01C102, 0}, {0x7F010014, 1}, {0x7F010401, 4}, {0x7F010402, 3},
                             {0x7F010403, 17}, {0x7F010404, 5}, {0x7F010405, 9}, {0x7F010406, 11},
                             {0x7F010407, 2}, {0x7F010408, 13}, {0x7F010409, 6}, {0x7F01040A, 8},
                             {0x7F01040B, 7}, {0x7F01040C, 1}});
        // clang-format on
        EXPECT_EQ(CurrentStructIds(*ctx), (Ids{0x7F0107D2}));
        EXPECT_EQ(StructOf(*ctx, 0x7F0107D2).Length(), 24u);
        // NOM_PWR, INIT_PWR, PWR_STEP, NUM_STEP, MAX_REQ_SEQ, MAX_RSP_SEQ, MAX_CAP_SZ, PAM_SZ,
        // ACC_TMO, PROBE_PN_RAN, PROBE_BKOFF, BKOFF.
        EXPECT_EQ(PayloadBytes(*ctx, 0x7F0107D2, 0, 24),
                  Words({5, 17, 3, 4, 9, 11, 2, 6, 13, 1, 7, 8}));
    }
}

TEST(PagingChannel, ExtendedSystemParametersSkipsTheTmsiZone) {
    for (int zoneLength : {0, 2, 15}) {
        SCOPED_TRACE(zoneLength);
        BitWriter w;
        // Length, type, PILOT_PN, CONFIG_MSG_SEQ, DELETE_FOR_TMSI, USE_TMSI, PREF_MSID, MCC,
        // IMSI_11_12, TMSI_ZONE_LEN and its zone; BCAST_INDEX, IMSI_T_SUPPORTED, P_REV, MIN_P_REV.
        Put(w, {{20, 8}, {13, 8}, {168, 9}, {1, 6}, {0, 1}, {1, 1}, {2, 2}, {209, 10}, {88, 7}});
        w.Msb(static_cast<uint64_t>(zoneLength), 4);
        for (int i = 0; i < zoneLength; ++i) w.Msb(0xFF, 8);
        Put(w, {{0, 3}, {1, 1}, {6, 8}, {2, 8}, {0, 24}});
        auto ctx = NewContext();
        RunPaging(*ctx, kMsgExtendedSystemParameters, w.Bytes());
        ExpectCurrent(*ctx, {{0x7F01C102, 0}, {0x7F010014, 1}, {0x7F010016, 6}});
    }
}

TEST(PagingChannel, OtherMessageClearsTrafficOnlyValuesAndStopsTransmitReports) {
    auto ctx = NewContext();
    ctx->channelState = 2;
    // A pilot-set log on the traffic channel sets receive and transmit values.
    Bytes pilotLog(24, 0);
    pilotLog[13] = 150;
    pilotLog[14] = 120;
    RunLog(*ctx, 0x102D, pilotLog, {HandlePilotSetsParams102D});
    ASSERT_EQ(ParamOf(*ctx, 0x7F010003).state, TESSAVO_STATE_FRESH);

    RunPaging(*ctx, 0x10070600, {12, 6, 0, 0});
    // The transmit values are listed once more, cleared; the receive power stays valid.
    EXPECT_EQ(CurrentIds(*ctx), (Ids{0x7F01C102, 0x7F010014, 0x7F010002, 0x7F010003, 0x7F010004}));
    for (uint32_t id : {0x7F010002u, 0x7F010003u, 0x7F010004u})
        EXPECT_EQ(ParamOf(*ctx, id).state, TESSAVO_STATE_CLEARED);
    EXPECT_EQ(ParamOf(*ctx, 0x7F010001).state, TESSAVO_STATE_INHERITED);
    EXPECT_EQ(ctx->channelState, 0);

    // Back on the paging channel: a pilot-set log has no transmit values to give, and the
    // cleared ones are retired.
    RunLog(*ctx, 0x102D, pilotLog, {HandlePilotSetsParams102D});
    EXPECT_EQ(CurrentIds(*ctx), (Ids{0x7F010001, 0x7F010008}));
    EXPECT_EQ(ParamOf(*ctx, 0x7F010003).state, TESSAVO_STATE_RETIRED);
}

}  // namespace
}  // namespace tessavo::test
