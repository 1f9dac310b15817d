// State bytes of the second air interface, log code 0x107E.
#include "decoders/evdo/state_byte.h"

#include <gtest/gtest.h>

#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

// r0 .. r8.
Bytes States(uint8_t r0, uint8_t r4, uint8_t r6 = 0, uint8_t r8 = 1) {
    return {r0, 11, 12, 13, r4, 15, r6, 17, r8};
}

TEST(StateBytes, NextMode) {
    struct Case {
        uint16_t before;
        uint8_t r0, r4, r6;
        uint16_t after;
    };
    const Case cases[] = {{1, 0, 3, 0, 1}, {2, 2, 1, 0, 2}, {1, 3, 2, 1, 0}, {0, 3, 3, 9, 1},
                          {1, 3, 1, 2, 1}, {2, 3, 4, 0, 2}, {0, 4, 1, 0, 1}, {2, 4, 3, 0, 1},
                          {0, 4, 2, 0, 0}, {0, 5, 0, 0, 2}, {1, 6, 1, 0, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(NextModeC103(c.before, c.r0, c.r4, c.r6), c.after)
            << c.before << " " << +c.r0 << " " << +c.r4 << " " << +c.r6;
    }
}

const IdValues kPublished = {{0x7F01C103, 1},  {0x7F018302, 3}, {0x7F018301, 11}, {0x7F018303, 12},
                             {0x7F018304, 13}, {0x7F018305, 3}, {0x7F018306, 17}, {0x7F018307, 15},
                             {0x7F018308, 9},  {0x7F018309, 21}};

TEST(StateBytes, PublishesTheNineBytesInOrder) {
    RecordHarness h;
    h.Log(0x107E, States(3, 3, 9, 21), {HandleStateBytes});
    EXPECT_EQ(h.Ctx().modeC103, 1);
    h.ExpectCurrent(kPublished);
    EXPECT_EQ(h.Ctx().lastValue018302, 3);
    EXPECT_EQ(h.Ctx().lastValue018309, 21);
}

TEST(StateBytes, SubStateFourAndState255PublishLess) {
    RecordHarness h;
    h.Log(0x107E, States(4, 1, 0, 7), {HandleStateBytes});
    h.Log(0x107E, States(4, 4, 0, 7), {HandleStateBytes});
    EXPECT_EQ(h.Current().size(), kPublished.size() - 1);
    EXPECT_EQ(h.Inherited(), Ids{0x7F018305});  // sub-state 4 is not published
    EXPECT_EQ(h.Value(0x7F018305), 1);
    h.Log(0x107E, States(255, 3, 0, 0), {HandleStateBytes});
    EXPECT_EQ(h.Current(), Ids{0x7F01C103});
    EXPECT_EQ(h.Ctx().lastValue018302, 4);
    EXPECT_EQ(h.Ctx().lastValue018309, 7);
}

TEST(StateBytes, State5ClearsTheFrameStatistics) {
    RecordHarness h;
    h.Preset(0x7F010101, 50000);
    h.Preset(0x7F010205, 1500);
    h.Preset(0x7F010001, -80000);  // not in the group
    h.Log(0x107E, States(5, 0), {HandleStateBytes});
    EXPECT_EQ(h.Ctx().modeC103, 2);
    EXPECT_EQ(h.Value(0x7F01C103), 2);
    EXPECT_EQ(h.State(0x7F01C103), 1);
    EXPECT_EQ(h.State(0x7F010101), -1);
    EXPECT_EQ(h.State(0x7F010205), -1);
    EXPECT_EQ(h.State(0x7F010001), 0);
    const Ids current = h.Current();  // the ten state values, then the cleared ones
    ASSERT_EQ(current.size(), kPublished.size() + 2);
    EXPECT_EQ(Ids(current.end() - 2, current.end()), (Ids{0x7F010101, 0x7F010205}));
    EXPECT_EQ(h.Ctx().lastValue018302, 5);
}

TEST(StateBytes, ModeZeroWithdrawsTheSecondInterfaceValues) {
    // A packet in state 0 keeps mode 0: values of the second interface written before are
    // cleared in the same packet; with r8 = 0, 0x7F01000C to 0x7F01000E go too, not otherwise.
    for (uint8_t r8 : {0, 1}) {
        RecordHarness h;
        h.Preset(0x7F018003, -5000);
        h.Preset(0x7F01A501, 3);
        h.Preset(0x7F01000C, 100);
        h.Preset(0x7F018001, -90000);  // not in the group
        h.Log(0x107E, States(0, 2, 0, r8), {HandleStateBytes});
        EXPECT_EQ(h.Ctx().modeC103, 0);
        EXPECT_EQ(h.State(0x7F018003), -1);
        EXPECT_EQ(h.State(0x7F01A501), -1);
        EXPECT_EQ(h.State(0x7F01000C), r8 == 0 ? -1 : 0);
        EXPECT_EQ(h.State(0x7F018001), 0);
    }
}

}  // namespace
}  // namespace tessavo::test
