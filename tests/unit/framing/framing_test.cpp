// CRC-16/X.25 and HDLC escaping.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framing/crc16.h"
#include "framing/hdlc.h"

namespace tessavo {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Crc16, PublishedCheckValues) {
    const struct {
        std::string text;
        uint16_t crc;
    } cases[] = {{"123456789", 0x906E}, {"abc", 0x9E25}, {"", 0x0000}};
    for (const auto& c : cases) {
        EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(c.text.data()), c.text.size()), c.crc)
            << c.text;
    }
}

TEST(Crc16, VerificationDetectsEverySingleBitError) {
    Bytes packet = {0x10, 0x00, 0x12, 0x00, 0x62, 0x10, 0x7E, 0x7D};
    const uint16_t crc = Crc16(packet.data(), packet.size());
    packet.push_back(static_cast<uint8_t>(crc));  // low byte first
    packet.push_back(static_cast<uint8_t>(crc >> 8));
    EXPECT_EQ(VerifyCrc16(packet.data(), packet.size()), 1);
    for (size_t byte = 0; byte < packet.size(); ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            Bytes bad = packet;
            bad[byte] ^= static_cast<uint8_t>(1u << bit);
            EXPECT_EQ(VerifyCrc16(bad.data(), bad.size()), 0) << byte << ":" << bit;
        }
    }
    EXPECT_EQ(VerifyCrc16(packet.data(), 1), 0);
}

TEST(Hdlc, UnescapeKeepsTheFlagAndLoneEscapes) {
    const struct {
        Bytes in;
        Bytes out;
    } cases[] = {
        {{0x7D, 0x5D, 0x7D, 0x5E, 0x7D, 0x41, 0x7E}, {0x7D, 0x7E, 0x7D, 0x41, 0x7E}},
        {{0x01, 0x7E, 0x02}, {0x01, 0x7E}},  // stops after the flag
        {{0x01, 0x7D}, {0x01, 0x7D}},        // trailing escape stored as it is
        {{}, {}},
    };
    for (const auto& c : cases) {
        Bytes dst(kUnescapeCapacity);
        int32_t n = 0;
        Unescape(c.in.data(), c.in.size(), dst.data(), n);
        dst.resize(static_cast<size_t>(n));
        EXPECT_EQ(dst, c.out);
    }
}

TEST(Hdlc, UnescapeNeverWritesPastItsBuffer) {
    const Bytes in(kUnescapeCapacity + 10, 0x11);
    Bytes dst(kUnescapeCapacity);
    int32_t n = 0;
    Unescape(in.data(), in.size(), dst.data(), n);
    EXPECT_EQ(n, 10);  // wrapped to the start after the capacity
}

TEST(Hdlc, EscapeRoundTrip) {
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
}

}  // namespace
}  // namespace tessavo
