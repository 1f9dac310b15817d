// The C++ wrapper tessavo.hpp: ownership, the feed loop across a full ring and a split frame,
// typed views, errors as exceptions. (Its digest over real captures equals the C host's:
// the cpp_wrapper_digest test.)
#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "support/packet_builder.h"
#include "tessavo/tessavo.hpp"

namespace tessavo::test {
namespace {

static_assert(!std::is_copy_constructible_v<tessavo::Decoder>);
static_assert(std::is_nothrow_move_constructible_v<tessavo::Decoder>);

// Log 0x1062 of the words 1..5: five scalar parameters and one structured record.
Bytes FiveWords(uint32_t first) {
    Bytes payload;
    for (uint32_t w = first; w < first + 5; ++w) PutU32(payload, w);
    return Frame(LogPacket(0x1062, payload));
}

TEST(CppWrapper, FeedsAcrossAFullRingAndASplitFrameWithTypedViews) {
    tessavo::Decoder decoder(TESSAVO_MODULE_B101);
    Bytes stream;
    for (int i = 0; i < 700; ++i) stream = Concat({stream, FiveWords(static_cast<uint32_t>(i))});
    const Bytes last = Frame(LogPacket(0x1000, {9, 8, 7}));
    stream = Concat({stream, Bytes(last.begin(), last.end() - 1)});  // its 0x7E comes at finish
    std::vector<uint32_t> firstWords;
    std::vector<Bytes> payloads;
    auto onItem = [&](const tessavo::Item& item) {
        if (item.code() == 0xB1011062u) {
            ASSERT_EQ(item.current().size(), 5u);
            ASSERT_EQ(item.currentStructs().size(), 1u);
            const tessavo::StructParam s = item.currentStructs()[0];
            ASSERT_GE(s.length(), 4u);
            firstWords.push_back(static_cast<uint32_t>(s.data()[0]));
            EXPECT_EQ(item.direction(), 2u);
            EXPECT_FALSE(item.dtlog());  // DTLog output is off: no block
        } else {
            payloads.emplace_back(item.payload().begin(), item.payload().end());
        }
    };
    tessavo::Decoder moved(std::move(decoder));
    moved.feed(stream, onItem);
    EXPECT_EQ(firstWords.size(), 700u);
    EXPECT_TRUE(payloads.empty());
    moved.finish(onItem);
    ASSERT_EQ(payloads.size(), 1u);
    EXPECT_EQ(payloads[0], (Bytes{9, 8, 7}));
    for (size_t i = 0; i < firstWords.size(); ++i) ASSERT_EQ(firstWords[i], i & 0xFF) << i;
    EXPECT_THROW(decoder.feed(stream, onItem), tessavo::Error);  // moved from
}

TEST(CppWrapper, FailuresThrow) {
    EXPECT_THROW(tessavo::Decoder(0xB201u), tessavo::Error);
    tessavo::Decoder decoder;
    EXPECT_THROW(decoder.configure(0), tessavo::Error);
    EXPECT_NO_THROW(decoder.configure(TESSAVO_CFG_DTLOG_ON));
    const Bytes frame = FiveWords(1);
    const std::string asText(frame.begin(), frame.end());  // any container of bytes
    size_t items = 0;
    decoder.feed(asText, [&](const tessavo::Item& item) {
        ++items;
        EXPECT_TRUE(item.dtlog());
        EXPECT_THROW(tessavo::Item(decoder.handle(), 5).code(), tessavo::Error);
    });
    EXPECT_EQ(items, 1u);
}

}  // namespace
}  // namespace tessavo::test
