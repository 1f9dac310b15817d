#include "decoders/cdma1x/sync_paging.h"

#include <gtest/gtest.h>

#include "decoders/cdma1x/pilot_sets.h"
#include "support/bit_writer.h"
#include "unit/decoders/decoder_test_util.h"

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
    const struct {
        const char* name;
        uint8_t pRev;
        uint16_t channel;
        size_t cutTo;      // 0: the whole message
        int32_t reported;  // kNoValue: no channel
    } cases[] = {
        {"revision 6", 6, 283, 0, 283},
        {"revision 5: no channel field", 5, 283, 0, kNoValue},
        {"revision 7: no channel field", 7, 283, 0, kNoValue},
        {"channel 0", 6, 0, 0, kNoValue},
        // The payload ends inside LTM_OFF (the reader also covers the 3 frame bytes behind it):
        // the failed CDMA_FREQ read leaves the 16-bit temporary at PILOT_PN.
        {"short message", 6, 283, 17, 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w;
        w.Msb(22, 8).Msb(1, 8).Msb(c.pRev, 8).Msb(3, 8);       // length, type, P_REV, MIN_P_REV
        w.Msb(4183, 15).Msb(0xFFFF, 16).Msb(300, 9);           // SID, NID, PILOT_PN
        w.Msb(0x1234567, 36).Msb(0xABCDEF1, 36).Msb(0x2A, 6);  // LC_STATE, SYS_TIME
        w.Msb(13, 8).Msb(0x30, 6).Msb(1, 1).Msb(2, 2);         // LP_SEC, LTM_OFF, DAYLT, PRAT
        w.Msb(c.channel, 11);
        Bytes payload = w.Bytes();
        if (c.cutTo != 0) payload.resize(c.cutTo);
        auto ctx = NewContext();
        ctx->channelState = 2;
        RunLog(*ctx, 0x1006, payload, {HandleSyncChannel}, 0x10060100);
        EXPECT_EQ(ctx->channelState, 0);
        Values expected = {{0x7F01C102, 0}, {0x7F010014, 1}};
        if (c.reported != kNoValue) expected.push_back({0x7F010012, c.reported});
        ExpectCurrent(*ctx, expected);
        EXPECT_EQ(ctx->lastChannel, c.reported);
    }
}

TEST(PagingChannel, SystemParametersMessage) {
    BitWriter w;
    w.Msb(30, 8).Msb(1, 8);                // message length, type
    w.Msb(168, 9).Msb(5, 6);               // PILOT_PN, CONFIG_MSG_SEQ
    w.Msb(4183, 15).Msb(65534, 16);        // SID, NID
    w.Msb(0x123, 12).Msb(1, 3).Msb(2, 3);  // REG_ZONE, TOTAL_ZONES, ZONE_TIMER
    w.Msb(0, 1).Msb(1, 1);                 // MULT_SIDS, MULT_NIDS
    w.Msb(0xBEEF, 16).Msb(3, 4);           // BASE_ID, BASE_CLASS
    w.Msb(1, 3).Msb(2, 3);                 // PAGE_CHAN, MAX_SLOT_CYCLE_INDEX
    for (int flag : {1, 0, 1, 0, 1, 1}) w.Msb(static_cast<uint64_t>(flag), 1);
    w.Msb(58, 7);                                           // REG_PRD
    w.Msb(static_cast<uint32_t>(-123456) & 0x3FFFFF, 22);   // BASE_LAT
    w.Msb(static_cast<uint32_t>(-4000000) & 0x7FFFFF, 23);  // BASE_LONG
    w.Msb(2047, 11);                                        // REG_DIST
    w.Msb(8, 4).Msb(10, 4).Msb(12, 4).Msb(3, 4);            // SRCH_WIN_A/N/R, NGHBR_MAX_AGE
    w.Msb(17, 5).Msb(9, 4).Msb(1, 1).Msb(0, 1).Msb(20, 5);  // power report settings
    w.Msb(1, 1);                                            // RESCAN
    w.Msb(28, 6).Msb(32, 6).Msb(5, 4).Msb(3, 4);            // T_ADD, T_DROP, T_COMP, T_TDROP
    w.Msb(0xA5, 8);                                         // eight flags
    auto ctx = NewContext();
    RunPaging(*ctx, kMsgSystemParameters, w.Bytes());
    const Values expected = {{0x7F01C102, 0},    {0x7F010014, 1},     {0x7F010018, 28},
                             {0x7F010301, 4183}, {0x7F010302, 65534}, {0x7F010303, 0xBEEF},
                             {0x7F010304, 8},    {0x7F010305, 10},    {0x7F010306, 12},
                             {0x7F010308, 5},    {0x7F010309, 32},    {0x7F01030A, 3},
                             {0x7F01030E, 3},    {0x7F01040D, 17},    {0x7F01040E, 9},
                             {0x7F01040F, 20},   {0x7F010410, 1},     {0x7F010411, 0}};
    ExpectCurrent(*ctx, expected);

    EXPECT_EQ(CurrentStructIds(*ctx), (Ids{0x7F0107D0, 0x7F0107D1}));
    Bytes system = Words({168, 4183, 65534, 0xBEEF, 8, 10, 12});
    system.insert(system.end(), {3, 28, 32, 5, 3});
    EXPECT_EQ(StructOf(*ctx, 0x7F0107D0).Length(), 19u);
    EXPECT_EQ(PayloadBytes(*ctx, 0x7F0107D0, 0, 19), system);
    EXPECT_EQ(StructOf(*ctx, 0x7F0107D1).Length(), 5u);
    EXPECT_EQ(PayloadBytes(*ctx, 0x7F0107D1, 0, 5), (Bytes{17, 9, 1, 0, 20}));
}

TEST(PagingChannel, AccessParametersMessage) {
    for (uint8_t auth : {0, 1}) {
        SCOPED_TRACE(int{auth});
        BitWriter w;
        w.Msb(20, 8).Msb(2, 8);                      // message length, type
        w.Msb(168, 9).Msb(7, 6).Msb(1, 5);           // PILOT_PN, ACC_MSG_SEQ, ACC_CHAN
        w.Msb(5, 4).Msb(17, 5).Msb(3, 3).Msb(4, 4);  // NOM_PWR, INIT_PWR, PWR_STEP, NUM_STEP
        w.Msb(2, 3).Msb(6, 4).Msb(63, 6);            // MAX_CAP_SZ, PAM_SZ, PSIST(0-9)
        for (int i = 0; i < 8; ++i) w.Msb(7, 3);     // PSIST(10-15), MSG_PSIST, REG_PSIST
        w.Msb(1, 4).Msb(13, 4).Msb(7, 4).Msb(8, 4);  // PROBE_PN_RAN, ACC_TMO, PROBE_BKOFF, BKOFF
        w.Msb(9, 4).Msb(11, 4).Msb(auth, 2);         // MAX_REQ_SEQ, MAX_RSP_SEQ, AUTH
        if (auth == 1) w.Msb(0xDEADBEEF, 32);        // RAND
        w.Msb(1, 1);                                 // NOM_PWR_EXT
        auto ctx = NewContext();
        RunPaging(*ctx, kMsgAccessParameters, w.Bytes());
        const Values expected = {
            {0x7F01C102, 0}, {0x7F010014, 1}, {0x7F010401, 4},  {0x7F010402, 3}, {0x7F010403, 17},
            {0x7F010404, 5}, {0x7F010405, 9}, {0x7F010406, 11}, {0x7F010407, 2}, {0x7F010408, 13},
            {0x7F010409, 6}, {0x7F01040A, 8}, {0x7F01040B, 7},  {0x7F01040C, 1}};
        ExpectCurrent(*ctx, expected);
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
        w.Msb(20, 8).Msb(13, 8).Msb(168, 9).Msb(1, 6);  // length, type, PILOT_PN, CONFIG_MSG_SEQ
        w.Msb(0, 1).Msb(1, 1).Msb(2, 2);                // DELETE_FOR_TMSI, USE_TMSI, PREF_MSID
        w.Msb(209, 10).Msb(88, 7);                      // MCC, IMSI_11_12
        w.Msb(static_cast<uint64_t>(zoneLength), 4);
        for (int i = 0; i < zoneLength; ++i) w.Msb(0xFF, 8);
        w.Msb(0, 3).Msb(1, 1);  // BCAST_INDEX, IMSI_T_SUPPORTED
        w.Msb(6, 8).Msb(2, 8);  // P_REV, MIN_P_REV
        w.Msb(0, 24);
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
    for (uint32_t id : {0x7F010002u, 0x7F010003u, 0x7F010004u}) {
        EXPECT_EQ(ParamOf(*ctx, id).state, TESSAVO_STATE_CLEARED) << std::hex << id;
    }
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
