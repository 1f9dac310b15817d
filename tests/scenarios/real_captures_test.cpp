// Whole files decoded through the exports as a host does. The public captures (read in place,
// skipped when absent): items per log code against a frame scan of this test's own, values of
// the first CDMA records and the DTLog lines of its signalling worked out by hand. The captures,
// the bundled sample and the fuzz corpus: items appended by copying only what changed are the
// items a whole copy gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "api/decoder_object.h"
#include "decoders/decoder_context.h"
#include "dispatch/log_routes.h"
#include "framing/crc16.h"
#include "framing/hdlc.h"
#include "support/test_host.h"
#include "support/twin_decoders.h"

namespace tessavo::test {
namespace {

namespace fs = std::filesystem;

Bytes ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
fs::path CapturePath(const std::string& name) {
    return fs::path(TESSAVO_CAPTURES_DIR) / name;
}
const fs::path kCdma = CapturePath("sprint_2015.mi2log");  // the CDMA 1x / EV-DO capture

// ---- Items per log code ----

// Expected items per log code, from a scan that splits on 0x7E and unescapes by itself.
std::map<uint16_t, int> ExpectedLogItems(const Bytes& file) {
    std::map<uint16_t, int> counts;
    std::map<uint16_t, uint64_t> lastTicks;
    Bytes raw;
    for (uint8_t b : file) {
        raw.push_back(b);
        if (b != 0x7E) {
            if (raw.size() >= 7168) raw.clear();
            continue;
        }
        const Bytes frame = std::exchange(raw, {});
        if (frame.size() >= 7168) continue;
        Bytes packet;  // check bytes and flag included
        for (size_t i = 0; i < frame.size(); ++i) {
            const bool escape = frame[i] == 0x7D && i + 1 < frame.size() &&
                                (frame[i + 1] == 0x5D || frame[i + 1] == 0x5E);
            packet.push_back(escape ? frame[++i] ^ 0x20 : frame[i]);
        }
        const size_t l = packet.size();
        if (l < 19 || packet[0] != 0x10) continue;
        const uint16_t code = static_cast<uint16_t>(packet[6] | packet[7] << 8);
        if (VerifyCrc16(packet.data(), l - 1) == 0 && code != 0xFFFE) continue;
        const LogRoute* route = FindLogRoute(code);
        if (route != nullptr && route->kind == RouteKind::Ignore) continue;
        if (code == 0x1036 || code == 0x1037 || code == 0x108A) {
            ADD_FAILURE() << "scan does not model code " << std::hex << code;
        }
        if (route != nullptr && route->sampling != kNotSampled) {
            uint64_t stamp = 0;
            for (int k = 7; k >= 0; --k) stamp = stamp << 8 | packet[8 + static_cast<size_t>(k)];
            const auto ticks = static_cast<double>(stamp >> 16);  // 1.25 ms units
            const double interval = kSamplingIntervals[static_cast<size_t>(route->sampling)];
            const auto last = lastTicks.find(code);
            if (last != lastTicks.end()) {
                const double elapsed = (ticks - static_cast<double>(last->second)) * 0.00125;
                if (!(elapsed - interval > -0.00001 || elapsed < 0)) continue;
            }
            lastTicks[code] = stamp >> 16;
        }
        ++counts[code];
    }
    return counts;
}

struct Decoded {
    std::map<uint16_t, int> logItems;  // by the log code of the item's OutFile record
    int items = 0;
};

Decoded DecodeAsAHost(const Bytes& file, size_t chunk) {
    TestHost host;
    host.Configure(0x20001);  // OutFile records carry the log code
    Decoded d;
    for (size_t at = 0; at < file.size(); at += chunk) {
        const uint8_t* p = file.data() + at;
        int32_t len = static_cast<int32_t>(std::min(chunk, file.size() - at));
        for (int32_t left = len; left > 0; p += len - left, len = left) {
            left = DecodeMsgProc_NoDynamic(host.Handle(), p, len, 1439000000, 0);
            EXPECT_GE(left, 0);
            for (int32_t i = 0, n = host.Collect(); i < n; ++i, ++d.items) {
                int32_t status = 0;
                const Bytes rec =
                    host.BlockBytes(GetReportItemOutFileBinary(host.Handle(), &status, i));
                if (rec.size() >= 4) ++d.logItems[static_cast<uint16_t>(rec[2] | rec[3] << 8)];
            }
        }
    }
    return d;
}

class RealCapture : public ::testing::TestWithParam<std::string> {};

TEST_P(RealCapture, ItemsPerLogCodeMatchAnIndependentScan) {
    const auto path = CapturePath(GetParam());
    if (!fs::exists(path)) GTEST_SKIP() << "capture folder absent";
    const Bytes file = ReadFile(path);
    const std::map<uint16_t, int> expected = ExpectedLogItems(file);
    const Decoded got = DecodeAsAHost(file, 65536);
    // Commands and packed sub-packets have no log code in their OutFile record; the 0x3040 /
    // 0x3063 tags of command responses 0x40 / 0x63 are not log packets of the file.
    std::map<uint16_t, int> logs = got.logItems;
    logs.erase(0x3040);
    logs.erase(0x3063);
    EXPECT_EQ(logs, expected);
    EXPECT_GT(got.items, 0);
}

INSTANTIATE_TEST_SUITE_P(Captures, RealCapture,
                         ::testing::Values("sprint_2015.mi2log", "att_iphone_2016.mi2log",
                                           "cmcc_2015.mi2log", "pixel5_2023_multiradio.qmdl",
                                           "qmdl_example.qmdl"),
                         [](const auto& info) {
                             std::string n = info.param;
                             std::replace_if(
                                 n.begin(), n.end(), [](unsigned char c) { return !isalnum(c); },
                                 '_');
                             return n;
                         });

// ---- Chunking ----

// Digests of every item of the file, decoded as a host does (side forms on) in pieces of
// `piece(k)` bytes for the k-th piece.
template <typename Piece>
std::vector<uint64_t> ItemDigests(const Bytes& file, Piece piece) {
    TestHost host;
    for (int32_t code : {TESSAVO_CFG_REENCODE_ON, TESSAVO_CFG_OUTFILE_ON, TESSAVO_CFG_DTLOG_ON}) {
        host.Configure(code);
    }
    std::vector<uint64_t> digests;
    for (size_t at = 0, k = 0; at < file.size(); ++k) {
        const size_t n = std::min(piece(k), file.size() - at);
        const uint8_t* p = file.data() + at;
        int32_t len = static_cast<int32_t>(n);
        for (int32_t left = len; left > 0; p += len - left, len = left) {
            left = DecodeMsgProc_NoDynamic(host.Handle(), p, len, 1439000000, 0);
            const int32_t count = host.Collect();
            for (int32_t i = 0; i < count; ++i) {
                digests.push_back(ItemDigest(GetReportItemProc(host.Handle(), i)));
            }
            if (left < 0 || (left >= len && count == 0)) break;
        }
        at += n;
    }
    return digests;
}

// Every capture gives the same items, byte for byte, whether a host hands it over whole or in
// pieces that cut its frames anywhere.
TEST_P(RealCapture, PiecesOfAnySizeGiveTheItemsOfTheWholeFile) {
    const Bytes file = ReadFile(CapturePath(GetParam()));
    if (file.empty()) GTEST_SKIP() << "capture folder absent";
    const std::vector<uint64_t> whole = ItemDigests(file, [&](size_t) { return file.size(); });
    ASSERT_GT(whole.size(), 0u);
    const std::pair<const char*, std::function<size_t(size_t)>> chunkings[] = {
        {"7 bytes", [](size_t) { return size_t{7}; }},
        {"4 KiB", [](size_t) { return size_t{4096}; }},
        {"1 to 256 bytes, chosen by the file",
         [&](size_t k) { return size_t{1} + file[(k * 7919) % file.size()]; }}};
    for (const auto& [name, piece] : chunkings) {
        EXPECT_EQ(ItemDigests(file, piece), whole) << name;
    }
}

// ---- Append paths ----

std::vector<fs::path> FilesIn(const fs::path& dir) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        if (e.is_regular_file() && e.path().extension() != ".md" &&
            e.path().filename().string()[0] != '.') {
            files.push_back(e.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Decodes the bytes in the host loop on both objects.
void DecodeTwice(TwinDecoders& twins, const Bytes& bytes) {
    constexpr size_t kPiece = 65536;
    for (size_t at = 0; at < bytes.size() && twins.Mismatch().empty();) {
        const auto n = static_cast<int32_t>(std::min(kPiece, bytes.size() - at));
        const int32_t left = twins.DecodeNoDynamic(bytes.data() + at, n, 1000);
        const int32_t collected = twins.CollectAndCompare();
        if (left < 0 || (left >= n && collected == 0)) break;  // refused, or no progress
        at += static_cast<size_t>(n - left);
    }
}

class AppendPaths : public ::testing::TestWithParam<int> {};

TEST_P(AppendPaths, IncrementalAppendGivesTheWholeCopysItems) {
    const fs::path source = TESSAVO_SOURCE_DIR;
    const std::pair<const char*, std::vector<fs::path>> corpora[] = {
        {"captures", FilesIn(TESSAVO_CAPTURES_DIR)},
        {"sample", {source / "samples" / "drive_test.bin"}},
        {"fuzz seeds", FilesIn(TESSAVO_FUZZ_SEEDS_DIR)},
        {"fuzz regressions", FilesIn(source / "fuzz" / "regressions")}};
    const auto& [name, files] = corpora[GetParam()];
    if (files.empty() || !fs::exists(files.front())) GTEST_SKIP() << name << " absent";
    for (bool sideForms : {false, true}) {
        // One pair of objects takes the corpus's files one after the other.
        TwinDecoders twins(TESSAVO_MODULE_B101);
        ASSERT_TRUE(twins.Valid());
        for (int32_t code :
             {TESSAVO_CFG_REENCODE_ON, TESSAVO_CFG_OUTFILE_ON, TESSAVO_CFG_DTLOG_ON}) {
            if (sideForms) twins.Configure(code);
        }
        // In the second pass the first object's line stamps pass 2^32 and start again from 0.
        if (sideForms) static_cast<DecoderObject*>(twins.Handle(0))->ctx.writes.generation = ~0u - 1000;
        for (const fs::path& file : files) {
            DecodeTwice(twins, ReadFile(file));
            EXPECT_EQ(twins.Mismatch(), "") << file << (sideForms ? " (side forms on)" : "");
            if (!twins.Mismatch().empty()) break;
        }
        // Every corpus yields items; a loop that compared nothing would prove nothing.
        EXPECT_GT(twins.ItemsCompared(), 0) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Corpora, AppendPaths, ::testing::Range(0, 4), [](const auto& info) {
    return std::string(
        std::array{"Captures", "Sample", "FuzzSeeds", "FuzzRegressions"}[info.param]);
});

// ---- Hosts that collect late ----

// What identifies an item: message code, time and the frame as received.
using ItemKey = std::tuple<uint32_t, int32_t, int32_t, Bytes>;

void CollectKeys(void* h, std::vector<ItemKey>& out) {
    for (int32_t i = 0, n = GetReportItemCountProc(h); i < n; ++i) {
        const auto* t = static_cast<const ItemTime*>(GetReportItemMsgTime(h, i));
        const auto* block = static_cast<const uint8_t*>(GetReportItemBinaryToZelFilter(h, i));
        uint32_t length = 0;
        std::memcpy(&length, block, 4);
        out.emplace_back(GetReportItemMsgCode(h, i), t->seconds, t->microseconds,
                         Bytes(block + 4, block + 4 + length));
    }
}

// The end of the input: one flag byte, collected, until every kept byte is decoded.
void Drain(void* h, std::vector<ItemKey>& out) {
    const uint8_t flag = 0x7E;
    for (int32_t left = 1; left > 0;) {
        left = DecodeMsgProc_NoDynamic(h, &flag, 1, 1000, 0);
        ASSERT_GE(left, 0);
        CollectKeys(h, out);
    }
}

// Items of the documented loop (collect after every call, pass again what was not taken), or
// of a host that collects only after every `every`-th call, through either stream entry point.
std::vector<ItemKey> DecodeCollectingEvery(const Bytes& file, size_t chunk, int every,
                                           bool noDynamic) {
    std::vector<ItemKey> keys;
    TestHost host;
    int calls = 0;
    for (size_t at = 0; at < file.size();) {
        const auto n = static_cast<int32_t>(std::min(chunk, file.size() - at));
        if (noDynamic) {
            const int32_t left = DecodeMsgProc_NoDynamic(host.Handle(), &file[at], n, 1000, 0);
            EXPECT_GE(left, 0);
            // A ring that filled must be collected before the rest is passed again.
            if (left > 0 || ++calls % every == 0) CollectKeys(host.Handle(), keys);
            at += static_cast<size_t>(n - std::max(left, 0));
        } else {
            EXPECT_TRUE(DecodeMsgProc(host.Handle(), &file[at], n, 1000, 0));
            if (++calls % every == 0) CollectKeys(host.Handle(), keys);
            at += static_cast<size_t>(n);
        }
    }
    Drain(host.Handle(), keys);
    return keys;
}

// Every item exactly once, in order, however late the host collects and whatever the chunk
// size; the capture's last frame included (the end-of-input flag decodes what was kept).
TEST(LateCollection, EveryItemExactlyOnce) {
    for (const char* name : {"sprint_2015.mi2log", "cmcc_2015.mi2log"}) {
        const fs::path path = CapturePath(name);
        if (!fs::exists(path)) GTEST_SKIP() << path << " absent";
        const Bytes file = ReadFile(path);
        const std::vector<ItemKey> reference = DecodeCollectingEvery(file, 65536, 1, true);
        ASSERT_GT(reference.size(), 5000u);
        for (size_t chunk : {size_t{1}, size_t{4096}, size_t{65536}}) {
            for (bool noDynamic : {false, true}) {
                SCOPED_TRACE(std::string(name) + " chunk " + std::to_string(chunk) +
                             (noDynamic ? " DecodeMsgProc_NoDynamic" : " DecodeMsgProc"));
                const std::vector<ItemKey> late = DecodeCollectingEvery(file, chunk, 4, noDynamic);
                EXPECT_EQ(late.size(), reference.size());
                EXPECT_TRUE(late == reference);
            }
        }
    }
}

// ---- The CDMA capture ----
// The second-interface and record logs fed frame by frame, and the first system parameters
// message on a host of its own: values of the first packets of each kind worked out by hand.

// Frames (as on the wire, flag included) whose unescaped log code is one of `codes` and, unless
// `type` is negative, whose message type (payload byte 1) is `type`.
std::vector<Bytes> FramesOf(const Bytes& file, const std::set<uint16_t>& codes, int type = -1) {
    std::vector<Bytes> frames;
    Bytes raw;
    for (uint8_t b : file) {
        raw.push_back(b);
        if (b != 0x7E) continue;
        Bytes packet;
        for (size_t i = 0; i + 1 < raw.size() && packet.size() < 19; ++i) {
            packet.push_back(raw[i] == 0x7D && i + 2 < raw.size() ? raw[++i] ^ 0x20 : raw[i]);
        }
        if (packet.size() >= 8 && packet[0] == 0x10 &&
            codes.count(static_cast<uint16_t>(packet[6] | packet[7] << 8)) != 0 &&
            (type < 0 || (packet.size() == 19 && packet[17] == type))) {
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
        file_ = new Bytes(ReadFile(kCdma));
        TestHost host;
        items_ = new std::vector<Item>;
        for (const Bytes& frame : FramesOf(*file_, {0x105F, 0x106E, 0x1071, 0x1076, 0x1077, 0x1078,
                                                    0x1079, 0x107C, 0x107E})) {
            const int32_t n = host.FeedAndCollect(frame);
            for (int32_t i = 0; i < n; ++i)
                items_->push_back({host.MsgCode(i), host.Direction(i), host.Current(i)});
        }
    }
    static void TearDownTestSuite() {
        delete items_;
        delete file_;
    }
    void SetUp() override {
        if (file_->empty()) GTEST_SKIP() << "capture not present";
    }

    // The `nth` item (from 0) with message code `code`.
    static const Item* Nth(uint32_t code, int nth) {
        for (const Item& it : *items_) {
            if (it.code == code && nth-- == 0) return &it;
        }
        return nullptr;
    }

    static Bytes* file_;
    static std::vector<Item>* items_;
};

Bytes* CdmaCapture::file_ = nullptr;
std::vector<Item>* CdmaCapture::items_ = nullptr;

TEST_F(CdmaCapture, CountsOfTheSignallingLogs) {
    for (const auto& [code, count] :
         {std::pair{0x107C0F00u, 251}, {0x107C0B00u, 251}, {0x10790D00u, 6}, {0x10770D00u, 12}}) {
        EXPECT_EQ(std::count_if(items_->begin(), items_->end(),
                                [&](const Item& it) { return it.code == code; }),
                  count)
            << std::hex << code;
    }
}

constexpr int32_t kMissing = INT32_MIN;
ParamValue V(uint32_t id, int32_t value) {  // a value by ID, its state not compared
    return {id, value, 0};
}
// Values by ID (state not compared), the head of the list, or all of it; direction -1: any.
enum Match { kValues, kPrefix, kExactly };

TEST_F(CdmaCapture, FirstPacketsOfEachKind) {
    // clang-format off
    const struct { uint32_t code; int nth; int32_t dir; Match m; std::vector<ParamValue> params; } rows[] = {
        // Payload 01 3200 4e00 0000 02 00 ff ff 01 0f 00 | ef02 6001 001c 029a | 01 57 ea 08 20:
        // band 1, channel 50, sector 78; then 0x01 = 0 000000 1 (no first group, G = 1), 0x57
        // gives M2 = 010101 = 21 flags: 11, 11101010, 00001000, 001 -> 2 + 5 + 1 + 1 = 9 set.
        {0x107C0F00, 0, 0, kValues,
         {V(0x7F01C102, 0), V(0x7F010014, 1), V(0x7F01800D, 50), V(0x7F01800E, 1), V(0x7F01800F, 78),
          V(0x7F01830B, 9)}},
        // Payload 01 e100 4e00 0004 00 ff ff 01 0f 00 | ef02 6001 001c 022f | 03 c5 db f6 27 38 80:
        // channel 225; 0x03 = 0 000001 1 (one flag, set); 0xC5 = 1 100010 1 (G, M2 = 34, first
        // flag set), then DB F6 27 38 (6 + 6 + 4 + 3 set) and the top bit of 0x80: 1 + 21 = 22.
        {0x107C0F00, 1, -1, kValues, {V(0x7F01800D, 225), V(0x7F01830B, 22)}},
        // Payload 01 01 01 04 00 00 00 00 01: state 1 keeps mode 0; r4 = 0 is published.
        {0xB101107E, 0, -1, kPrefix,
         {{0x7F01C103, 0, 1}, {0x7F018302, 1, 1}, {0x7F018301, 1, 1}, {0x7F018303, 1, 1}, {0x7F018304, 4, 1},
          {0x7F018305, 0, 1}, {0x7F018306, 0, 1}, {0x7F018307, 0, 1}, {0x7F018308, 0, 1},
          {0x7F018309, 1, 1}}},
        // Payload 01 00 2f f000 01000000 00000000 01000000 4e00 0160 02 ef 00.
        {0xB101106E, 0, -1, kExactly,
         {{0x7F01830E, 1, 1}, {0x7F01830F, 0, 1}, {0x7F018310, 1, 1}, {0x7F018313, 240, 1},
          {0x7F018314, 1, 1}, {0x7F018315, 2 * 65536 + 0x6001, 1}, {0x7F018316, 239, 1},
          {0x7F018317, 78, 1}, {0x7F018319, 15, 1}}},
        {0xB101105F, 0, -1, kExactly, {{0x7F01800C, 1, 1}}},
        {0xB1011071, 0, -1, kExactly, {{0x7F01831A, 1, 1}}},
        {0xB1011071, 1, -1, kExactly, {{0x7F01831A, 0, 1}}},
        // 0x1077 and 0x1079 messages 0x0D00: the byte after the identifier and sub-kind is 0.
        {0x10770D00, 0, 1, kValues, {V(0x7F018011, 0)}},
        {0x10790D00, 0, -1, kValues, {V(0x7F018011, 0)}},
        // Other message kinds of these logs publish only the idle state.
        {0x10780200, 0, -1, kValues, {V(0x7F01C102, 0), V(0x7F018012, kMissing)}},
    };  // clang-format on
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << r.code << " #" << r.nth);
        const Item* it = Nth(r.code, r.nth);
        ASSERT_NE(it, nullptr);
        const std::vector<ParamValue>& got = it->current;
        // A field not checked is compared with itself.
        EXPECT_EQ(r.dir < 0 ? -1 : static_cast<int32_t>(it->direction), r.dir);
        EXPECT_EQ(r.m == kExactly ? got : r.params, r.params);
        if (r.m == kPrefix) {
            ASSERT_GE(got.size(), r.params.size());
            EXPECT_EQ(std::vector(got.begin(), got.begin() + static_cast<long>(r.params.size())),
                      r.params);
        }
        for (const ParamValue& p : r.m == kValues ? r.params : std::vector<ParamValue>{}) {
            const auto found =
                std::find_if(got.begin(), got.end(), [&](auto& c) { return c.id == p.id; });
            EXPECT_EQ(found == got.end() ? kMissing : found->value, p.value) << std::hex << p.id;
        }
    }
}

// The first system parameters message (0x1007, type 1) alone on a fresh host.
TEST_F(CdmaCapture, FirstSystemParametersMessage) {
    const std::vector<Bytes> frames = FramesOf(*file_, {0x1007}, 1);
    ASSERT_FALSE(frames.empty());
    TestHost host;
    ASSERT_EQ(host.FeedAndCollect(frames[0]), 1);
    EXPECT_EQ(host.MsgCode(0), 0x10070100u);
    // Worked out from the message bits: 22 01 | 27 1a 40 c4 ... gives PILOT_PN 78, SID 4145.
    const std::vector<ParamValue> expected = {
        {0x7F01C102, 0, 1}, {0x7F010014, 1, 1},    {0x7F010018, 26, 1}, {0x7F010301, 4145, 1},
        {0x7F010302, 4, 1}, {0x7F010303, 8544, 1}, {0x7F010304, 9, 1},  {0x7F010305, 9, 1},
        {0x7F010306, 0, 1}, {0x7F010308, 5, 1},    {0x7F010309, 30, 1}, {0x7F01030A, 3, 1},
        {0x7F01030E, 0, 1}, {0x7F01040D, 2, 1},    {0x7F01040E, 7, 1},  {0x7F01040F, 5, 1},
        {0x7F010410, 1, 1}, {0x7F010411, 0, 1}};
    EXPECT_EQ(host.Current(0), expected);
    const auto structs = host.CurrentStructs(0);
    ASSERT_EQ(structs.size(), 2u);
    EXPECT_EQ(structs[0].id, 0x7F0107D0u);
    ASSERT_EQ(structs[0].payload.size(), 19u);
    EXPECT_EQ(structs[0].payload[0] | structs[0].payload[1] << 8, 78);  // PILOT_PN
}

// The public CDMA capture as a host feeds it, with DTLog on: CL3 lines of signalling logs
// checked against the packet bytes by hand.
struct CapturedItem {
    std::string record;  // the OutFile log record, as hex
    std::string cl3;     // the CL3 line of the item's DTLog block, or empty
};

std::string Hex(const Bytes& b) {
    std::string s;
    for (uint8_t v : b) s += {"0123456789abcdef"[v >> 4], "0123456789abcdef"[v & 0x0F]};
    return s;
}

std::string Cl3Line(const Bytes& block) {
    const std::string text(block.begin(), block.end());
    const size_t at = text.find("CL3\t");
    return at == std::string::npos ? "" : text.substr(at, text.find('\n', at) + 1 - at);
}

TEST(DtLogCapture, SignallingLogsGiveTheirCl3LineToTheNextItem) {
    const Bytes file = ReadFile(kCdma);
    if (file.empty()) GTEST_SKIP() << "capture folder absent";
    TestHost host;
    host.Configure(0x20001);  // OutFile records identify the packets
    host.Configure(0xA0001);
    std::vector<CapturedItem> items;
    for (size_t at = 0; at < file.size(); at += 4096) {
        const Bytes chunk(file.begin() + at, file.begin() + std::min(file.size(), at + 4096));
        const int32_t n = host.FeedAndCollect(chunk);
        for (int32_t i = 0; i < n; ++i) {
            int32_t status = 0;
            items.push_back(
                {Hex(host.BlockBytes(GetReportItemOutFileBinary(host.Handle(), &status, i))),
                 Cl3Line(host.BlockBytes(GetReportItemDTLogBinary(host.Handle(), i)))});
        }
    }

    // Each packet unescaped is 10 00, its outer length, the log record, two check bytes and
    // 7E; the record (quoted below as the item's OutFile record) is the dump: positions 4 to
    // L - 4, L counting the check bytes and the flag. The text rides on the next item.
    const struct {
        const char* record;
        const char* fields;  // direction and 1x channel
    } cases[] = {
        // Frame 6426, paging channel 0x1007 (received "0", paging "1"): 10 00 1c 00, the
        // record with its payload byte 7e sent as 7d 5e, then 0d 16 7e.
        {"1c000710b53e00a15252d100100c3b4a01a869b8f8060100297eca0a", "CL3\t0\t1\t"},
        // Frame 6301, second-interface signalling 0x107C (received, no 1x channel): 10 00 26
        // 00, the record, 79 10 7e.
        {"26007c100d13ad9a5252d1000132004e00000200ffff010f00ef026001001c029a0157ea0820",
         "CL3\t0\t\t"},
        // Frame 6421, access channel 0x1004 (sent "1", access "0"): 10 00 28 00, the
        // record, f4 cd 7e.
        {"2800041038a297a05252d1001c418f10730193922a01a39cd40291668ba0003e0281aea1ae60cd78",
         "CL3\t1\t0\t"},
    };
    for (const auto& c : cases) {
        const auto it = std::find_if(items.begin(), items.end(),
                                     [&](const CapturedItem& i) { return i.record == c.record; });
        ASSERT_TRUE(it != items.end() && it + 1 != items.end()) << c.record;
        EXPECT_EQ((it + 1)->cl3, std::string(c.fields) + c.record + "\n");
    }
    // 1216 signalling logs: 0x1004 x2, 0x1006 x4, 0x1007 x155, 0x1076 x21, 0x1077 x105,
    // 0x1078 x12, 0x1079 x163, 0x107C x754; the 155 paging-channel lines say "0\t1".
    EXPECT_EQ(std::count_if(items.begin(), items.end(), [](auto& i) { return !i.cl3.empty(); }),
              1216);
    EXPECT_EQ(std::count_if(items.begin(), items.end(),
                            [](auto& i) { return i.cl3.starts_with("CL3\t0\t1\t"); }),
              155);
}

}  // namespace
}  // namespace tessavo::test
