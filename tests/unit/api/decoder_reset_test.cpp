// An object returned to its fresh state decodes exactly as a new one: the same items, byte for
// byte, whatever it decoded, kept or was switched to before.
#include "api/decoder_reset.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "api/decoder_object.h"
#include "support/packet_builder.h"
#include "support/twin_decoders.h"
#include "tessavo/tessavo.h"

namespace tessavo::test {
namespace {

Bytes Sample() {
    std::ifstream in(std::filesystem::path(TESSAVO_SOURCE_DIR) / "samples" / "drive_test.bin",
                     std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Digests of the items of `bytes` fed in 4 KiB pieces, collected after each.
std::vector<uint64_t> Decode(void* h, const Bytes& bytes) {
    std::vector<uint64_t> digests;
    for (size_t at = 0; at < bytes.size(); at += 4096) {
        const auto n = static_cast<int32_t>(std::min<size_t>(4096, bytes.size() - at));
        DecodeMsgProc(h, bytes.data() + at, n, 1000, 0);
        const int32_t count = GetReportItemCountProc(h);
        for (int32_t i = 0; i < count; ++i) digests.push_back(ItemDigest(GetReportItemProc(h, i)));
    }
    return digests;
}

TEST(DecoderReset, AResetObjectDecodesAsANewOne) {
    const Bytes sample = Sample();
    ASSERT_FALSE(sample.empty());
    const std::vector<int32_t> sideForms = {TESSAVO_CFG_REENCODE_ON, TESSAVO_CFG_OUTFILE_ON,
                                            TESSAVO_CFG_DTLOG_ON};
    for (const std::vector<int32_t>& switches : {std::vector<int32_t>{}, sideForms}) {
        void* used = CreateDecoderObjectProc(TESSAVO_MODULE_B20A);
        void* fresh = CreateDecoderObjectProc(TESSAVO_MODULE_B20A);
        // The used object has decoded with every switch on, holds uncollected items, kept
        // input (the ring filled within one call) and half a frame.
        for (int32_t code : {TESSAVO_CFG_REENCODE_ON, TESSAVO_CFG_OUTFILE_ON, TESSAVO_CFG_DTLOG_ON,
                             TESSAVO_CFG_WHOLE_FRAME_ON}) {
            SetDecoderConfiguration(used, code);
        }
        Decode(used, sample);
        SetDecoderConfiguration(used, TESSAVO_CFG_WHOLE_FRAME_OFF);
        DecodeMsgProc(used, sample.data(), static_cast<int32_t>(sample.size()), 1000, 0);
        const Bytes half = Frame(LogPacket(0x1007, Bytes(40, 0x11), 800));
        DecodeMsgProc(used, half.data(), static_cast<int32_t>(half.size() / 2), 1000, 0);
        ASSERT_GT(static_cast<DecoderObject*>(used)->ring.Count(), 0);

        ResetDecoderObject(*static_cast<DecoderObject*>(used));
        EXPECT_EQ(GetReportItemCountProc(used), 0);
        for (int32_t code : switches) {
            SetDecoderConfiguration(used, code);
            SetDecoderConfiguration(fresh, code);
        }
        const std::vector<uint64_t> expected = Decode(fresh, sample);
        EXPECT_GT(expected.size(), 0u);
        EXPECT_EQ(Decode(used, sample), expected) << switches.size() << " switches on";
        FreeDecoderObjectProc(&used);
        FreeDecoderObjectProc(&fresh);
    }
}

}  // namespace
}  // namespace tessavo::test
