// Which frames reassembly hands to frame decoding, observed directly on a decoder object.
#include "framing/stream_assembler.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "api/decoder_object.h"
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

}  // namespace
}  // namespace tessavo
