// CRC-16/X.25, HDLC escaping, and which frames reassembly hands to frame decoding.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "api/decoder_object.h"
#include "framing/crc16.h"
#include "framing/hdlc.h"
#include "framing/stream_assembler.h"

namespace tessavo {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Framing, CrcEscapingAndTheLoneFlagFrame) {
    for (const auto& [text, crc] :
         {std::pair<std::string, uint16_t>{"123456789", 0x906E}, {"abc", 0x9E25}, {"", 0x0000}}) {
        EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(text.data()), text.size()), crc) << text;
    }
    Bytes packet = {0x10, 0x00, 0x12, 0x00, 0x62, 0x10, 0x7E, 0x7D};
    const uint16_t crc = Crc16(packet.data(), packet.size());
    packet.push_back(static_cast<uint8_t>(crc));  // low byte first
    packet.push_back(static_cast<uint8_t>(crc >> 8));
    EXPECT_EQ(VerifyCrc16(packet.data(), packet.size()), 1);
    for (size_t bit = 0; bit < packet.size() * 8; ++bit) {
        Bytes bad = packet;
        bad[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        EXPECT_EQ(VerifyCrc16(bad.data(), bad.size()), 0) << bit;
    }
    EXPECT_EQ(VerifyCrc16(packet.data(), 1), 0);
    const struct {
        Bytes in, out;
    } cases[] = {
        {{0x7D, 0x5D, 0x7D, 0x5E, 0x7D, 0x41, 0x7E}, {0x7D, 0x7E, 0x7D, 0x41, 0x7E}},
        {{0x01, 0x7E, 0x02}, {0x01, 0x7E}},  // stops after the flag
        {{0x01, 0x7D}, {0x01, 0x7D}},        // trailing escape stored as it is
        {{}, {}},
        // Wraps to the start after the capacity: the last 10 bytes remain.
        {Bytes(kUnescapeCapacity + 10, 0x11), Bytes(10, 0x11)},
    };
    for (const auto& c : cases) {
        Bytes dst(kUnescapeCapacity);
        int32_t n = 0;
        Unescape(c.in.data(), c.in.size(), dst.data(), n);
        dst.resize(static_cast<size_t>(n));
        EXPECT_EQ(dst, c.out);
    }
    Bytes src;
    for (int i = 0; i < 256; ++i) src.push_back(static_cast<uint8_t>(i));
    Bytes esc(EscapedCapacity(src.size()));
    int32_t n = -1;
    Escape(src.data(), src.size(), esc.data(), n);
    EXPECT_EQ(n, 256 + 2 + 1);  // two escaped bytes, one flag
    EXPECT_EQ(esc[static_cast<size_t>(n - 1)], 0x7E);
    Bytes back(kUnescapeCapacity);
    int32_t m = 0;
    Unescape(esc.data(), static_cast<size_t>(n), back.data(), m);
    back.resize(static_cast<size_t>(m - 1));
    EXPECT_EQ(back, src);
    std::unique_ptr<DecoderObject> obj(CreateDecoderObject(TESSAVO_MODULE_B101));
    ASSERT_NE(obj, nullptr);
    std::vector<Bytes> seen;
    obj->frameObserver = [](void* user, const uint8_t* f, int32_t n) {
        static_cast<std::vector<Bytes>*>(user)->emplace_back(f, f + n);
    };
    obj->frameObserverUser = &seen;
    const uint8_t flag = 0x7E;
    EXPECT_EQ(AssembleStream(*obj, &flag, 1, TimePair{0, 0}), 0);
    EXPECT_EQ(seen, std::vector<Bytes>{Bytes{0x7E}});
}

// Byte by byte, as the escaping is defined: the model the word-at-a-time copy must match.
Bytes UnescapeModel(const Bytes& in) {
    Bytes out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == kFrameFlag) {
            out.push_back(in[i]);
            break;
        }
        const bool pair = in[i] == kEscape && i + 1 < in.size() && (in[i + 1] == 0x5D || in[i + 1] == 0x5E);
        out.push_back(pair ? static_cast<uint8_t>(in[++i] ^ kEscapeXor) : in[i]);
    }
    return out;
}

// Inputs of every length to 40 made of the bytes that matter (flags, escapes, the escaped
// forms, others), so that each lands at every place in an eight-byte word, after output
// already in the buffer; the bytes after the output are the caller's to overwrite.
TEST(Framing, UnescapeMatchesTheByteModel) {
    constexpr uint8_t kAlphabet[] = {0x11, 0x7D, 0x5E, 0x7E, 0x5D, 0xFD, 0x3D};
    uint32_t seed = 12345;
    for (int round = 0; round < 20000; ++round) {
        seed = seed * 1103515245u + 12345u;
        Bytes in(seed % 41);
        const size_t kinds = 1 + (seed >> 8) % 7;  // the first kinds only: runs of plain bytes too
        for (uint8_t& b : in) {
            seed = seed * 1103515245u + 12345u;
            b = kAlphabet[(seed >> 16) % kinds];
        }
        const auto before = static_cast<int32_t>(round % 13);
        Bytes dst(kUnescapeCapacity, 0xAA);
        int32_t n = before;
        Unescape(in.data(), in.size(), dst.data(), n);
        const Bytes want = UnescapeModel(in);
        ASSERT_EQ(n, before + static_cast<int32_t>(want.size())) << round;
        EXPECT_EQ(Bytes(dst.begin(), dst.begin() + before), Bytes(static_cast<size_t>(before), 0xAA));
        ASSERT_EQ(Bytes(dst.begin() + before, dst.begin() + n), want) << round;
    }
}

}  // namespace
}  // namespace tessavo
