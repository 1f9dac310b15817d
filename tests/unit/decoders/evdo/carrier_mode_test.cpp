// Carrier mode (0x128A), message-code refinement (0x11E9, 0x11EA), and the switch between the
// single- and multi-carrier handlers of the packet statistics.
#include "decoders/evdo/carrier_mode.h"

#include <gtest/gtest.h>

#include "dispatch/log_routes.h"
#include "unit/decoders/evdo/packet_stats_payloads.h"
#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

// Runs a packet through the handlers its route names, as the dispatcher would.
void Routed(RecordHarness& h, uint16_t code, const Bytes& payload, uint32_t msgCode = 0) {
    const LogRoute* r = FindLogRoute(code);
    ASSERT_NE(r, nullptr);
    const LogHandler none = [](DecoderContext&, PacketView, int32_t) {};
    h.Log(code, payload, {r->param, r->structured ? r->structured : none}, msgCode);
}

TEST(CarrierMode, MatchingEntriesSetTheModeAndItIsPublishedWhenKnown) {
    struct Case {
        Bytes payload;
        int32_t mode;
        IdValues expected;
    };
    const Case cases[] = {
        {Payload128A(0, 5, {{3, 4}, {5, 4}}), 2, {{0x7F01830A, 2}}},
        {Payload128A(0, 5, {{5, 0}, {5, 2}}), 0, {{0x7F01830A, 0}}},  // the last match wins
        {Payload128A(1, 5, {{5, 4}}), 0, {{0x7F01830A, 0}}},          // other versions are not read
        {Payload128A(0, 5, {{6, 4}}), 0, {{0x7F01830A, 0}}},
        {Payload128A(0, 5, {{5, 7}}), kNoValue, {}},      // a code without a mode: unknown again
        {Payload128A(0, 0x105, {{5, 4}}), kNoValue, {}},  // the 8-bit id never matches
        {Payload128A(0, 5, {{5, 3}}), 1, {{0x7F01830A, 1}}},
    };
    RecordHarness h;
    for (const Case& c : cases) {
        Routed(h, 0x128A, c.payload);
        EXPECT_EQ(h.Ctx().carrierMode, c.mode);
        h.ExpectCurrent(c.expected);
    }
}

TEST(MessageCodeRefinement, AddsTheFirstTwoPayloadBytes) {
    struct Case {
        uint16_t code;
        Bytes payload;
        uint32_t before, after;
    };
    const Case cases[] = {
        {0x11E9, {0x01, 0x02, 0x7E}, 0xB10111E9, 0xB10112EB},
        {0x11EA, {0xFF, 0xFF}, 0xFFFF0000, 0xFFFFFFFF},
        {0x11EA, {0x01, 0x00}, 0xFFFFFF00, 0x00000000},  // wraps at 32 bits
        {0x11E9, {0x03}, 0x100, 0x400},                  // nothing beyond the payload
    };
    for (const Case& c : cases) {
        RecordHarness h;
        Routed(h, c.code, c.payload, c.before);
        EXPECT_EQ(h.Ctx().item.msgCode, c.after);
        EXPECT_TRUE(h.Current().empty());
    }
}

// The same kinds of packet before the first 0x128A, in multi-carrier mode and back in
// single-carrier mode: only the handlers of the current mode publish.
TEST(CarrierMode, SwitchesTheHandlersBothWays) {
    struct Row {
        uint16_t code;
        Bytes payload;
        Ids current;
        Ids structs;
    };
    const Bytes rev1 = Payload127E(1, 1000, {{{0, 4}, {90, 100}}});
    const Bytes rev2 = Payload127E(1, 1000, {{{0, 4}, {180, 200}}});
    const Bytes fwd2 = Payload1192(2000, {{3, 3000}, {4, 500}});
    const Row rows[] = {
        {0x1192, Payload1192(1000, {{3, 1000}}), {0x7F018401, 0x7F018403}, {0x7F0107E4}},
        {0x12A2, Payload12A2(1000, 1, 0, {{3, 1000}}), {}, {0x7F0107EF}},
        {0x127E, rev1, {}, {0x7F0107E6}},
        {0x129F, Payload129F(1000, 1, 0, {{{0, 4}, {90, 100}}}), {}, {0x7F0107F1}},
        {0x128A, Payload128A(0, 1, {{1, 4}}), {0x7F01830A}, {}},
        {0x1192, fwd2, {}, {}},
        {0x1193, Payload1193(1000, {{3, 1000}}), {}, {}},
        {0x127E, rev2, {}, {}},
        // The carrier's history was primed by the structured run before the switch.
        {0x12A2,
         Payload12A2(2000, 1, 0, {{3, 3000}, {4, 500}}),
         {0x7F019408, 0x7F019403, 0x7F019404, 0x7F019402, 0x7F019302, 0x7F018402, 0x7F018202,
          0x7F019303, 0x7F018403, 0x7F018203, 0x7F019301, 0x7F018401, 0x7F018201, 0x7F018407,
          0x7F018206},
         {0x7F0107EF}},
        // Its structured run computes nothing: this first scalar run only primes the carrier.
        {0x129F,
         Payload129F(1500, 1, 0, {{{0, 4}, {180, 200}}}),
         {0x7F018205, 0x7F018207},
         {0x7F0107F1}},
        {0x128A, Payload128A(0, 1, {{1, 0}}), {0x7F01830A}, {}},
        {0x12A2, Payload12A2(3000, 1, 0, {{3, 4000}}), {}, {0x7F0107EF}},
        {0x129F, Payload129F(2000, 1, 0, {}), {}, {0x7F0107F1}},
        {0x1192, fwd2, {0x7F018401, 0x7F018402, 0x7F018403, 0x7F018407}, {0x7F0107E4}},
        {0x127E, rev2, {0x7F018204, 0x7F018207, 0x7F018205}, {0x7F0107E6}},
    };
    RecordHarness h;
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << std::hex << r.code << " in mode " << std::dec << h.Ctx().carrierMode);
        Routed(h, r.code, r.payload);
        EXPECT_EQ(h.Current(), r.current);
        EXPECT_EQ(h.CurrentStructs(), r.structs);
    }
}

}  // namespace
}  // namespace tessavo::test
