// The bundled capture samples/drive_test.bin: the generator reproduces it byte for byte, and a
// host decoding it through the exports gets what the generator put in. The expected values are
// the ones the drive was designed with (see samples/README.md), worked out by hand below.
#include <gtest/gtest.h>
#include <tessavo/tessavo.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "drive_test.h"
#include "support/test_host.h"
#include "support/time_zone.h"

namespace {

using tessavo::test::Bytes;
using tessavo::test::ParamValue;

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Item {
    uint32_t msgCode = 0;
    int32_t seconds = 0;
    int32_t microseconds = 0;
    std::vector<ParamValue> current;
    bool operator==(const Item&) const = default;

    // The value this packet set; a parameter it cleared is listed too, but not fresh.
    std::optional<int32_t> Current(uint32_t id) const {
        for (const ParamValue& p : current) {
            if (p.id == id && p.state == TESSAVO_STATE_FRESH) return p.value;
        }
        return std::nullopt;
    }
};

// Decodes the whole capture as a host does: chunks through DecodeMsgProc_NoDynamic, collecting
// after every call and handing the unconsumed tail in again when the ring filled.
std::vector<Item> DecodeAll(const Bytes& capture, size_t chunk) {
    tessavo::test::TestHost host(TESSAVO_MODULE_B101);
    std::vector<Item> items;
    for (size_t at = 0; at < capture.size();) {
        const auto length = static_cast<int32_t>(std::min(chunk, capture.size() - at));
        const int32_t left =
            DecodeMsgProc_NoDynamic(host.Handle(), capture.data() + at, length, 0, 0);
        for (int32_t i = 0, n = host.Collect(); i < n; ++i) {
            const ItemTime t = host.Time(i);
            items.push_back({host.MsgCode(i), t.seconds, t.microseconds, host.Current(i)});
        }
        at += static_cast<size_t>(length - (left > 0 ? left : 0));
    }
    return items;
}

// Log code or command of an item, from its message code: signalling and packed-record codes
// carry the log code in their upper half, all others the module type there and the log code
// (or the command's own identity) below.
uint32_t SourceOf(uint32_t msgCode) {
    const uint32_t upper = msgCode >> 16;
    if ((upper >= 0x1004 && upper <= 0x1008) || upper == 0x1036 || upper == 0x1037) return upper;
    for (const auto& [low, command] :
         {std::pair{0x3040u, 0x40u}, {0x3073u, 0x73u}, {0xDD4Bu, 0x4Bu}, {0x1FFBu, 0x60u}}) {
        if ((msgCode & 0xFFFF) == low) return command;
    }
    return msgCode & 0xFFFF;
}

// The committed capture, decoded in 64 KB chunks, and the generator's ledger of what it wrote.
struct Drive {
    Bytes capture = ReadFile(TESSAVO_SAMPLE_FILE);
    std::vector<Item> items;
    tessavo::sample::SampleLedger ledger = tessavo::sample::MakeDriveTest().ledger;
};
const Drive& TheDrive() {
    static const Drive* drive = [] {
        tessavo::test::SetTimeZone("CST-8");
        auto* d = new Drive;
        d->items = DecodeAll(d->capture, 65536);
        return d;
    }();
    return *drive;
}
const std::vector<Item>& Items() {
    return TheDrive().items;
}
const Item* First(uint32_t msgCode, int skip = 0) {
    for (const Item& item : Items()) {
        if (item.msgCode == msgCode && skip-- == 0) return &item;
    }
    return nullptr;
}
constexpr int32_t kStart = 1715652000;  // 2024-05-14 10:00:00 in UTC+8, the drive's start

TEST(DriveTestSampleFile, GeneratorReproducesTheCommittedCapture) {
    const std::filesystem::path out =
        std::filesystem::temp_directory_path() /
        ("tessavo_sample_" + std::to_string(static_cast<long>(getpid())) + ".bin");
#if defined(_WIN32)
    // cmd.exe takes the outer pair of quotes off a command line that starts with one.
    const std::string command =
        std::string("\"\"") + TESSAVO_MAKE_SAMPLE_BINARY + "\" \"" + out.string() + "\" >NUL\"";
#else
    const std::string command =
        std::string("\"") + TESSAVO_MAKE_SAMPLE_BINARY + "\" \"" + out.string() + "\" >/dev/null";
#endif
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Bytes made = ReadFile(out.string());
    std::filesystem::remove(out);
    const Bytes committed = ReadFile(TESSAVO_SAMPLE_FILE);

    ASSERT_FALSE(committed.empty());
    EXPECT_LT(committed.size(), 1u << 20);
    ASSERT_EQ(made.size(), committed.size());
    const auto mismatch = std::mismatch(made.begin(), made.end(), committed.begin());
    EXPECT_TRUE(mismatch.first == made.end())
        << "first difference at byte " << (mismatch.first - made.begin());
}

// Frames per stream, worked out from the drive plan: searcher reports every 250 ms from
// 0.1 s to 239.85 s; traffic statistics once a second from 1 s after the first traffic
// message while a whole second remains (41.5 .. 86.5 s in the voice call: 46; 121.6 ..
// 224.6 s in the data call: 104); packed logs at 10 s and then every 15 s of the data call,
// alternating 0x1036 (2 + 1 records) and 0x1037 (1 record). EV-DO statistics once a second
// from 243 s to 319 s: 30 + 16 seconds on one carrier (0x1192, 0x1193, 0x127E), 31 seconds on
// two (0x12A2, 0x129F per carrier); 0x128A at the three mode changes. Sector, ratio and flow
// logs in the same seconds: on two carriers 0x129C, 0x12A1, 0x1295, 0x129D and 0x12A6 once,
// 0x12A5 twice (two flows); on one carrier 0x127D and 0x1275 once, 0x1276 twice. Position fixes
// 0x1014 once a second from 1 s to 319 s. The decoded items
// of each log code and command are its frames less those sampled out, times the items per frame;
// the damaged frames and junk runs give none.
TEST(DriveTestSample, ItemsPerLogCodeFollowTheDrivePlan) {
    const tessavo::sample::SampleLedger& ledger = TheDrive().ledger;
    // clang-format off
    const struct { uint16_t logCode; int frames, throttled, itemsPerFrame; } rows[] = {
        {0x119A, 960, 480, 1}, {0x102D, 150, 0, 1}, {0x1025, 150, 0, 1}, {0x1031, 104, 0, 1},
        {0x1070, 104, 0, 1}, {0x1036, 4, 0, 4}, {0x1037, 3, 0, 2}, {0x1006, 3, 0, 1}, {0x1004, 2, 0, 1},
        {0x1192, 46, 0, 1},
        {0x1193, 46, 0, 1}, {0x127E, 46, 0, 1}, {0x12A2, 62, 0, 1}, {0x129F, 62, 0, 1}, {0x128A, 3, 0, 1},
        {0x129C, 31, 0, 1}, {0x12A1, 31, 0, 1}, {0x1295, 31, 0, 1}, {0x129D, 31, 0, 1}, {0x12A5, 62, 0, 1},
        {0x12A6, 31, 0, 1}, {0x127D, 46, 0, 1}, {0x1276, 92, 0, 1}, {0x1275, 46, 0, 1},
        {0x1014, 319, 0, 1},
    };  // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.logCode);
        const tessavo::sample::FrameTally& t = ledger.logs.at(row.logCode);
        EXPECT_EQ(std::tuple(t.frames, t.throttled, t.itemsPerFrame),
                  std::tuple(row.frames, row.throttled, row.itemsPerFrame));
    }
    EXPECT_EQ(std::tuple(ledger.damagedFrames, ledger.junkRuns, ledger.bareFlags),
              std::tuple(6, 4, 2));
    std::map<uint32_t, int> counted;
    for (const Item& item : Items()) ++counted[SourceOf(item.msgCode)];
    std::map<uint32_t, int> expected;
    for (const auto& [code, t] : ledger.logs)
        expected[code] = (t.frames - t.throttled) * t.itemsPerFrame;
    for (const auto& [command, t] : ledger.commands) expected[command] = t.frames;
    EXPECT_EQ(counted, expected);
}

// Values the over-the-air messages carry, as they were written into the drive.
TEST(DriveTestSample, SignallingParametersAsSent) {
    // clang-format off
    const struct { const char* what; uint32_t msgCode; int skip; uint32_t id; int32_t value; } rows[] = {
        {"sync channel: CDMA channel 283", 0x10060100, 0, 0x7F010012, 283},
        {"system parameters: SID", 0x10070100, 0, 0x7F010301, 13824},
        {"system parameters: NID", 0x10070100, 0, 0x7F010302, 1},
        {"system parameters: BASE_ID of the first site", 0x10070100, 0, 0x7F010303, 1201},
        {"system parameters: T_ADD -14 dB in -0.5 dB units", 0x10070100, 0, 0x7F010018, 28},
        {"access parameters: NUM_STEP", 0x10070200, 0, 0x7F010401, 5},
        {"extended system parameters: P_REV", 0x10070D00, 0, 0x7F010016, 6},
        {"page response: voice, service option 3", 0x10040500, 0, 0x7F01031D, 3},
        // 13900001234 = 3 * 2^32 + 1015099346
        {"alert: calling number, high word", 0x10080300, 0, 0x7F010312, 3},
        {"alert: calling number, low word", 0x10080300, 0, 0x7F010313, 1015099346},
        {"origination: data, service option 33", 0x10040400, 0, 0x7F01031C, 33},
        {"origination: #777 has no leading digits", 0x10040400, 0, 0x7F010315, 0},
        {"origination marks the call as originated", 0x10040400, 0, 0x7F010017, 1},
        {"reverse release order: ORDQ 0", 0x10050154, 0, 0x7F01031F, 0},
        {"status response with a zero second word", 0xB1013073, 0, 0x7F1C8001, 1},
        {"status response with second word 5", 0xB1013073, 1, 0x7F1C8001, 0},
        {"subsystem state 1 while idle", 0xB101DD4B, 0, 0x7F1C0001, 1},
        {"subsystem state 3 on traffic maps to 4", 0xB101DD4B, 1, 0x7F1C0001, 4},
        {"event 0x1A2 word 2 at voice call set-up", 0xB1011FFB, 0, 0x7F010014, 1},
        {"event 0x1A2 word 0 at voice call release", 0xB1011FFB, 1, 0x7F010014, 0},
    };  // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const Item* item = First(row.msgCode, row.skip);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->Current(row.id), std::optional<int32_t>(row.value));
    }
}

// The 1x calls: the hard handoff moves the voice call to channel 384 at 170.0 s less 100 ms.
// The first data rates after the slow start: the forward byte counters grow by exactly 2000
// bytes in one second; 0x1031 reports 2000 * 8 = 16000 bit/s, 0x1070 counts kibibits:
// 1024 * 16000 / 1000 = 16384. Transmit power is reported only on a traffic channel: never
// before the handset has accessed the system, and only while the last channel state is 2.
TEST(DriveTestSample, OneXCalls) {
    const Item* hard = nullptr;
    std::optional<int32_t> link, throughput;
    bool accessed = false;
    int32_t channelState = -1;
    int transmitItems = 0;
    for (const Item& item : Items()) {
        if (item.msgCode == 0x10081F00 && item.Current(0x7F010015) == 9) hard = &item;
        if (!link) link = item.Current(0x7F010201);
        if (!throughput) throughput = item.Current(0x7F018102);
        if ((item.msgCode >> 16) == 0x1004) accessed = true;
        if (auto state = item.Current(0x7F01C102)) channelState = *state;
        if (item.Current(0x7F010003)) {
            ++transmitItems;
            EXPECT_TRUE(accessed && channelState == 2) << accessed << " " << channelState;
        }
    }
    ASSERT_NE(hard, nullptr);
    EXPECT_EQ(hard->Current(0x7F010012), std::optional<int32_t>(384));
    EXPECT_EQ(std::pair(hard->seconds, hard->microseconds), std::pair(kStart + 169, 900000));
    EXPECT_EQ(std::pair(link, throughput), std::pair(std::optional(16000), std::optional(16384)));
    EXPECT_GT(transmitItems, 100);
}

// The items run from the first log packet (the sync message at 10:00:00.050) to the last
// EV-DO reverse flow log (319.47 s), never backwards.
TEST(DriveTestSample, ItemTimesSpanTheDrive) {
    ASSERT_FALSE(Items().empty());
    EXPECT_EQ(std::pair(Items().front().seconds, Items().front().microseconds),
              std::pair(kStart, 50000));
    EXPECT_EQ(std::pair(Items().back().seconds, Items().back().microseconds),
              std::pair(kStart + 319, 470000));
    for (size_t i = 1; i < Items().size(); ++i) {
        const Item& a = Items()[i - 1];
        const Item& b = Items()[i];
        ASSERT_LE(std::pair(a.seconds, a.microseconds), std::pair(b.seconds, b.microseconds))
            << "item " << i;
    }
}

// The EV-DO session: carrier mode 1, 2 (from 273 s), 1 (from 304 s). Each statistics log
// publishes only in its own mode. Forward traffic is 1.6 to 2.4 Mbit/s per carrier, published
// in kbit/s x 1.024 (1638 to 2458) and summed over two carriers in multi-carrier mode; about
// 6 % of the packets are B packets; 1 to 5 % of the reverse packets are lost. The first
// packet of each log and carrier only primes its history.
TEST(DriveTestSample, EvdoRatesFollowTheCarrierMode) {
    std::vector<int32_t> modes;
    std::map<uint32_t, int> published;  // items with scalars, by log code
    for (const Item& item : Items()) {
        const uint32_t code = SourceOf(item.msgCode);
        if (auto mode = item.Current(0x7F01830A)) modes.push_back(*mode);
        const bool stats =
            code == 0x1192 || code == 0x1193 || code == 0x127E || code == 0x12A2 || code == 0x129F;
        if (!stats || item.current.empty()) continue;
        ++published[code];
        const bool multi = item.seconds >= kStart + 273 && item.seconds < kStart + 304;
        EXPECT_EQ(multi, code == 0x12A2 || code == 0x129F) << std::hex << code;
        const auto in = [&](uint32_t id, int32_t lo, int32_t hi) {
            const int32_t v = item.Current(id).value_or(lo);  // absent: in range
            EXPECT_TRUE(v >= lo && v <= hi) << std::hex << id << ": " << std::dec << v;
        };
        in(0x7F018402, multi ? 3276 : 1638, multi ? 4916 : 2458);  // forward, since last
        in(0x7F018407, 500, 700);                                  // B share, % x 100
        in(0x7F018207, code == 0x129F ? 0 : 9400, 9950);  // reverse share (0 before any value)
    }
    EXPECT_EQ(modes, (std::vector<int32_t>{1, 2, 1}));
    const std::map<uint32_t, int> expected = {
        {0x1192, 46}, {0x1193, 46}, {0x127E, 45}, {0x12A2, 62}, {0x129F, 61}};
    EXPECT_EQ(published, expected);
}

// The serving sector of carrier 0 (channel 75, the reference) hands off from sector 120 to
// sector 240 at 288 s; the serving level stays between 4.9 and 9 dB. The download runs at
// 150000 + 50000 bytes/s on one carrier and 300000 + 50000 on two: interval sums of
// 1600 x 1.024 and 2800 x 1.024 kbit/s, in between after the carrier change.
TEST(DriveTestSample, EvdoServingSectorAndFlows) {
    std::vector<std::pair<int32_t, int32_t>> serving;  // (second, sector) at each change
    int flowRounds = 0;
    for (const Item& item : Items()) {
        const uint32_t code = SourceOf(item.msgCode);
        const int32_t second = item.seconds - kStart;
        if (code == 0x1295) {
            EXPECT_EQ(item.Current(0x7F01800D), 75);
            const int32_t level = item.Current(0x7F018007).value_or(0);
            EXPECT_TRUE(level >= 4900 && level <= 9000) << level;
            const int32_t sector = item.Current(0x7F01910E).value_or(-1);
            if (serving.empty() || serving.back().second != sector)
                serving.emplace_back(second, sector);
        }
        if (code != 0x1276 && code != 0x12A5) continue;
        if (auto v = item.Current(0x7F018102)) {
            ++flowRounds;
            EXPECT_TRUE(code != 0x12A5 || *v == 2867200) << *v;
            EXPECT_TRUE(*v >= 1638400 && *v <= 2867200) << *v;
        }
    }
    EXPECT_EQ(serving, (std::vector<std::pair<int32_t, int32_t>>{{273, 120}, {288, 240}}));
    // Every flow-0 packet after its log's first publishes the interval sum.
    EXPECT_EQ(flowRounds, 45 + 30);
}

// Feeding the capture one byte at a time gives the same items, with the same times and
// parameters, as in 64 KB chunks.
TEST(DriveTestSample, ChunkSizeDoesNotChangeTheItems) {
    const std::vector<Item> small = DecodeAll(TheDrive().capture, 1);
    ASSERT_EQ(small.size(), Items().size());
    for (size_t i = 0; i < small.size(); ++i) ASSERT_TRUE(small[i] == Items()[i]) << "item " << i;
}

}  // namespace
