// The second-interface and record logs of the public CDMA capture, fed frame by frame through
// the exported functions; values of the first packets of each kind checked against the
// payload bytes decoded by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "support/test_host.h"

namespace tessavo::test {
namespace {

const std::filesystem::path kCapture =
    std::filesystem::path(TESSAVO_CAPTURES_DIR) / "sprint_2015.mi2log";

// Frames (as on the wire, flag included) whose unescaped log code is one of `codes`.
std::vector<Bytes> FramesOf(const Bytes& file, const std::set<uint16_t>& codes) {
    std::vector<Bytes> frames;
    Bytes raw;
    for (uint8_t b : file) {
        raw.push_back(b);
        if (b != 0x7E) continue;
        Bytes packet;
        for (size_t i = 0; i + 1 < raw.size() && packet.size() < 8; ++i) {
            packet.push_back(raw[i] == 0x7D && i + 2 < raw.size() ? raw[++i] ^ 0x20 : raw[i]);
        }
        if (packet.size() == 8 && packet[0] == 0x10 &&
            codes.count(static_cast<uint16_t>(packet[6] | packet[7] << 8)) != 0) {
            frames.push_back(raw);
        }
        raw.clear();
    }
    return frames;
}

struct Item {
    uint32_t code;
    uint32_t direction;
    std::vector<ParamValue> current;
};

class CdmaCapture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!std::filesystem::exists(kCapture)) return;
        std::ifstream in(kCapture, std::ios::binary);
        const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::set<uint16_t> codes = {0x105F, 0x106E, 0x1071, 0x1076, 0x1077,
                                          0x1078, 0x1079, 0x107C, 0x107E};
        TestHost host;
        items_ = new std::vector<Item>;
        for (const Bytes& frame : FramesOf(file, codes)) {
            const int32_t n = host.FeedAndCollect(frame);
            for (int32_t i = 0; i < n; ++i) {
                items_->push_back({host.MsgCode(i), host.Direction(i), host.Current(i)});
            }
        }
    }
    static void TearDownTestSuite() {
        delete items_;
        items_ = nullptr;
    }
    void SetUp() override {
        if (items_ == nullptr) GTEST_SKIP() << "capture not present: " << kCapture;
    }

    // The `nth` item (from 0) with message code `code`.
    static const Item* Nth(uint32_t code, int nth = 0) {
        for (const Item& it : *items_) {
            if (it.code == code && nth-- == 0) return &it;
        }
        return nullptr;
    }
    static int Count(uint32_t code) {
        return static_cast<int>(std::count_if(items_->begin(), items_->end(),
                                              [code](const Item& it) { return it.code == code; }));
    }
    static int32_t Value(const Item& it, uint32_t id) {
        for (const ParamValue& p : it.current) {
            if (p.id == id) return p.value;
        }
        return kMissing;
    }
    static std::vector<int32_t> Values(const Item& it, std::initializer_list<uint32_t> ids) {
        std::vector<int32_t> values;
        for (uint32_t id : ids) values.push_back(Value(it, id));
        return values;
    }
    static constexpr int32_t kMissing = INT32_MIN;

    static std::vector<Item>* items_;
};

std::vector<Item>* CdmaCapture::items_ = nullptr;

TEST_F(CdmaCapture, CountsOfTheSignallingLogs) {
    EXPECT_EQ(Count(0x107C0F00), 251);
    EXPECT_EQ(Count(0x107C0B00), 251);
    EXPECT_EQ(Count(0x10790D00), 6);
    EXPECT_EQ(Count(0x10770D00), 12);
}

// Payload 01 3200 4e00 0000 02 00 ff ff 01 0f 00 | ef02 6001 001c 029a | 01 57 ea 08 20:
// band 1, channel 50, sector 78; then 0x01 = 0 000000 1 (no first group, G = 1), 0x57 gives
// M2 = 010101 = 21 flags: 11, 11101010, 00001000, 001 -> 2 + 5 + 1 + 1 = 9 set.
TEST_F(CdmaCapture, FirstOverheadMessage) {
    const Item* it = Nth(0x107C0F00);
    ASSERT_NE(it, nullptr);
    EXPECT_EQ(it->direction, 0u);
    EXPECT_EQ(Values(*it, {0x7F01C102, 0x7F010014, 0x7F01800D, 0x7F01800E, 0x7F01800F, 0x7F01830B}),
              (std::vector<int32_t>{0, 1, 50, 1, 78, 9}));
}

// Payload 01 e100 4e00 0004 00 ff ff 01 0f 00 | ef02 6001 001c 022f | 03 c5 db f6 27 38 80:
// channel 225; 0x03 = 0 000001 1 (one flag, set); 0xC5 = 1 100010 1 (G, M2 = 34, first flag
// set), then DB F6 27 38 (6 + 6 + 4 + 3 set) and the top bit of 0x80 (set): 1 + 21 = 22.
TEST_F(CdmaCapture, SecondOverheadMessage) {
    const Item* it = Nth(0x107C0F00, 1);
    ASSERT_NE(it, nullptr);
    EXPECT_EQ(Values(*it, {0x7F01800D, 0x7F01830B}), (std::vector<int32_t>{225, 22}));
}

// Payload 01 01 01 04 00 00 00 00 01: state 1 keeps mode 0; r4 = 0 is published.
TEST_F(CdmaCapture, FirstStateBytes) {
    const Item* it = Nth(0xB101107E);
    ASSERT_NE(it, nullptr);
    const std::vector<ParamValue> expected = {
        {0x7F01C103, 0, 1}, {0x7F018302, 1, 1}, {0x7F018301, 1, 1}, {0x7F018303, 1, 1},
        {0x7F018304, 4, 1}, {0x7F018305, 0, 1}, {0x7F018306, 0, 1}, {0x7F018307, 0, 1},
        {0x7F018308, 0, 1}, {0x7F018309, 1, 1}};
    ASSERT_GE(it->current.size(), expected.size());
    EXPECT_EQ(std::vector(it->current.begin(), it->current.begin() + 10), expected);
}

// Payload 01 00 2f f000 01000000 00000000 01000000 4e00 0160 02 ef 00.
TEST_F(CdmaCapture, FirstRecord106E) {
    const Item* it = Nth(0xB101106E);
    ASSERT_NE(it, nullptr);
    const std::vector<ParamValue> expected = {
        {0x7F01830E, 1, 1},   {0x7F01830F, 0, 1},  {0x7F018310, 1, 1},
        {0x7F018313, 240, 1}, {0x7F018314, 1, 1},  {0x7F018315, 2 * 65536 + 0x6001, 1},
        {0x7F018316, 239, 1}, {0x7F018317, 78, 1}, {0x7F018319, 15, 1}};
    EXPECT_EQ(it->current, expected);
}

TEST_F(CdmaCapture, SmallRecords) {
    const Item* f = Nth(0xB101105F);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->current, (std::vector<ParamValue>{{0x7F01800C, 1, 1}}));
    for (int nth : {0, 1}) {
        const Item* it = Nth(0xB1011071, nth);
        ASSERT_NE(it, nullptr);
        EXPECT_EQ(it->current, (std::vector<ParamValue>{{0x7F01831A, 1 - nth, 1}}));
    }
}

// 0x1077 and 0x1079 messages 0x0D00: the byte after the identifier and sub-kind is 0.
TEST_F(CdmaCapture, ValueMessages) {
    for (uint32_t code : {0x10770D00u, 0x10790D00u}) {
        const Item* it = Nth(code);
        ASSERT_NE(it, nullptr);
        EXPECT_EQ(Value(*it, 0x7F018011), 0) << std::hex << code;
    }
    EXPECT_EQ(Nth(0x10770D00)->direction, 1u);
    // Other message kinds of these logs publish only the idle state.
    const Item* other = Nth(0x10780200);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(Values(*other, {0x7F01C102, 0x7F018012}), (std::vector<int32_t>{0, kMissing}));
}

}  // namespace
}  // namespace tessavo::test
