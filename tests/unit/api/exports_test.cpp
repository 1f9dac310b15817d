// Argument checks, messages and failure values of the exported functions.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "api/decoder_object.h"
#include "api/report_ring.h"
#include "support/packet_builder.h"
#include "support/test_host.h"

namespace tessavo::test {
namespace {

std::string Printed(const std::function<void()>& fn) {
    ::testing::internal::CaptureStdout();
    fn();
    return ::testing::internal::GetCapturedStdout();
}

const Bytes kOneItem = Frame(LogPacket(0x1000, {1, 2, 3}));

// Log 0x1062 of the words 1..5: five scalar parameters and one structured record.
const Bytes kFiveWords = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};

TEST(Exports, CreationBadArgumentsConfigurationZeroLengthAndFailureInKeptBytes) {
    TestHost host;
    EXPECT_FALSE(SetDecoderConfiguration(nullptr, 6));
    EXPECT_FALSE(host.Configure(0));
    EXPECT_FALSE(host.Configure(-6));
    EXPECT_TRUE(host.Configure(12));  // unknown positive code: accepted, no effect
    for (int32_t code : {6, 7, 8, 9, 10, 11, 0x20001, 0x20002, 0xA0001, 0xA0002})
        EXPECT_TRUE(host.Configure(code)) << code;
    const uint8_t b[1] = {0x7E};
    void* h = host.Handle();
    void* none = nullptr;
    // clang-format off
    const std::pair<int64_t, int64_t> results[] = {  // {result, expected}
        {DecodeMsgProc(nullptr, b, 1, 0, 0), 0}, {DecodeMsgProc(h, nullptr, 1, 0, 0), 0},
        {DecodeMsgProc(h, b, 0, 0, 0), 0}, {DecodeMsgProc_NoDynamic(nullptr, b, 1, 0, 0), -1},
        {DecodeMsgProc_NoDynamic(h, nullptr, 1, 0, 0), -1}, {DecodeMsgProc_NoDynamic(h, b, 0, 0, 0), 0},
        {DecodeMsgProc_NoDynamic(h, b, -5, 0, 0), 0}, {DecodeMsgProc_One(nullptr, b, 1, 0, 0), 0},
        {DecodeMsgProc_One(h, b, 0, 0, 0), 0}, {GetReportItemCountProc(nullptr), -1},
        {ClearReportItemsProc(nullptr), 0}, {FreeDecoderObjectProc(nullptr), 0},
        {FreeDecoderObjectProc(&none), 0}};
    // clang-format on
    for (size_t i = 0; i < std::size(results); ++i)
        EXPECT_EQ(results[i].first, results[i].second) << i;
    // A zero-length call leaves a partial frame untouched.
    TestHost partial;
    const Bytes head(kOneItem.begin(), kOneItem.begin() + 5);
    partial.Feed(head);
    EXPECT_FALSE(DecodeMsgProc(partial.Handle(), head.data(), 0, 0, 0));
    EXPECT_EQ(partial.FeedAndCollect(Bytes(kOneItem.begin() + 5, kOneItem.end())), 1);
    for (uint32_t type : {0xB101u, 0xB200u, 0xB20Au, 0xB20Bu}) {  // the four supported types
        void* h = CreateDecoderObjectProc(type);
        EXPECT_NE(h, nullptr) << std::hex << type;
        EXPECT_TRUE(FreeDecoderObjectProc(&h));
        EXPECT_EQ(h, nullptr);  // the handle variable is cleared
    }
    for (uint32_t type : {0u, 0xB201u, 0xB100u, 0xFFFFFFFFu}) {
        void* h = reinterpret_cast<void*>(1);
        EXPECT_EQ(Printed([&] { h = CreateDecoderObjectProc(type); }),
                  "The moduletype is not a supported chip type\n");
        EXPECT_EQ(h, nullptr);
    }
    const auto saved = NodePages::allocator;
    NodePages::allocator = [](size_t) -> void* { return nullptr; };
    h = reinterpret_cast<void*>(1);  // a ring allocation failure fails the creation whole
    const std::string out = Printed([&] { h = CreateDecoderObjectProc(0xB101); });
    NodePages::allocator = saved;
    EXPECT_EQ(out, "Allocate ListNode Failed\n");
    EXPECT_EQ(h, nullptr);  // the object built so far is freed (the sanitizer build checks leaks)
    // A failure while decoding the bytes an earlier DecodeMsgProc kept (because the ring was full)
    // is a failure of this call: false, the kept bytes after the failing frame and this call's
    // bytes are not decoded, and nothing stays kept for later calls.
    TestHost kept;
    Bytes stream;
    for (int i = 0; i < 302; ++i) stream.insert(stream.end(), kOneItem.begin(), kOneItem.end());
    ASSERT_TRUE(kept.Feed(stream));  // 300 items, two frames kept
    ASSERT_EQ(kept.Collect(), 300);

    auto* obj = static_cast<DecoderObject*>(kept.Handle());
    obj->frameObserver = [](void*, const uint8_t*, int32_t) { throw 1; };
    EXPECT_FALSE(
        DecodeMsgProc(kept.Handle(), kOneItem.data(), static_cast<int32_t>(kOneItem.size()), 0, 0));
    obj->frameObserver = nullptr;
    EXPECT_EQ(kept.Collect(), 0);

    // The next call decodes only its own frame: nothing was left over.
    EXPECT_EQ(kept.FeedAndCollect(kOneItem), 1);
}

// Failure values: null, or 0xFFFFFFFF for the codes and counts.
// clang-format off
template <auto F> bool Null(void* h, int32_t i) { return F(h, i) == nullptr; }
template <auto F> bool NullAtZero(void* h, int32_t i) { return F(h, i, 0) == nullptr; }
template <auto F> bool Fail(void* h, int32_t i) { return F(h, i) == 0xFFFFFFFFu; }
// clang-format on
bool OutFileFails(void* h, int32_t i) {
    int32_t status = 7;
    return GetReportItemOutFileBinary(h, &status, i) == nullptr && status == -1;
}

const char* kI = "Entry parameter 'i' is bound violation\n";
const char* kNode = "Entry parameter 'nodeIdx' is bound violation\n";

// Each accessor with a bad index prints its message and returns its failure value.
TEST(Accessors, BadIndexesStructDataWordSideBlocksAndFillValues) {
    // clang-format off
    const struct { const char* name; bool (*failsWith)(void*, int32_t); const char* message; } rows[] = {
        {"Item", Null<GetReportItemProc>, kI}, {"Code", Fail<GetReportItemMsgCode>, kI},
        {"Direction", Fail<GetReportItemMsgDirection>, kI}, {"Time", Null<GetReportItemMsgTime>, kI},
        {"Payload", Null<GetReportItemBinary>, kI}, {"ZelFilter", Null<GetReportItemBinaryToZelFilter>, kI},
        {"ZelSimple", Null<GetReportItemBinaryToZelSimple>, kI}, {"OutFile", OutFileFails, kI},
        {"DtLog", Null<GetReportItemDTLogBinary>, kI},
        {"CurCount", Fail<GetReportItemCurDecodeParamCount>, kI},
        {"InhCount", Fail<GetReportItemInheritDecodeParamCount>, kI},
        {"CurStructCount", Fail<GetReportItemCurDecodeStructParamCount>, kI},
        {"InhStructCount", Fail<GetReportItemInheritDecodeStructParamCount>, kI},
        {"CurList", NullAtZero<GetReportItemCurDecodeParamList>, kNode},
        {"InhList", NullAtZero<GetReportItemInheritDecodeParamList>, kNode},
        {"CurStructList", NullAtZero<GetReportItemCurDecodeStructParamList>, kNode},
        {"InhStructList", NullAtZero<GetReportItemInheritDecodeStructParamList>, kNode},
    };
    // clang-format on
    TestHost host;
    host.Configure(0x20001);
    host.Configure(0xA0001);
    ASSERT_EQ(host.FeedAndCollect(kOneItem), 1);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (int32_t i : {-1, 1, INT32_MIN, INT32_MAX, 0}) {
            void* h = i == 0 ? nullptr : host.Handle();  // a null handle fails silently
            bool failed = false;
            EXPECT_EQ(Printed([&] { failed = row.failsWith(h, i); }), h ? row.message : "") << i;
            EXPECT_TRUE(failed) << i;
        }
    }
    TestHost fresh;  // no items yet
    EXPECT_EQ(fresh.Collect(), 0);
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(Printed([&] { p = GetReportItemProc(fresh.Handle(), 0); }), kI);
    EXPECT_EQ(p, nullptr);
    TestHost words;
    ASSERT_EQ(words.FeedAndCollect(Frame(LogPacket(0x1062, kFiveWords))), 1);
    const char* kParam = "Entry parameter 'paramIdx' is bound violation\n";
    void* h = words.Handle();
    EXPECT_NE(GetReportItemCurDecodeParamList(h, 0, 4), nullptr);
    for (int32_t k : {5, -1}) {
        EXPECT_EQ(Printed([&] { EXPECT_EQ(GetReportItemCurDecodeParamList(h, 0, k), nullptr); }),
                  kParam);
        EXPECT_EQ(
            Printed([&] { EXPECT_EQ(GetReportItemInheritDecodeParamList(h, 0, 0), nullptr); }),
            kParam);
    }
    EXPECT_EQ(Printed([&] { EXPECT_EQ(GetReportItemCurDecodeStructParamList(h, 0, 1), nullptr); }),
              kParam);
    // The structured record's data word points at its payload (0 where an address needs more
    // than 32 bits).
    const DecodeStructParam* rec = GetReportItemCurDecodeStructParamList(h, 0, 0);
    ASSERT_NE(rec, nullptr);
    uint32_t data = 0;
    std::memcpy(&data, reinterpret_cast<const uint8_t*>(rec) + 12, 4);
    const auto payload = reinterpret_cast<uintptr_t>(TESSAVO_STRUCT_PARAM_DATA(rec));
    EXPECT_EQ(data, payload <= UINT32_MAX ? static_cast<uint32_t>(payload) : 0u);
    EXPECT_EQ(std::memcmp(TESSAVO_STRUCT_PARAM_DATA(rec), kFiveWords.data(), 20), 0);
    TestHost side;  // one item of a three-byte payload
    ASSERT_EQ(side.FeedAndCollect(kOneItem), 1);
    EXPECT_EQ(GetReportItemDTLogBinary(side.Handle(), 0), nullptr);
    side.Configure(0xA0001);
    EXPECT_NE(GetReportItemDTLogBinary(side.Handle(), 0), nullptr);
    int32_t status = 0;
    EXPECT_EQ(GetReportItemOutFileBinary(side.Handle(), &status, 0), nullptr);
    EXPECT_EQ(status, -1);
    side.Configure(0x20001);
    void* block = GetReportItemOutFileBinary(side.Handle(), &status, 0);
    EXPECT_EQ(status, 1);
    ASSERT_NE(block, nullptr);  // its bytes: Blocks.PayloadOutFileAndZelFilterOfALogPacket
    EXPECT_NE(GetReportItemOutFileBinary(side.Handle(), nullptr, 0), nullptr);  // no write
    side.Configure(0x20002);
    EXPECT_EQ(GetReportItemOutFileBinary(side.Handle(), &status, 0), nullptr);
    EXPECT_EQ(status, -1);
    // Constructed fill values: the list capacities, 0xFF after the three-byte payload.
    const auto* item = static_cast<const uint8_t*>(GetReportItemProc(side.Handle(), 0));
    ASSERT_NE(item, nullptr);
    uint16_t capacity[2] = {};
    std::memcpy(&capacity[0], item + TESSAVO_OFFSET_PARAM_CAPACITY, 2);
    std::memcpy(&capacity[1], item + TESSAVO_OFFSET_SPARAM_CAPACITY, 2);
    EXPECT_EQ(std::vector<uint16_t>(capacity, capacity + 2), (std::vector<uint16_t>{384, 45}));
    EXPECT_EQ(item[TESSAVO_OFFSET_PAYLOAD + 4 + 3], 0xFF);
    EXPECT_EQ(item[TESSAVO_OFFSET_ZEL_SIMPLE + 4], 0xFF);
}

}  // namespace
}  // namespace tessavo::test
