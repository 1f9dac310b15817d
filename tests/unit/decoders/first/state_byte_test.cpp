// State bytes of the second air interface, log code 0x107E.
#include "decoders/first/state_byte.h"

#include <gtest/gtest.h>

#include "unit/decoders/first/record_decoder_harness.h"

namespace tessavo::test {
namespace {

using Ids = std::vector<uint32_t>;

// r0 .. r8.
Bytes States(uint8_t r0, uint8_t r4, uint8_t r6 = 0, uint8_t r8 = 1) {
    return {r0, 11, 12, 13, r4, 15, r6, 17, r8};
}

const Ids kAllStates = {0x7F01C103, 0x7F018302, 0x7F018301, 0x7F018303, 0x7F018304,
                        0x7F018305, 0x7F018306, 0x7F018307, 0x7F018308, 0x7F018309};

struct ModeCase {
    const char* name;
    uint16_t before;
    uint8_t r0, r4, r6;
    uint16_t after;
};

class ModeTransitions : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ModeTransitions, NextMode) {
    const ModeCase& c = GetParam();
    EXPECT_EQ(NextModeC103(c.before, c.r0, c.r4, c.r6), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModeTransitions,
    ::testing::Values(ModeCase{"State0Keeps", 1, 0, 3, 0, 1},
                      ModeCase{"State2Keeps", 2, 2, 1, 0, 2}, ModeCase{"State3Low", 1, 3, 2, 1, 0},
                      ModeCase{"State3Sub3", 0, 3, 3, 9, 1},
                      ModeCase{"State3R6High", 1, 3, 1, 2, 1},
                      ModeCase{"State3Sub4", 2, 3, 4, 0, 2}, ModeCase{"State4Sub1", 0, 4, 1, 0, 1},
                      ModeCase{"State4Sub3", 2, 4, 3, 0, 1}, ModeCase{"State4Sub2", 0, 4, 2, 0, 0},
                      ModeCase{"State5", 0, 5, 0, 0, 2}, ModeCase{"State6", 1, 6, 1, 0, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StateBytes, PublishesTheNineBytesInOrder) {
    RecordHarness h;
    h.Log(0x107E, States(3, 3, 9, 21), {HandleStateBytes});
    EXPECT_EQ(h.Ctx().modeC103, 1);
    EXPECT_EQ(h.Current(), kAllStates);
    const std::vector<int32_t> values = {1, 3, 11, 12, 13, 3, 17, 15, 9, 21};
    for (size_t i = 0; i < kAllStates.size(); ++i) {
        EXPECT_EQ(h.Value(kAllStates[i]), values[i]) << std::hex << kAllStates[i];
    }
    EXPECT_EQ(h.Ctx().lastValue018302, 3);
    EXPECT_EQ(h.Ctx().lastValue018309, 21);
}

TEST(StateBytes, SubStateFourIsNotPublished) {
    RecordHarness h;
    h.Log(0x107E, States(4, 1), {HandleStateBytes});
    h.Log(0x107E, States(4, 4), {HandleStateBytes});
    Ids expected = kAllStates;
    expected.erase(expected.begin() + 5);
    EXPECT_EQ(h.Current(), expected);
    EXPECT_EQ(h.Inherited(), Ids{0x7F018305});
    EXPECT_EQ(h.Value(0x7F018305), 1);
}

TEST(StateBytes, State255PublishesOnlyTheMode) {
    RecordHarness h;
    h.Log(0x107E, States(4, 3, 0, 7), {HandleStateBytes});
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
    Ids expected = kAllStates;
    expected.push_back(0x7F010101);
    expected.push_back(0x7F010205);
    EXPECT_EQ(h.Current(), expected);
    EXPECT_EQ(h.Ctx().lastValue018302, 5);
}

TEST(StateBytes, ModeZeroWithdrawsTheSecondInterfaceValues) {
    // A first packet in state 0 keeps mode 0: values of the second interface written before
    // are cleared in the same packet; with r8 = 0, 0x7F01000C to 0x7F01000E go too.
    RecordHarness h;
    h.Preset(0x7F018003, -5000);
    h.Preset(0x7F01A501, 3);
    h.Preset(0x7F01000C, 100);
    h.Preset(0x7F018001, -90000);  // not in the group
    h.Log(0x107E, States(0, 2, 0, 0), {HandleStateBytes});
    EXPECT_EQ(h.Ctx().modeC103, 0);
    EXPECT_EQ(h.State(0x7F018003), -1);
    EXPECT_EQ(h.State(0x7F01A501), -1);
    EXPECT_EQ(h.State(0x7F01000C), -1);
    EXPECT_EQ(h.State(0x7F018001), 0);
}

TEST(StateBytes, LastR8OtherThanZeroKeepsGroupC) {
    RecordHarness h;
    h.Preset(0x7F01000C, 100);
    h.Log(0x107E, States(0, 2, 0, 1), {HandleStateBytes});
    EXPECT_EQ(h.State(0x7F01000C), 0);
}

}  // namespace
}  // namespace tessavo::test
