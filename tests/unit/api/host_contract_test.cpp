// What the public header promises a host, checked through the exports: where messages go, that
// a collection moves the items, how long the pointers into an item stay valid, item times in
// two zones, and what DecodeMsgProc_One's result means.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "support/packet_builder.h"
#include "support/test_host.h"
#include "support/time_zone.h"

namespace tessavo::test {
namespace {

// Log 0x1000 (accepted without a decoder) whose payload is the u32 `number`.
Bytes Numbered(uint32_t number, uint64_t ticks = 0) {
    Bytes payload;
    PutU32(payload, number);
    return Frame(LogPacket(0x1000, payload, ticks));
}

uint32_t NumberAt(const void* payloadBlock) {
    const auto* b = static_cast<const uint8_t*>(payloadBlock) + 4;
    return static_cast<uint32_t>(b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24);
}

void SetMessages(const char* value) {
#if defined(_WIN32)
    _putenv_s("TESSAVO_MESSAGES", value != nullptr ? value : "");
#else
    if (value != nullptr) {
        setenv("TESSAVO_MESSAGES", value, 1);
    } else {
        unsetenv("TESSAVO_MESSAGES");
    }
#endif
}

TEST(HostContract, MessagesGoWhereTessavoMessagesSays) {
    const std::string kI = "Entry parameter 'i' is bound violation\n";
    const struct {
        const char* value;  // null: unset
        std::string out, err;
    } rows[] = {
        {nullptr, kI, ""}, {"stdout", kI, ""}, {"stderr", "", kI},
        {"off", "", ""},   {"STDERR", kI, ""}, {"", kI, ""},
    };
    TestHost host;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value != nullptr ? row.value : "(unset)");
        SetMessages(row.value);  // read when the message is printed, not at creation
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(GetReportItemProc(host.Handle(), 3), nullptr);
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), row.out);
        EXPECT_EQ(err, row.err);
    }
    SetMessages(nullptr);
}

TEST(HostContract, CollectionMovesTheItems) {
    TestHost host;
    ASSERT_TRUE(host.Feed(Concat({Numbered(1), Numbered(2), Numbered(3)})));
    int visited = 0;  // the loop the header warns about
    for (int32_t i = 0; i < GetReportItemCountProc(host.Handle()); ++i) ++visited;
    EXPECT_EQ(visited, 1);
    EXPECT_EQ(host.Collect(), 0);
    EXPECT_EQ(GetReportItemCountProc(nullptr), -1);
}

// After a collection of n items, item i's pointers survive 300 - n + i further appends and
// the next one reuses its node. Collections and clearing in between do not move them.
TEST(HostContract, PointersLiveUntilTheirNodeIsReused) {
    const struct {
        int n, i;
    } rows[] = {{5, 0}, {5, 4}, {1, 0}, {300, 0}, {300, 299}, {120, 37}};
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "n=" << row.n << " i=" << row.i);
        TestHost host;
        void* h = host.Handle();
        // Fill the ring part way first so the collected items do not start at its first node.
        for (uint32_t k = 0; k < 7; ++k) ASSERT_TRUE(host.Feed(Numbered(k)));
        ASSERT_EQ(host.Collect(), 7);
        for (int k = 0; k < row.n; ++k) ASSERT_TRUE(host.Feed(Numbered(1000 + k)));
        ASSERT_EQ(host.Collect(), row.n);
        const void* block = GetReportItemBinary(h, row.i);
        ASSERT_NE(block, nullptr);
        const uint32_t mine = 1000u + static_cast<uint32_t>(row.i);
        const int safe = 300 - row.n + row.i;
        for (int k = 0; k < safe; ++k) {
            const Bytes f = Numbered(5000 + k);
            ASSERT_EQ(DecodeMsgProc_One(h, f.data(), static_cast<int32_t>(f.size()), 0, 0), 1u);
            if (k % 2 == 0) {
                ASSERT_GE(host.Collect(), 1);
            }
            if (k % 3 == 0) {
                ASSERT_TRUE(ClearReportItemsProc(h));
            }
            ASSERT_EQ(NumberAt(block), mine) << "after " << k + 1 << " appends";
        }
        const Bytes next = Numbered(9999);
        host.Collect();
        ASSERT_EQ(DecodeMsgProc_One(h, next.data(), static_cast<int32_t>(next.size()), 0, 0), 1u);
        // The newest item takes the node: its block is handed out at the same place.
        const int32_t newest = host.Collect() - 1;
        ASSERT_GE(newest, 0);
        EXPECT_EQ(GetReportItemBinary(h, newest), block);
        EXPECT_EQ(NumberAt(block), 9999u);
    }
}

// The seconds are mktime(1980-01-06 08:00 local) plus the stamp's seconds: the GPS epoch on
// the Unix scale under UTC+8, eight hours later under UTC.
TEST(HostContract, ItemTimeFollowsTheProcessZone) {
    const struct {
        const char* zone;
        uint64_t ticks;  // 1.25 ms
        int32_t seconds, micros;
    } rows[] = {
        {"CST-8", 0, 315964800, 0},        {"CST-8", 800, 315964801, 0},
        {"CST-8", 801, 315964801, 1250},   {"UTC0", 800, 315993601, 0},
        {"UTC0", 800 * 86400 + 799, 316080000, 998750},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.zone << " " << row.ticks);
        ScopedTimeZone zone(row.zone);
        TestHost host;
        ASSERT_EQ(host.FeedAndCollect(Numbered(1, row.ticks)), 1);
        EXPECT_EQ(host.Time(0).seconds, row.seconds);
        EXPECT_EQ(host.Time(0).microseconds, row.micros);
    }
}

// DecodeMsgProc_One: 1 means processed, not "an item"; 0 means refused.
TEST(HostContract, DecodeOneResultAndItems) {
    const Bytes good = Numbered(7);
    const Bytes badCheck = FrameBadCrc(LogPacket(0x1000, {1, 2, 3, 4}));
    const Bytes tooLong(7168, 0x10);
    const struct {
        const char* name;
        const Bytes* frame;
        uint32_t result;
        int32_t items;
    } rows[] = {{"good", &good, 1, 1}, {"bad check bytes", &badCheck, 1, 0},
                {"7168 bytes", &tooLong, 0, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TestHost host;
        const Bytes& f = *row.frame;
        EXPECT_EQ(DecodeMsgProc_One(host.Handle(), f.data(), static_cast<int32_t>(f.size()), 0, 0),
                  row.result);
        EXPECT_EQ(host.Collect(), row.items);
    }
}

}  // namespace
}  // namespace tessavo::test
