// Over-the-air signalling messages: sync and paging channel (0x1006, 0x1007), access channel
// (0x1004), reverse and forward traffic channel (0x1005, 0x1008).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <span>
#include <string>
#include <tuple>

#include "decoders/cdma1x/access_traffic.h"
#include "decoders/cdma1x/forward_traffic.h"
#include "decoders/cdma1x/pilot_sets.h"
#include "decoders/cdma1x/sync_paging.h"
#include "unit/decoders/cdma1x/cdma1x_test_util.h"

namespace tessavo::test {
namespace {

// A message of these fields, then `zeroBits` zero bits.
Bytes Msg(std::initializer_list<Fields> parts, int zeroBits = 24) {
    BitWriter w;
    for (const Fields& f : parts) Put(w, f);
    return w.Msb(0, zeroBits).Bytes();
}

// Forward traffic header: length, type, three fields, MSG_SEQ, two more.
Fields Fwd(uint8_t length, uint8_t type, uint8_t msgSeq = 3) {
    return {{length, 8}, {type, 8}, {1, 3}, {msgSeq, 3}, {1, 1}, {0, 2}};
}

// An access channel header: lengths in octets; with 4 address octets, 7 bits of layer-2 header
// remain. A handoff direction: extra parameters (with CDMA_FREQ) or not, per pilot the flag
// behind PILOT_PN, and whether to fill the optional blocks around the fields that matter.
// clang-format off
struct AccessHeader { uint8_t lacLength = 8, addressLength = 4, authMode = 0, pilots = 2; };
struct Hdm { bool extra = false; uint16_t freq = 0; std::vector<int> pilotFlags; bool optional = true; };
// clang-format on

// An access channel message: the header (the address octets 0xAB, the rest of the layer-2
// header 1 bits), the pilots, then `body`.
Bytes AccessMessage(uint8_t type, const AccessHeader& h,
                    const std::function<void(BitWriter&)>& body) {
    BitWriter w;
    Put(w, {{40, 8}, {0, 2}, {type, 6}, {h.lacLength, 5}, {1, 3}, {2, 3}, {1, 1}, {0, 1}, {3, 3}});
    Put(w, {{2, 3}, {h.addressLength, 4}});
    for (int i = 0; i < h.addressLength; ++i) w.Msb(0xAB, 8);
    w.Msb(h.authMode, 2);
    if (h.authMode == 1) w.Msb(0x3FFFF, 18).Msb(0xFF, 8).Msb(0x3F, 6);
    const int rest = 8 * h.lacLength - 25 - 8 * h.addressLength - (h.authMode == 1 ? 32 : 0);
    for (int i = 0; i < rest; ++i) w.Msb(1, 1);
    Put(w, {{5, 6}, {1, 1}, {0, 1}, {h.pilots, 3}});
    for (int i = 0; i < h.pilots; ++i) w.Msb(0x7FFF, 15).Msb(0x3F, 6).Msb(1, 1).Msb(1, 1);
    body(w);
    return w.Msb(0, 24).Bytes();
}

// Each message, from the traffic state (idle for forward traffic messages), mode 4, channel
// 1000, receive power -98.581 dBm and active pilots PN 10 (-5 dB, the reference) and 20 (-7 dB):
// the whole current list, the structures (ID, length, leading bytes), the channel state, the last
// channel and the reference pilot after.
TEST(AirMessages, Vectors) {
    // Traffic (mode 0 again) and idle state values first.
    // clang-format off
    const auto Traffic = [](Values t) {
        t.insert(t.begin(), {{0x7F01C102, 2}, {0x7F01C103, 0}, {0x7F010014, 1}});
        return t;
    };
    const auto Idle = [](Values t) { t.insert(t.begin(), {{0x7F01C102, 0}, {0x7F010014, 1}}); return t; };
    // Length, type, P_REV, MIN_P_REV, SID, NID, PILOT_PN, LC_STATE, SYS_TIME, LP_SEC, LTM_OFF,
    // DAYLT, PRAT, CDMA_FREQ; the payload cut to `cutTo` bytes.
    const auto Sync = [](uint8_t rev, uint16_t channel, size_t cutTo = 23) {
        auto b = Msg({{{22, 8}, {1, 8}, {rev, 8}, {3, 8}, {4183, 15}, {65535, 16}, {300, 9}, {0x1234567, 36}},
                      {{0xABCDEF1, 36}, {0x2A, 6}, {13, 8}, {0x30, 6}, {1, 1}, {2, 2}, {channel, 11}}});
        b.resize(cutTo);
        return b;
    };
    // Length, type, PILOT_PN, CONFIG_MSG_SEQ, DELETE_FOR_TMSI, USE_TMSI, PREF_MSID, MCC,
    // IMSI_11_12, TMSI_ZONE_LEN and its zone; BCAST_INDEX, IMSI_T_SUPPORTED, P_REV, MIN_P_REV.
    const auto ExtendedSystem = [](uint8_t zone) {
        Fields f{{20, 8}, {13, 8}, {168, 9}, {1, 6}, {0, 1}, {1, 1}, {2, 2}, {209, 10}, {88, 7}, {zone, 4}};
        for (int i = 0; i < zone; ++i) f.push_back({0xFF, 8});
        return Msg({f, {{0, 3}, {1, 1}, {6, 8}, {2, 8}}});
    };
    // Message length, type, PILOT_PN, CONFIG_MSG_SEQ, SID, NID, REG_ZONE, TOTAL_ZONES, ZONE_TIMER,
    // MULT_SIDS, MULT_NIDS, BASE_ID, BASE_CLASS, PAGE_CHAN, MAX_SLOT_CYCLE_INDEX, six flags;
    // REG_PRD, BASE_LAT -123456, BASE_LONG -4000000, REG_DIST, SRCH_WIN_A/N/R, NGHBR_MAX_AGE,
    // power report settings, RESCAN, T_ADD, T_DROP, T_COMP, T_TDROP, eight flags.
    const Bytes systemParameters =
        Msg({{{30, 8}, {1, 8}, {168, 9}, {5, 6}, {4183, 15}, {65534, 16}, {0x123, 12}, {1, 3}},
             {{2, 3}, {0, 1}, {1, 1}, {0xBEEF, 16}, {3, 4}, {1, 3}, {2, 3}, {0b101011, 6}},
             {{58, 7}, {static_cast<uint32_t>(-123456) & 0x3FFFFF, 22}},
             {{static_cast<uint32_t>(-4000000) & 0x7FFFFF, 23}, {2047, 11}, {8, 4}, {10, 4}},
             {{12, 4}, {3, 4}, {17, 5}, {9, 4}, {1, 1}, {0, 1}, {20, 5}, {1, 1}, {28, 6}, {32, 6}},
             {{5, 4}, {3, 4}, {0xA5, 8}}},
            0);
    // Message length, type, PILOT_PN, ACC_MSG_SEQ, ACC_CHAN, NOM_PWR, INIT_PWR, PWR_STEP,
    // NUM_STEP, MAX_CAP_SZ, PAM_SZ, PSIST(0-9), then PSIST(10-15), MSG_PSIST, REG_PSIST;
    // PROBE_PN_RAN, ACC_TMO, PROBE_BKOFF, BKOFF, MAX_REQ_SEQ, MAX_RSP_SEQ, AUTH, RAND, NOM_PWR_EXT.
    const auto AccessParameters = [](uint8_t auth) {
        return Msg({{{20, 8}, {2, 8}, {168, 9}, {7, 6}, {1, 5}, {5, 4}, {17, 5}, {3, 3}, {4, 4}},
                    {{2, 3}, {6, 4}, {63, 6}, {0xFFFFFF, 24}},
                    {{1, 4}, {13, 4}, {7, 4}, {8, 4}, {9, 4}, {11, 4}, {auth, 2}},
                    auth == 1 ? Fields{{0xDEADBEEF, 32}, {1, 1}} : Fields{{1, 1}}},
                   0);
    };
    const Values accessParameters = Idle({{0x7F010401, 4}, {0x7F010402, 3}, {0x7F010403, 17},
        {0x7F010404, 5}, {0x7F010405, 9}, {0x7F010406, 11}, {0x7F010407, 2}, {0x7F010408, 13},
        {0x7F010409, 6}, {0x7F01040A, 8}, {0x7F01040B, 7}, {0x7F01040C, 1}});
    // NOM_PWR, INIT_PWR, PWR_STEP, NUM_STEP, MAX_REQ_SEQ, MAX_RSP_SEQ, MAX_CAP_SZ, PAM_SZ,
    // ACC_TMO, PROBE_PN_RAN, PROBE_BKOFF, BKOFF.
    const Structs accessRecord = {{0x7F0107D2, 24, U16s({5, 17, 3, 4, 9, 11, 2, 6, 13, 1, 7, 8})}};
    // A supplemental channel assignment: reverse entries (at most 8 are kept), one schedule
    // group, then one forward configuration (kept 9, two channels, the first on 300 = 0x012C).
    const auto Scam = [](bool reverse, size_t reverses, bool forward) {
        BitWriter w;
        Put(Put(w, Fwd(60, 0x23)), {{5, 3}, {9, 4}, {1, 1}, {3, 4}, {1, 1}, {1, 1}, {reverse, 1}});
        if (reverse) w.Msb(reverses - 1, 5);
        for (size_t i = 0; reverse && i < std::min<size_t>(reverses, 8); ++i)
            Put(w, {{1, 1}, {(i + 1) % 2, 1}, {i + 3, 4}});
        Put(w, {{1, 2}, {1, 1}, {4, 4}, {1, 1}, {17, 5}, {6, 4}, {forward, 1}});
        if (forward) {
            Put(w, {{1, 1}, {0, 5}, {1, 1}, {2, 4}, {9, 4}, {1, 3}, {300, 9}, {1, 1}, {4, 3}, {2, 3}});
            Put(w, {{0xFFFF, 16}, {0x5A3, 11}, {2, 2}, {17, 9}, {0, 1}, {0x0FF, 11}, {1, 2}});
        }
        return w.Msb(0, 24).Bytes();
    };
    const StructCheck scamForward = {0x7F0107F6, 273, {1, 9, 2, 0x2C, 0x01, 0xA3, 2, 17, 0, 0xFF, 1, 0}};
    // An origination: MOB_TERM .. REQUEST_MODE, the service option (-1: SPECIAL_SERVICE 0), PM,
    // DIGIT_MODE (8-bit characters), MORE_FIELDS, NUM_FIELDS and the digit codes.
    const auto Origination = [](bool eightBit, const Bytes& codes, int service, const AccessHeader& h = {}) {
        return AccessMessage(4, h, [&](BitWriter& w) {
            w.Msb(0, 1).Msb(2, 3).Msb(6, 8).Msb(0xEA, 8).Msb(1, 3).Msb(service >= 0, 1);
            if (service >= 0) w.Msb(static_cast<uint64_t>(service), 16);
            w.Msb(0, 1).Msb(eightBit, 1);
            if (eightBit) w.Msb(1, 3).Msb(1, 4);
            w.Msb(0, 1).Msb(codes.size(), 8);
            for (uint8_t code : codes) w.Msb(code, eightBit ? 8 : 4);
        });
    };
    const auto Dialled = [](uint32_t high, uint32_t low, int serviceOption = 0) {
        return Values{{0x7F01C102, 1}, {0x7F010017, 1}, {0x7F010314, static_cast<int32_t>(high)},
                      {0x7F010315, static_cast<int32_t>(low)}, {0x7F01031C, serviceOption}, {0x7F010014, 1}};
    };
    const AccessHeader auth = {12, 4, 1, 2};         // 96 - 25 - 32 - 32 = 7 bits remain
    const AccessHeader negativeRest = {2, 4, 0, 0};  // 16 - 25 - 32 < 0: nothing more is read
    // An alert with information: per record its type and length, then for type 3 (calling party
    // number) four fields and the characters, for others `length` bytes.
    const auto Alert = [](uint8_t length,
                          std::initializer_list<std::tuple<uint8_t, uint8_t, std::string>> records) {
        BitWriter w;
        Put(w, Fwd(length, 3));
        for (const auto& [type, n, chars] : records) {
            w.Msb(type, 8).Msb(n, 8);
            if (type == 3) w.Msb(1, 3).Msb(1, 4).Msb(0, 2).Msb(3, 2);
            for (char ch : type == 3 ? chars : std::string(n, 'A')) w.Msb(static_cast<uint8_t>(ch), 8);
        }
        return w.Msb(0, 24).Bytes();
    };
    const uint32_t kOrig = kMsgOrigination, kAlert = kMsgAlertWithInformation;
    const Bytes pageResponse = AccessMessage(
        5, {}, [](BitWriter& w) { Put(w, {{1, 1}, {2, 3}, {6, 8}, {0xEA, 8}, {0, 3}, {0x1234, 16}}); });
    const Fields rev = {{8, 8}, {1, 8}, {0, 9}};  // reverse traffic header
    const Values extSys = Idle({{0x7F010016, 6}});
    const LogHandler S = HandleSyncChannel, P = HandlePagingChannel, A = HandleAccessChannel,
                     R = HandleReverseTraffic, F = HandleForwardTraffic;
    const uint32_t kSync = 0x10060100, kFwd21 = kMsgForwardOrder21, kRev21 = kMsgReverseOrder21,
                   kExt = kMsgExtendedSystemParameters, kScam = kMsgSupplementalChannelAssignment;
    const struct {
        const char* name; LogHandler handler; uint32_t msgCode; Bytes payload; Values expected;
        Structs structs = {}; int32_t lastChannel = 1000;
    } cases[] = {
        {"sync, revision 6", S, kSync, Sync(6, 283), Idle({{0x7F010012, 283}}), {}, 283},
        {"sync, revision 5: no channel field", S, kSync, Sync(5, 283), Idle({})},
        {"sync, revision 7: no channel field", S, kSync, Sync(7, 283), Idle({})},
        {"sync, channel 0", S, kSync, Sync(6, 0), Idle({})},
        // The payload ends inside LTM_OFF (the reader also covers the 3 frame bytes behind it):
        // the failed CDMA_FREQ read leaves the 16-bit temporary at PILOT_PN.
        {"sync, short message", S, kSync, Sync(6, 283, 17), Idle({{0x7F010012, 300}}), {}, 300},
        {"extended system parameters, zone 0", P, kExt, ExtendedSystem(0), extSys},
        {"extended system parameters, zone 2", P, kExt, ExtendedSystem(2), extSys},
        {"extended system parameters, zone 15", P, kExt, ExtendedSystem(15), extSys},
        {"with service option", A, kOrig, Origination(false, {5, 5, 10, 1}, 33), Dialled(0, 5501, 33)},
        {"authentication fields", A, kOrig, Origination(false, {1, 2, 3}, 0x8021, auth),
         Dialled(0, 123, 0x8021)},
        {"negative header rest", A, kOrig, Origination(false, {4, 2}, -1, negativeRest), Dialled(0, 42)},
        {"star first: no number", A, kOrig, Origination(false, {11, 1, 2}, -1), Dialled(0, 0)},
        {"digits up to the star", A, kOrig, Origination(false, {1, 2, 11, 3}, -1), Dialled(0, 12)},
        {"leading blank skipped", A, kOrig, Origination(false, {13, 1, 2}, -1), Dialled(0, 12)},
        // 12345678901 = 2 * 2^32 + 3755744309
        {"above 32 bits", A, kOrig, Origination(false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 1}, -1),
         Dialled(2, 3755744309u)},
        {"saturates", A, kOrig, Origination(false, Bytes(20, 9), -1), Dialled(0x7FFFFFFF, 0xFFFFFFFF)},
        {"8-bit characters: no number", A, kOrig, Origination(true, {'5', '5'}, -1), Dialled(0, 0)},
        {"no digits", A, kOrig, Origination(false, {}, -1), Dialled(0, 0)},
        {"page response", A, kMsgPageResponse, pageResponse,
         {{0x7F01C102, 1}, {0x7F01031D, 0x1234}, {0x7F010014, 1}}},
        {"other access message", A, 0x10040100, AccessMessage(1, {}, [](BitWriter&) {}),
         {{0x7F01C102, 1}, {0x7F010014, 1}}},
        {"rev 21", R, kRev21, Msg({rev, {{21, 6}, {1, 3}, {0x55, 8}}}), Traffic({{0x7F01031F, 0x55}})},
        {"rev 21, empty", R, kRev21, Msg({rev, {{21, 6}, {0, 3}}}), Traffic({{0x7F01031F, 0}})},
        {"rev 20", R, kRev21, Msg({rev, {{20, 6}, {1, 3}, {0x55, 8}}}), Traffic({})},
        // Header, REF_PN 20 among the two active pilots: -98.581 - 7 dBm.
        {"pilot strength measurement", R, kMsgPilotStrengthMeasurement,
         Msg({{{12, 8}, {5, 8}, {0x1FF, 9}, {20, 9}, {0, 6}}}),
         Traffic({{0x7F01000A, 20}, {0x7F01000E, -7000}, {0x7F010011, -105581}})},
        {"fwd 21", F, kFwd21, Msg({Fwd(8, 1), {{21, 6}, {1, 3}, {0x55, 8}}}), Traffic({{0x7F01031E, 0x55}})},
        {"fwd 21, empty", F, kFwd21, Msg({Fwd(8, 1), {{21, 6}, {0, 3}}}), Traffic({{0x7F01031E, 0}})},
        {"fwd 17", F, kFwd21, Msg({Fwd(8, 1), {{17, 6}, {1, 3}, {0x55, 8}}}), Traffic({})},
        {"extended handoff direction: MSG_SEQ", F, kMsgExtendedHandoffDirection,
         Msg({Fwd(20, 0x11, 6), {{1, 1}, {9, 6}, {2, 2}},
              {{1, 1}, {8, 4}, {28, 6}, {32, 6}, {5, 4}, {3, 4}},                            // search
              {{1, 1}, {0, 20}, {384, 11}, {1, 3}, {0xFF, 8}, {168, 9}, {1, 1}, {12, 8}}}),  // extra
         Traffic({{0x7F01001A, 6}})},
        // No action time, P_REV, search or extra parameters; flag, 1 bit, S = 0; X = 4: the pilot
        // list is absent, so there is no kind (2 would be NUM_PILOTS).
        {"universal handoff without pilot list", F, kMsgUniversalHandoffDirection,
         Msg({Fwd(20, 0x22, 5), {{0, 1}, {1, 2}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}},
              {{7, 5}, {0, 1}, {4, 3}, {1, 8}, {2, 3}}}),
         Traffic({{0x7F01001A, 5}})},
        {"message 0x19: scalar and blob", F, kMsgForward19, Msg({Fwd(5, 0x19), {{5, 3}, {1, 1}, {63, 6}}}),
         Traffic({{0x7F010412, 5}}), {{0x7F0107D3, 4, {5, 0, 0, 0}}}},
        // 8005551234 = 1 * 2^32 + 3710583938.
        {"display then number", F, kAlert, Alert(20, {{1, 3, ""}, {3, 12, "8005551234"}}),
         Traffic({{0x7F010312, 1}, {0x7F010313, static_cast<int32_t>(3710583938u)}})},
        {"last number wins", F, kAlert, Alert(40, {{3, 5, "123"}, {3, 4, "45"}}),
         Traffic({{0x7F010312, 0}, {0x7F010313, 45}})},
        {"number record too short for characters", F, kAlert, Alert(20, {{3, 1, ""}}),
         Traffic({{0x7F010312, 0}, {0x7F010313, 0}})},
        {"no number record", F, kAlert, Alert(20, {{1, 3, ""}}), Traffic({})},
        // 8 * 5 - 25 = 15 bits: no record is read at all.
        {"length leaves no record", F, kAlert, Alert(5, {{3, 5, "123"}}), Traffic({})},
        {"channel assignment", F, kScam, Scam(true, 2, true), Traffic({}),
         {scamForward, {0x7F0107F7, 17, {2, 1, 3, 0, 4, 0}}}},
        {"channel assignment, 11 reverse entries", F, kScam, Scam(true, 11, false), Traffic({}),
         {{0x7F0107F7, 17, {8, 1, 3, 0, 4, 1, 5, 0, 6, 1, 7, 0, 8, 1, 9, 0, 10}}}},
        {"channel assignment, forward only", F, kScam, Scam(false, 0, true), Traffic({}), {scamForward}},
        {"channel assignment, neither", F, kScam, Scam(false, 0, false), Traffic({})},
        {"system parameters", P, kMsgSystemParameters, systemParameters,
         Idle({{0x7F010018, 28}, {0x7F010301, 4183}, {0x7F010302, 65534}, {0x7F010303, 0xBEEF},
               {0x7F010304, 8}, {0x7F010305, 10}, {0x7F010306, 12}, {0x7F010308, 5}, {0x7F010309, 32},
               {0x7F01030A, 3}, {0x7F01030E, 3}, {0x7F01040D, 17}, {0x7F01040E, 9}, {0x7F01040F, 20},
               {0x7F010410, 1}, {0x7F010411, 0}}),
         {{0x7F0107D0, 19, Concat({U16s({168, 4183, 65534, 0xBEEF, 8, 10, 12}), {3, 28, 32, 5, 3}})},
          {0x7F0107D1, 5, {17, 9, 1, 0, 20}}}},
        {"access", P, kMsgAccessParameters, AccessParameters(0), accessParameters, accessRecord},
        {"access with RAND", P, kMsgAccessParameters, AccessParameters(1), accessParameters, accessRecord},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.msgCode << " " << c.name);
        auto ctx = NewContext();
        ctx->channelState = c.handler == F ? 0 : 2;  // so that each message has to set its state
        ctx->modeC103 = 4;
        ctx->lastChannel = 1000;
        ctx->rxPowerX1000 = -98581.0;
        ctx->pilotTable.Update({.pn = 10, .ecio = -5.0});
        ctx->pilotTable.Update({.pn = 20, .ecio = -7.0});
        ctx->activePilotCount = 2;
        ctx->referencePilot = 10;
        RunLog(*ctx, static_cast<uint16_t>(c.msgCode >> 16), c.payload, {c.handler}, c.msgCode);
        ExpectCurrent(*ctx, c.expected);
        // The channel state a message implies: traffic 2, access 1, idle 0.
        const int state = c.handler == F ? 2 : c.handler == A ? 1 : c.handler == R ? -1 : 0;
        EXPECT_EQ(state >= 0 ? ctx->channelState : -1, state);
        EXPECT_EQ(ctx->lastChannel, c.lastChannel);
        EXPECT_EQ(ctx->referencePilot, c.msgCode == kMsgPilotStrengthMeasurement ? 20 : 10);
        ExpectStructs(*ctx, c.structs);
    }
}

TEST(ReverseTraffic, HandoffCompletionReplacesTheActivePilots) {
    const auto Run = [](DecoderContext& ctx, uint8_t length, Fields pns) {
        pns.insert(pns.begin(), {{length, 8}, {10, 8}, {0, 9}, {2, 2}});
        RunLog(ctx, 0x1005, Msg({pns}), {HandleReverseTraffic}, kMsgHandoffCompletion);
    };
    auto ctx = NewContext();
    ctx->rxPowerX1000 = -98581.0;
    ctx->lastChannel = 283;
    ctx->pilotTable.Update({.pn = 7, .ecio = -5.0});
    // (8 * 9 - 43) / 9 = 3 pilots.
    Run(*ctx, 9, {{100, 9}, {200, 9}, {300, 9}});
    EXPECT_EQ(CurrentIds(*ctx), (Ids{0x7F01C102, 0x7F01C103, 0x7F010014}));
    ASSERT_EQ(TablePns(*ctx), (Pns{100, 200, 300}));
    for (const PilotEntry& e : std::span(ctx->pilotTable.entries).first(3)) {
        EXPECT_EQ(e.source, 0u);
        EXPECT_EQ(e.channel, 283);
        EXPECT_DOUBLE_EQ(e.rxPower, -98.581);
        EXPECT_EQ(e.ecio, kNoValueD);
        EXPECT_EQ(e.pilotPower, kNoValueD);
    }
    // A length that leaves room for no pilot changes nothing.
    Run(*ctx, 5, {});
    EXPECT_EQ(ctx->pilotTable.count, 3);
    // Without a known receive power the table is emptied and stays empty.
    ctx->rxPowerX1000 = kNoValueD;
    Run(*ctx, 9, {{100, 9}, {200, 9}, {300, 9}});
    EXPECT_EQ(ctx->pilotTable.count, 0);
}

void WriteGeneralHdm(BitWriter& w, const Hdm& h) {
    // USE_TIME, ACTION_TIME, HDM_SEQ, search parameters.
    Put(Put(w, Fwd(60, 0x1F, 5)), {{1, 1}, {9, 6}, {1, 2}, {1, 1}, {0x123456789ABCDull, 50}});
    w.Msb(h.extra, 1);
    if (h.extra) {
        // P_REV .. four flags, ENCRYPT_MODE .. BAND_CLASS, CDMA_FREQ, then K = 3 and 8 * 3 - 16
        // bits, then 8.
        Put(w, {{6, 8}, {1, 8}, {2, 4}, {0xF, 4}, {0, 2}, {1, 1}, {3, 4}, {2, 3}, {1, 5}});
        Put(w, {{h.freq, 11}, {1, 1}, {1, 1}, {0, 1}, {1, 1}, {2, 3}, {7, 8}, {3, 8}});
        Put(w, {{1, 4}, {1, 5}, {1, 1}, {1, 1}, {1, 1}, {1, 4}, {0xAA, 8}, {0x55, 8}});
    }
    const bool f = h.optional;
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
    Put(Put(w, Fwd(60, type, 5)), {{1, 1}, {9, 6}, {1, 2}, {1, 1}, {6, 8}, {1, 1}, {1, 1}});
    w.Msb(0x123456789ABCDull, 50).Msb(h.extra, 1);
    if (h.extra) {  // a = 2, b = 1
        w.Msb(0x5A, 8).Msb(0, 4 + 1 + 1 + 1 + 2 + 1 + 4 + 6 + 1 + 3).Msb(1, 5).Msb(h.freq, 11);
        Put(w, {{1, 1}, {0, 1}, {1, 1}, {1, 1}, {1, 3}, {2, 8}, {2, 8}, {0xBEEF, 16}});
        Put(w, {{1, 1}, {3, 8}, {1, 8}, {0xCC, 8}});
    }
    const bool s = h.optional;
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
            code == kMsgGeneralHandoffDirection
                ? WriteGeneralHdm(w, c.hdm)
                : WriteUniversalHdm(w, c.hdm, static_cast<uint8_t>((code >> 8) & 0xFF));
            RunLog(*ctx, 0x1008, w.Msb(0, 24).Bytes(), {HandleForwardTraffic}, code);
            Values tail;
            if (c.channel != kNoValue) tail.push_back({0x7F010012, c.channel});
            if (c.kind != kNoValue) tail.push_back({0x7F010015, c.kind});
            tail.push_back({0x7F01001A, 5});
            ExpectCurrent(*ctx, tail, {0x7F01C102, 0x7F01C103, 0x7F010014});
            EXPECT_EQ(ctx->lastChannel, c.channel != kNoValue ? c.channel : c.lastChannel);
        }
    }
}

TEST(PagingChannel, OtherMessageClearsTrafficOnlyValuesAndStopsTransmitReports) {
    auto ctx = NewContext();
    ctx->channelState = 2;
    // A pilot-set log on the traffic channel sets receive and transmit values.
    const Bytes pilotLog = Concat({Bytes(13, 0), {150, 120}, Bytes(9, 0)});
    RunLog(*ctx, 0x102D, pilotLog, {HandlePilotSetsParams102D});
    ASSERT_EQ(ParamOf(*ctx, 0x7F010003).state, TESSAVO_STATE_FRESH);

    RunLog(*ctx, 0x1007, {12, 6, 0, 0}, {HandlePagingChannel}, 0x10070600);
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
