// Which frames reassembly hands to frame decoding, observed directly on a decoder object.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "api/decoder_object.h"
#include "framing/stream_assembler.h"
#include "support/packet_builder.h"

namespace tessavo {
namespace {

using test::Bytes;

class StreamAssembler : public ::testing::Test {
protected:
    void SetUp() override {
        obj.reset(CreateDecoderObject(TESSAVO_MODULE_B101));
        ASSERT_NE(obj, nullptr);
        obj->frameObserver = [](void* user, const uint8_t* f, int32_t n) {
            static_cast<std::vector<Bytes>*>(user)->emplace_back(f, f + n);
        };
        obj->frameObserverUser = &seen;
    }

    int32_t Feed(const Bytes& b) {
        return AssembleStream(*obj, b.data(), static_cast<int32_t>(b.size()), TimePair{0, 0});
    }

    std::unique_ptr<DecoderObject> obj;
    std::vector<Bytes> seen;
};

TEST_F(StreamAssembler, LoneFlagIsAnEmptyFrameOfLengthOne) {
    EXPECT_EQ(Feed({0x7E}), 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], Bytes{0x7E});
}

TEST_F(StreamAssembler, TwoFramesInOneCallInOrderAndPartialKept) {
    EXPECT_EQ(Feed({1, 2, 0x7E, 3, 0x7E, 4, 5}), 0);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (Bytes{1, 2, 0x7E}));
    EXPECT_EQ(seen[1], (Bytes{3, 0x7E}));
    EXPECT_EQ(obj->frameLength, 2);
    EXPECT_EQ(Feed({6, 0x7E}), 0);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2], (Bytes{4, 5, 6, 0x7E}));
}

TEST_F(StreamAssembler, RestartAfterTheLimitKeepsOnlyLaterBytes) {
    Bytes in(7168, 0x33);
    in.push_back(0x44);
    in.push_back(0x7E);
    EXPECT_EQ(Feed(in), 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], (Bytes{0x44, 0x7E}));
}

}  // namespace
}  // namespace tessavo
