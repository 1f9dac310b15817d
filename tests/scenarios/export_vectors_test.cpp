// Bytes in, report items out, through the exported functions as a host calls them: one row per
// stream with the items it must give; the report ring and stream reassembly (capacity,
// collection, clearing, the unconsumed-byte protocol, frames that cross or exceed limits); DTLog
// text; and the round trip of re-encoded items.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "support/packet_builder.h"
#include "support/test_host.h"
#include "unit/decoders/decoder_test_util.h"

namespace tessavo::test {
namespace {

constexpr uint64_t kSecond = 800;  // ticks of 1.25 ms
// 1980-01-06 08:00:00 local time under TZ=CST-8 is 1980-01-06 00:00:00 UTC.
constexpr int32_t kEpoch = 315964800;

Bytes Log(uint16_t code, uint64_t ticks = 0, const Bytes& payload = {0, 0, 0, 0}) {
    return Frame(LogPacket(code, payload, ticks));
}
Bytes Cmd(uint8_t command, const Bytes& body) {
    return Frame(CommandPacket(command, body));
}
Bytes Words(std::initializer_list<uint32_t> words) {
    Bytes b;
    for (uint32_t w : words) PutU32(b, w);
    return b;
}
Bytes State(uint8_t r0, uint8_t r4 = 0) {  // second-interface state bytes (0x107E)
    return {r0, 1, 1, 4, r4, 0, 0, 0, 1};
}
Bytes Counters1031(uint64_t resetTicks, uint32_t a, uint32_t b) {  // 86 bytes
    const uint64_t stamp = StampFromTicks(resetTicks);  // at 1; the counters at 54 and 82
    const Bytes s = Words({static_cast<uint32_t>(stamp), static_cast<uint32_t>(stamp >> 32)});
    return Concat({{0}, s, Bytes(45, 0), Words({a}), Bytes(24, 0), Words({b})});
}
// Status response body: MCC 310 (sent 209), MNC 00 (sent 99), IMSI_S of 1234567890, channel 283.
Bytes StatusBody() {
    Bytes body(10, 0);
    PutU64(body, (12ull << 24) | (345ull << 14) | (7ull << 10) | 789ull);
    body.insert(body.end(), {99, 209, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0});
    PutU16(body, 283);
    return Concat({body, Bytes(3, 0)});
}
Bytes Debug(const std::string& text) {  // playout debug message response
    const Bytes head = Concat({{0, 0, 2}, Bytes(10, 0), {17, 0}, Bytes(4, 0)});
    return Cmd(0x79, Concat({head, Bytes(text.begin(), text.end()), {0}}));
}
std::optional<ParamValue> Find(const std::vector<ParamValue>& list, uint32_t id) {
    const auto it = std::find_if(list.begin(), list.end(), [id](auto& p) { return p.id == id; });
    return it == list.end() ? std::nullopt : std::optional(*it);
}
Bytes Bin(const TestHost& h, int32_t i) {
    return h.BlockBytes(GetReportItemBinary(h.Handle(), i));
}
Bytes OutFile(const TestHost& h, int32_t i) {
    int32_t status = 0;
    return h.BlockBytes(GetReportItemOutFileBinary(h.Handle(), &status, i));
}

enum Match { kAny, kExactly, kAmong };
struct Want {
    uint32_t code = 0;                    // message code; 0: any
    std::vector<ParamValue> params = {};  // the current list (kExactly), or some of it (kAmong)
    Match match = kAny;
    int32_t s = -1, us = -1, dir = -1;  // item time and direction; -1: not checked
    Bytes bin = {};                     // the payload block; empty: not checked
};
struct Row {
    const char* name;
    Bytes stream;
    std::vector<Want> items;
    std::function<void(const TestHost&)> more = nullptr;
    int32_t config = 0;
};

void Check(const Row& r) {
    TestHost host;
    ASSERT_TRUE(r.config == 0 || host.Configure(r.config));
    ASSERT_EQ(host.FeedAndCollect(r.stream), static_cast<int32_t>(r.items.size()));
    for (int32_t i = 0; i < static_cast<int32_t>(r.items.size()); ++i) {
        const Want& w = r.items[static_cast<size_t>(i)];
        const std::vector<ParamValue> current = host.Current(i);
        // A field not checked is compared with itself.
        EXPECT_EQ(w.code == 0 ? 0 : host.MsgCode(i), w.code) << i;
        EXPECT_EQ(w.s < 0 ? -1 : host.Time(i).seconds, w.s) << i;
        EXPECT_EQ(w.us < 0 ? -1 : host.Time(i).microseconds, w.us) << i;
        EXPECT_EQ(w.dir < 0 ? -1 : static_cast<int32_t>(host.Direction(i)), w.dir) << i;
        EXPECT_EQ(w.bin.empty() ? w.bin : Bin(host, i), w.bin) << i;
        EXPECT_EQ(w.match == kExactly ? current : w.params, w.params) << i;
        for (const ParamValue& p : w.match == kAmong ? w.params : std::vector<ParamValue>{}) {
            EXPECT_EQ(Find(current, p.id), p) << i << std::hex << " " << p.id;
        }
    }
    if (r.more) r.more(host);
}

TEST(ExportVectors, StreamsGiveTheirItems) {
    const uint32_t k1000 = 0xB1011000, k1068 = 0xB1011068, k107E = 0xB101107E, k108A = 0xB101108A;
    const uint32_t k1031 = 0xB1011031, k3063 = 0xB1013063;
    const std::vector<ParamValue> status = {
        {0x7F010319, 310, 1}, {0x7F010317, 1234567890, 1}, {0x7F010012, 283, 1}};
    // clang-format off
    const Row rows[] = {
        {"unknown log code accepted bare", Log(0x1000, 0, {1, 2, 3}), {{k1000}}},
        {"ignored log code", Log(0x1065, 0, {1, 2, 3}), {}},
        {"bad check bytes", FrameBadCrc(LogPacket(0x1007, {1, 2, 3})), {}},
        // A compact form whose time entry is not 8 bytes long is refused.
        {"compact form refused", Log(0xFFFE, 0, Words({0xFF0F0001, 4, 0, 0, 0})), {}},
        {"command before any log", Cmd(0x5D, {0, 0}), {}},
        {"short log packet", Frame(Bytes{0x10, 0x00}), {}},
        {"empty frame", Bytes{0x7E}, {}},
        {"garbage between frames", Concat({{0x01, 0x02, 0x7E}, Log(0x1000, 0, {9})}), {{k1000}}},
        // 8000 ticks = 10 s; a command (and a command-wrapped log code) keeps the item time.
        {"item time never moves backwards", Concat({Log(0x1000, 8000), Log(0x1000, 800)}),
         {{.code = k1000, .s = kEpoch + 10}, {.code = k1000, .s = kEpoch + 10}}},
        {"command keeps the previous item time", Concat({Log(0x1000, 1600), Cmd(0x5D, {0, 0})}),
         {{k1000}, {.code = 0xB101305D, .s = kEpoch + 2, .dir = 2}}},
        {"command-wrapped log code", Concat({Log(0x1000, 8000), Log(0x3040, 80000, Bytes(20, 0))}),
         {{k1000}, {.code = 0xB1013040, .s = kEpoch + 10}}},
        // 0x1068 passes once per 0.2 s: 0, 0.1, 0.2, 0.35, 0.4 s pass at 0, 0.2 and 0.4 s.
        {"sampling of 0x1068",
         Concat({Log(0x1068, 0), Log(0x1068, 80), Log(0x1068, 160), Log(0x1068, 280), Log(0x1068, 320)}),
         {{.code = k1068, .s = kEpoch, .us = 0}, {.code = k1068, .us = 200000},
          {.code = k1068, .us = 400000}}},
        // 1.0 s, then 0.5 s (backwards: accepted, the new reference), 0.55 s (refused), 0.7 s.
        {"sampling time going backwards",
         Concat({Log(0x1068, 800), Log(0x1068, 400), Log(0x1068, 440), Log(0x1068, 560)}),
         {{k1068}, {k1068}, {k1068}}},
        // The sector log is sampled (0.5 s) only in state 5: 10.1 s is refused, 10.6 s passes.
        {"sector log sampled only in state 5",
         Concat({Log(0x107E, 8000, State(5)), Log(0x108A, 8000, {0}), Log(0x108A, 8080, {0}),
                 Log(0x108A, 8480, {0}), Log(0x107E, 8800, State(3, 3)), Log(0x108A, 8800, {0}),
                 Log(0x108A, 8880, {0})}),
         {{k107E}, {k108A}, {k108A}, {k107E}, {k108A}, {k108A}}},
        // 0x102B: one group over channel 0, one frame with sample 16: 16 / 1 / 8 = 2.0. State 5
        // (mode 2) withdraws it; a cleared value is listed nowhere afterwards.
        {"state 5 withdraws the frame statistics",
         Concat({Log(0x102B, 4000, {0, 0, 0, 0, 0, 0, 1, 0x01, 0x01, 0x00, 0x03, 0x00, 0x00, 16}),
                 Log(0x107E, 4800, State(5)), Log(0x1000, 5600, {1})}),
         {{0xB101102B, {{0x7F010105, 2000, 1}}, kExactly}, {k107E, {{0x7F01C103, 2, 1}}, kAmong}, {k1000}},
         [](const TestHost& h) {
             EXPECT_EQ(Find(h.Current(1), 0x7F010105)->state, -1);
             EXPECT_EQ(Find(h.Inherited(1), 0x7F010105), std::nullopt);
             EXPECT_EQ(Find(h.Current(2), 0x7F010105), std::nullopt);
             EXPECT_EQ(Find(h.Inherited(2), 0x7F010105), std::nullopt);
             EXPECT_NE(Find(h.Inherited(2), 0x7F018302), std::nullopt);
         }},
        // 0.4 s after the first: refused by the 0.8 s interval, its counters not taken. 1 s after
        // the first: 1000 bytes -> 8000 bit/s, 500 -> 4000 bit/s. A new reset time: no rates.
        {"counter rates across packets and a reset",
         Concat({Log(0x1031, 80000, Counters1031(40000, 0, 0)),
                 Log(0x1031, 80320, Counters1031(40000, 900, 900)),
                 Log(0x1031, 80800, Counters1031(40000, 1000, 500)),
                 Log(0x1031, 81600, Counters1031(40800, 50, 50))}),
         {{k1031, {}, kExactly}, {k1031, {{0x7F010201, 8000, 1}, {0x7F010202, 4000, 1}}, kExactly},
          {k1031, {}, kExactly}},
         [](const TestHost& h) { EXPECT_EQ(h.Inherited(2).size(), 2u); }},
        {"status response as log and as command",
         Concat({Log(0x3063, 80000, StatusBody()), Cmd(0x63, StatusBody())}),
         {{k3063, status, kAmong}, {k3063, status, kAmong}},
         [](const TestHost& h) {
             for (int32_t i = 0; i < 2; ++i) {
                 const auto structs = h.CurrentStructs(i);
                 ASSERT_EQ(structs.size(), 1u);
                 ASSERT_EQ(structs[0].payload.size(), 47u);
                 const auto digits = structs[0].payload.begin() + 15;
                 EXPECT_EQ(std::string(digits, digits + 15), "310001234567890");
             }
         }},
        // Event identifier 272 (u16 at payload byte 13) refines the message code.
        {"event identifier",
         Log(0x10F4, 80000, Concat({Bytes(13, 0), {0x10, 0x01}, Bytes(6, 0), {0x11, 0x22}, Bytes(5, 0)})),
         {{(0x10F4u << 16) + 272, {{0x7F01D102, 0x11, 1}, {0x7F01D103, 0x22, 1}}, kExactly}}},
        // Commands count only once a log packet has given the first DIAG time.
        {"pilot sets response after a log packet",
         Concat({Log(0x1007, 800, {4, 6, 0, 0}), FromHex(kCapturedPilotSetsFrame)}),
         {{}, {0xB1013040, {}, kExactly}},
         [](const TestHost& h) {
             const auto structs = h.CurrentStructs(1);
             ASSERT_EQ(structs.size(), 1u);
             EXPECT_EQ(structs[0].id, 0x7F0107D4u);
             const Bytes& p = structs[0].payload;
             ASSERT_EQ(p.size(), 261u);
             // Field 3, one active pilot, no candidate, 25 neighbours; the active pilot PN 240 at 22.
             EXPECT_EQ(Bytes(p.begin(), p.begin() + 9), (Bytes{3, 0, 1, 0, 25, 240, 0, 22, 0}));
         }},
        {"only the playout debug message yields an item",
         Concat({Log(0x1000, kSecond), Debug("Voice:: Media Stop"), Debug("Voice:: Media Start Playout")}),
         {{k1000}, {0xB1013079, {}, kExactly}}},
        // Blocks of a log packet: payload, ZelFilter (the frame), OutFile (the log record).
        {"blocks of a log packet", Log(0x1000, 0, {0x7E, 0x01, 0x7D}),
         {{.code = k1000, .bin = {0x7E, 0x01, 0x7D}}},
         [](const TestHost& h) {
             const Bytes packet = LogPacket(0x1000, {0x7E, 0x01, 0x7D});
             EXPECT_EQ(h.BlockBytes(GetReportItemBinaryToZelFilter(h.Handle(), 0)), Frame(packet));
             EXPECT_EQ(OutFile(h, 0), Bytes(packet.begin() + 4, packet.end()));
         }, TESSAVO_CFG_OUTFILE_ON},
        // L counts the packet, its two check bytes and the flag: 35 + 3 = 38 is too short, 36 + 3
        // = 39 gets an OutFile record of 49 bytes: length, tag 0x3063, the stamp, the packet.
        {"status response needs 39 bytes and gets a synthesized record",
         Concat({Log(0x1000, 800), Cmd(0x63, Bytes(34, 0)), Cmd(0x63, Bytes(35, 0x22))}), {{k1000}, {k3063}},
         [](const TestHost& h) {
             const Bytes rec = OutFile(h, 1);
             const Bytes stamp = LogPacket(0x1000, {}, 800);
             const Bytes packet = WithCrc(CommandPacket(0x63, Bytes(35, 0x22)));
             EXPECT_EQ(rec, Concat({{49, 0, 0x63, 0x30}, Bytes(stamp.begin() + 8, stamp.begin() + 16),
                                    Bytes(packet.begin() + 1, packet.end())}));
         }, TESSAVO_CFG_OUTFILE_ON},
        // Compact form: four marker bytes, then the entries from byte 16 (L - 15 bytes in all).
        {"compact form accepted with foreign check bytes",
         FrameBadCrc(LogPacket(0xFFFE, Words({0xFF0F0003, 4, 0x12345678}))),
         {{.bin = Concat({{0xFF, 0xFF, 0xFF, 0xFF}, Words({0xFF0F0003, 4, 0x12345678})})}}},
        // Packed log: n = 0, two carried bytes, count byte 0x21: two first-kind entries, one
        // second-kind, each a sub-packet: header bytes 16..18, the marker (0x10 or 0x01), the
        // entry. The dispatcher checks the sub-packets' check bytes, so acceptance proves them.
        {"packed log entries become sub-packets",
         Log(0x1036, 800, {0x00, 0xAA, 0xBB, 0x21, 0x03, 1, 0x11, 0x05, 2, 0x22, 0x33, 0x07, 0, 0x7E, 0x7D}),
         {{0xB1011036}, {.code = 0x10360000u + 256 + 3, .bin = {0x00, 0xAA, 0xBB, 0x10, 0x03, 1, 0x11}},
          {0x10360000u + 256 + 5}, {.code = 0x10360000u + 512 + 7, .bin = {0x00, 0xAA, 0xBB, 0x01, 0x07, 0}}},
         [](const TestHost& h) {
             for (int32_t i = 1; i < 4; ++i) {
                 EXPECT_TRUE(h.BlockBytes(GetReportItemBinaryToZelFilter(h.Handle(), i)).empty());
             }
         }},
        // Count byte 0x20: the second entry claims 40 bytes and ends the expansion.
        {"truncated packed entry ends the expansion",
         Log(0x1037, 800, {0x00, 0xAA, 0xBB, 0x20, 0x03, 1, 0x11, 0x05, 40, 0x22}),
         {{0xB1011037}, {0x10370000u + 256 + 3}}},
        {"packed log without entries", Log(0x1037, 800, {0x00, 0xAA, 0xBB, 0x00}), {{0xB1011037}}},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Check(r);
    }
}

TEST(ExportVectors, FrameSplitAtEveryByteDecodesOnce) {
    const Bytes frame = Log(0x1062, 0, Words({1, 2, 3, 4, 5}));
    for (size_t cut = 1; cut < frame.size(); ++cut) {
        TestHost host;
        const auto a = static_cast<int32_t>(cut), b = static_cast<int32_t>(frame.size() - cut);
        EXPECT_EQ(DecodeMsgProc_NoDynamic(host.Handle(), frame.data(), a, 0, 0), 0);
        EXPECT_EQ(host.Collect(), 0) << "cut " << cut;
        EXPECT_EQ(DecodeMsgProc_NoDynamic(host.Handle(), frame.data() + cut, b, 0, 0), 0);
        EXPECT_EQ(host.Collect(), 1) << "cut " << cut;
    }
}

TEST(ExportVectors, CommandDDTimeFollowsTheHostClock) {
    TestHost host;
    // The first log packet, at epoch + 1 s, arrives at host time 1000 s; 2.5 s later, epoch + 3.5.
    ASSERT_EQ(host.FeedAndCollect(Log(0x1000, kSecond), 1000, 0), 1);
    ASSERT_EQ(host.FeedAndCollect(Cmd(0xDD, {0x01}), 1002, 500000), 1);
    EXPECT_EQ(host.MsgCode(0), 0xEEAA0001u);
    EXPECT_EQ(host.Time(0).seconds, kEpoch + 3);
    EXPECT_EQ(host.Time(0).microseconds, 500000);
}

Bytes ZelSimple(const TestHost& host, int32_t i) {
    return host.BlockBytes(GetReportItemBinaryToZelSimple(host.Handle(), i));
}

TEST(ExportVectors, CompactFormsRestoreTheItemsAndPassThroughKeepsTheFrame) {
    TestHost source;
    ASSERT_TRUE(source.Configure(TESSAVO_CFG_REENCODE_ON));
    // Values with bytes that need escaping in the compact form.
    const Bytes words = Words({1, 0x7E, 0xFFFFFFFF, 0x7D7E0000, 5});
    const Bytes passThrough = Log(0x1007, 3 * kSecond, {0x00, 0x01, 0x00, 0x00});
    const Bytes stream =
        Concat({Log(0x1062, kSecond, words), Log(0x1000, 2 * kSecond, {0xAA}), passThrough});
    ASSERT_EQ(source.FeedAndCollect(stream, 1000, 0), 3);
    // The later packet inherits the structured record of 0x1062.
    ASSERT_EQ(source.InheritedStructs(1).size(), 1u);
    EXPECT_EQ(source.InheritedStructs(1)[0].state, 0);
    EXPECT_EQ(ZelSimple(source, 2), passThrough);
    EXPECT_EQ(Bin(source, 2), (Bytes{0x00, 0x01, 0x00, 0x00}));

    TestHost target;
    const Bytes compact = Concat({ZelSimple(source, 0), ZelSimple(source, 1)});
    ASSERT_EQ(target.FeedAndCollect(compact, 2000, 0), 2);
    // The compact packet keeps the message code and time stamp of the packet it was built from.
    EXPECT_EQ(target.MsgCode(0), 0xB1011062u);
    EXPECT_EQ(target.Direction(0), 2u);
    // clang-format off
    std::vector<ParamValue> expected = {
        {0x7F018328, 1, 1}, {0x7F018329, 0x7E, 1}, {0x7F01832A, -1, 1}, {0x7F01832B, 0x7D7E0000, 1},
        {0x7F01832C, 5, 1}};
    // clang-format on
    EXPECT_EQ(target.Current(0), expected);
    EXPECT_TRUE(target.Inherited(0).empty());
    EXPECT_TRUE(target.CurrentStructs(0).empty());  // the compact form carries scalars only
    EXPECT_EQ(target.Time(0).seconds, kEpoch + 1);
    EXPECT_EQ(target.Time(0).microseconds, 0);
    // The second compact packet has no parameters: it inherits the first one's.
    EXPECT_EQ(target.MsgCode(1), 0xB1011000u);
    EXPECT_TRUE(target.Current(1).empty());
    for (ParamValue& p : expected) p.state = 0;
    EXPECT_EQ(target.Inherited(1), expected);
}

// ---- The report ring and stream reassembly ----

// Frames of log code 0x1000 whose payload is their number (u32), from `first` on.
Bytes NumberedFrames(int first, int count = 1) {
    Bytes out;
    for (int i = first; i < first + count; ++i) {
        const Bytes f = Log(0x1000, 0, Words({static_cast<uint32_t>(i)}));
        out.insert(out.end(), f.begin(), f.end());
    }
    return out;
}
Bytes Unflagged(int number) {  // a numbered frame without its closing flag
    Bytes f = NumberedFrames(number);
    f.pop_back();
    return f;
}
uint32_t Number(const TestHost& host, int32_t i) {
    const Bytes b = Bin(host, i);
    return b.size() >= 4 ? static_cast<uint32_t>(b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24) : 0;
}
int32_t NoDynamic(const TestHost& host, const Bytes& b) {
    return DecodeMsgProc_NoDynamic(host.Handle(), b.data(), static_cast<int32_t>(b.size()), 0, 0);
}

// A ring holding 300 uncollected items takes no further frame, whatever the entry point: the
// call says so, nothing is overwritten, and after collecting the host passes the frame again.
TEST(Ring, AFullRingTakesNoFrameOnAnyEntryPoint) {
    enum Entry { kNoDynamic, kDecode, kOne, kWholeBuffer, kWholeBufferNoDynamic, kWholeFrame };
    // clang-format off
    const struct { const char* name; Entry entry; int32_t mode; int64_t refused; } rows[] = {
        {"DecodeMsgProc_NoDynamic: its flag is not taken", kNoDynamic, 0, 1},
        {"DecodeMsgProc: the frame is kept for the next call", kDecode, 0, 1},
        {"DecodeMsgProc_One: 0", kOne, 0, 0},
        {"whole buffer, DecodeMsgProc: false, nothing kept", kWholeBuffer, TESSAVO_CFG_WHOLE_BUFFER_ON, 0},
        {"whole buffer, DecodeMsgProc_NoDynamic: not taken", kWholeBufferNoDynamic, TESSAVO_CFG_WHOLE_BUFFER_ON, -1},
        {"whole frame, DecodeMsgProc: false, nothing kept", kWholeFrame, TESSAVO_CFG_WHOLE_FRAME_ON, 0},
    };  // clang-format on
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TestHost host;
        if (r.mode != 0) host.Configure(r.mode);
        // `tail`: only the frame's last bytes, as a host passes again what was not taken.
        const auto call = [&](int number, size_t tail = 0) -> int64_t {
            Bytes f = NumberedFrames(number);
            if (tail != 0) f.erase(f.begin(), f.end() - static_cast<long>(tail));
            const auto n = static_cast<int32_t>(f.size()) - (r.entry == kWholeFrame ? 1 : 0);
            switch (r.entry) {
                case kNoDynamic:
                case kWholeBufferNoDynamic:
                    return DecodeMsgProc_NoDynamic(host.Handle(), f.data(), n, 0, 0);
                case kOne: return DecodeMsgProc_One(host.Handle(), f.data(), n, 0, 0);
                default: return DecodeMsgProc(host.Handle(), f.data(), n, 0, 0);
            }
        };
        const int64_t took = r.entry == kNoDynamic || r.entry == kWholeBufferNoDynamic ? 0 : 1;
        for (int i = 1; i <= 300; ++i) ASSERT_EQ(call(i), took) << i;
        const int64_t refused = r.refused < 0 ? static_cast<int64_t>(NumberedFrames(301).size())
                                              : r.refused;
        EXPECT_EQ(call(301), refused);
        ASSERT_EQ(host.Collect(), 300);
        EXPECT_EQ(Number(host, 0), 1u);
        EXPECT_EQ(Number(host, 299), 300u);
        // Kept by the library, or passed again by the host.
        if (r.entry == kDecode) {
            EXPECT_EQ(NoDynamic(host, {0x7E}), 0);
        } else {
            EXPECT_EQ(call(301, r.entry == kNoDynamic ? static_cast<size_t>(refused) : 0), took);
        }
        ASSERT_EQ(host.Collect(), 1);
        EXPECT_EQ(Number(host, 0), 301u);
    }
}

TEST(Ring, ClearDropsOnlyUncollectedItems) {
    TestHost host;
    ASSERT_EQ(host.FeedAndCollect(NumberedFrames(1, 3)), 3);
    host.Feed(NumberedFrames(10, 5));
    EXPECT_TRUE(ClearReportItemsProc(host.Handle()));
    EXPECT_EQ(Number(host, 2), 3u);  // the earlier collection is still readable
    ASSERT_EQ(host.FeedAndCollect(NumberedFrames(20, 2)), 2);
    EXPECT_EQ(Number(host, 0), 20u);
    EXPECT_EQ(Number(host, 1), 21u);
    EXPECT_TRUE(ClearReportItemsProc(host.Handle()));
    EXPECT_EQ(host.Collect(), 0);
}

TEST(Stream, NoDynamicReportsTheBytesAfterTheFrameThatFilledTheRing) {
    TestHost host;
    const Bytes frames = NumberedFrames(1, 310);
    const int32_t left = NoDynamic(host, frames);
    EXPECT_EQ(left, static_cast<int32_t>(NumberedFrames(301, 10).size()));
    ASSERT_EQ(host.Collect(), 300);
    EXPECT_EQ(NoDynamic(host, Bytes(frames.end() - left, frames.end())), 0);
    ASSERT_EQ(host.Collect(), 10);
    EXPECT_EQ(Number(host, 0), 301u);
    EXPECT_EQ(Number(host, 9), 310u);
}

TEST(Stream, DecodeMsgProcKeepsWhatTheFullRingCouldNotTake) {
    TestHost host;
    EXPECT_TRUE(host.Feed(NumberedFrames(1, 650)));
    std::vector<uint32_t> seen;
    for (int32_t n = host.Collect(); n > 0; n = host.Collect()) {
        for (int32_t i = 0; i < n; ++i) seen.push_back(Number(host, i));
        host.Feed(Bytes{0x7E});  // decodes the kept bytes first, then its own lone flag
    }
    ASSERT_EQ(seen.size(), 650u);
    for (uint32_t i = 0; i < 650; ++i) EXPECT_EQ(seen[i], i + 1) << i;
}

// Kept bytes that fill the ring again at their very last frame leave no room for the call's
// own bytes: DecodeMsgProc keeps them too, DecodeMsgProc_NoDynamic reports them not taken.
TEST(Stream, KeptBytesFillingTheRingExactlyKeepTheNewInput) {
    const Bytes next = NumberedFrames(601, 10);
    for (bool keptByLibrary : {true, false}) {
        TestHost host;
        EXPECT_TRUE(host.Feed(NumberedFrames(1, 600)));
        ASSERT_EQ(host.Collect(), 300);
        // DecodeMsgProc takes them (true); DecodeMsgProc_NoDynamic reports them all not taken.
        const auto nextLength = static_cast<int32_t>(next.size());
        EXPECT_EQ(keptByLibrary ? host.Feed(next) : NoDynamic(host, next),
                  keptByLibrary ? 1 : nextLength);
        ASSERT_EQ(host.Collect(), 300);
        EXPECT_EQ(Number(host, 299), 600u);
        EXPECT_EQ(keptByLibrary ? host.Feed(NumberedFrames(611)) : NoDynamic(host, next),
                  keptByLibrary);
        ASSERT_EQ(host.Collect(), keptByLibrary ? 11 : 10);
        EXPECT_EQ(Number(host, 0), 601u);
        EXPECT_EQ(Number(host, 9), 610u);
    }
}

// A host that never collects: the kept bytes stop at 16 MiB and the call that would pass that
// fails, so the host learns it must collect. A call that alone passes the cap is refused before
// anything is decoded; a host that then splits it gets every item exactly once.
TEST(Stream, KeptBytesAreCapped) {
    TestHost host;
    const Bytes mebibyte =
        NumberedFrames(1, (1 << 20) / static_cast<int>(NumberedFrames(1).size()));
    int call = 1;
    while (call <= 20 && host.Feed(mebibyte)) ++call;
    EXPECT_TRUE(call == 16 || call == 17) << call;

    TestHost split;
    const Bytes frame = NumberedFrames(1);
    const int frames = (17 << 20) / static_cast<int>(frame.size());
    Bytes big;
    big.reserve(frame.size() * static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) big.insert(big.end(), frame.begin(), frame.end());
    EXPECT_FALSE(split.Feed(big));
    EXPECT_EQ(split.Collect(), 0);
    EXPECT_EQ(NoDynamic(split, {0x7E}), 0);  // nothing was kept
    EXPECT_EQ(split.Collect(), 0);
    // A host that splits what is refused, collecting after every call and draining at the end.
    int64_t items = 0;
    std::function<void(const uint8_t*, size_t)> feed = [&](const uint8_t* at, size_t n) {
        if (DecodeMsgProc(split.Handle(), at, static_cast<int32_t>(n), 0, 0)) {
            items += split.Collect();
            return;
        }
        ASSERT_GT(n, 1u);
        feed(at, n / 2);
        feed(at + n / 2, n - n / 2);
    };
    feed(big.data(), big.size());
    for (int32_t left = 1; left > 0;) {
        left = NoDynamic(split, {0x7E});
        items += split.Collect();
    }
    EXPECT_EQ(items, frames);
}

// A packed log frame yields up to 31 items. It waits for as many free ring nodes, so no item
// is overwritten before collection and the items do not depend on how the input is cut.
TEST(Stream, PackedLogsNeverOverrunTheRing) {
    Bytes entries = {0x00, 0xAA, 0xBB, 0xFF};  // 15 entries of each kind
    for (int e = 0; e < 30; ++e) entries.insert(entries.end(), {0x03, 1, static_cast<uint8_t>(e)});
    const Bytes packed = Frame(LogPacket(0x1036, entries));
    const Bytes stream = Concat({NumberedFrames(1, 280), packed, packed, NumberedFrames(281, 4)});
    for (size_t chunk : {size_t{1}, size_t{97}, size_t{4096}, stream.size()}) {
        TestHost host;
        std::vector<uint32_t> codes;
        for (size_t at = 0; at < stream.size();) {
            const auto n = static_cast<int32_t>(std::min(chunk, stream.size() - at));
            const int32_t left =
                DecodeMsgProc_NoDynamic(host.Handle(), stream.data() + at, n, 0, 0);
            ASSERT_GE(left, 0);
            for (int32_t i = 0, count = host.Collect(); i < count; ++i)
                codes.push_back(host.MsgCode(i));
            at += static_cast<size_t>(n - left);
        }
        ASSERT_EQ(codes.size(), 280u + 2 * 31 + 4) << "chunk " << chunk;
        EXPECT_EQ(codes[280], 0xB1011036u);
        EXPECT_EQ(codes[311], 0xB1011036u);
        EXPECT_EQ(codes.back(), 0xB1011000u);
    }
}

// A frame of exactly `total` bytes with the flag, numbered 1; its fifth payload byte chosen so
// that the check bytes need no escape.
Bytes FrameOfLength(size_t total) {
    Bytes frame;
    for (uint8_t fifth = 0; frame.size() != total; ++fifth) {
        Bytes payload(total - 19, 0x11);
        std::copy_n(Bytes{1, 0, 0, 0, fifth}.begin(), 5, payload.begin());
        frame = Frame(LogPacket(0x1000, payload));
    }
    return frame;
}
struct Step {
    int32_t mode;  // configuration code set before the bytes; 0: none
    Bytes bytes;
};
std::vector<Step> InPieces(const Bytes& b) {  // 3000-byte calls
    std::vector<Step> steps;
    for (size_t at = 0; at < b.size(); at += 3000)
        steps.push_back({0, Bytes(b.begin() + static_cast<long>(at),
                                  b.begin() + static_cast<long>(std::min(b.size(), at + 3000)))});
    return steps;
}

// Frames at the length limit (7168 bytes with the flag, whether in one call or several), and the
// whole-buffer (8/9: one raw frame per call, no check) and whole-frame (10/11: the flag follows
// the given length) modes. Expected: the numbers of the items, in order.
TEST(Stream, LimitsAndWholeFrameModes) {
    Bytes raw = WithCrc(LogPacket(0x1000, {5, 0, 0, 0}));
    raw.back() ^= 0xFF;  // any check bytes
    raw.push_back(0x7E);
    const Bytes first = NumberedFrames(1), head(first.begin(), first.begin() + 6);
    const Bytes tail(first.begin() + 6, first.end());
    const Bytes unflagged = Concat({Bytes(7168, 0x11), NumberedFrames(7)});
    const Bytes longFrame = Concat({Bytes(7167, 0x11), {0x7E}, NumberedFrames(8)});

    // clang-format off
    const struct { const char* name; std::vector<Step> steps; std::vector<uint32_t> numbers; } rows[] = {
        {"a run without a flag is dropped at the limit", {{0, unflagged}}, {7}},
        {"7167 bytes and the flag are too long", {{0, longFrame}}, {8}},
        {"7167 bytes in 3000-byte calls decode", InPieces(FrameOfLength(7167)), {1}},
        {"7168 bytes in 3000-byte calls are dropped", InPieces(FrameOfLength(7168)), {}},
        {"whole buffer takes a raw frame; framed again it has bad check bytes", {{8, raw}, {9, raw}}, {5}},
        {"whole frame supplies the flag itself", {{10, Unflagged(9)}}, {9}},
        // The whole-frame mode does not collect bytes: a frame begun before it is continued after.
        {"whole frame leaves an unfinished frame alone", {{0, head}, {10, Unflagged(2)}, {11, tail}}, {2, 1}},
    };  // clang-format on
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TestHost host;
        std::vector<uint32_t> numbers;
        for (const Step& s : r.steps) {
            if (s.mode != 0) host.Configure(s.mode);
            for (int32_t i = 0, n = host.FeedAndCollect(s.bytes); i < n; ++i)
                numbers.push_back(Number(host, i));
        }
        EXPECT_EQ(numbers, r.numbers);
    }
}

TEST(Stream, WholeBufferFramesAtTheLimitAreRefused) {
    const Bytes big(7168, 0x10);
    for (int32_t mode : {TESSAVO_CFG_WHOLE_BUFFER_ON, TESSAVO_CFG_WHOLE_FRAME_ON}) {
        TestHost host;
        host.Configure(mode);
        EXPECT_TRUE(host.Feed(big));
        // The largest length is refused before anything is read or added to it.
        EXPECT_FALSE(DecodeMsgProc(host.Handle(), big.data(), INT32_MAX, 0, 0));
        EXPECT_EQ(host.Collect(), 0);
    }
}

TEST(Stream, DecodeOneTakesOneFrame) {
    TestHost host;
    const Bytes f = NumberedFrames(4);
    EXPECT_EQ(DecodeMsgProc_One(host.Handle(), f.data(), static_cast<int32_t>(f.size()), 0, 0), 1u);
    ASSERT_EQ(host.Collect(), 1);
    EXPECT_EQ(Number(host, 0), 4u);
    const Bytes big(7168, 0x10);
    EXPECT_EQ(DecodeMsgProc_One(host.Handle(), big.data(), 7168, 0, 0), 0u);
}

// ---- DTLog text: each item's block renders the fresh parameters of the packet before it ----
// Parameters are set through compact packets (log code 0xFFFE), which publish scalar and
// structured parameters by ID; expected texts are worked out from those values.

std::string Tabs(int n) {
    return std::string(static_cast<size_t>(n), '\t');
}
// One entry of a compact packet: ID, size, value (u32 for scalars, the blob for structured).
Bytes Entry(uint32_t id, const Bytes& value) {
    return Concat({Words({id, static_cast<uint32_t>(value.size())}), value});
}
Bytes Entry(uint32_t id, int32_t value) {
    return Entry(id, Words({static_cast<uint32_t>(value)}));
}
Bytes Compact(std::initializer_list<Bytes> entries) {
    Bytes b = Words({0xFF0F0010, 4, static_cast<uint32_t>(entries.size())});
    for (const Bytes& e : entries) b = Concat({b, e});
    return Frame(LogPacket(0xFFFE, b));
}
const Bytes kSetsNothing = Frame(LogPacket(0x1000, {}));

std::string DtLog(const TestHost& host, int32_t i) {
    const Bytes b = host.BlockBytes(GetReportItemDTLogBinary(host.Handle(), i));
    return std::string(b.begin(), b.end());
}
Bytes U16s(std::initializer_list<int> values, size_t size) {
    Bytes b;
    for (int v : values) PutU16(b, static_cast<uint16_t>(v));
    b.resize(size, 0);
    return b;
}
// Pilot status: u16 258, counts 1, 2 and 0, then the elements (12, 15), (300, 7), (65535, 0).
const Bytes kPilotStatus = Concat({{0x02, 0x01, 1, 2, 0}, U16s({12, 15, 300, 7, 65535, 0}, 256)});

Bytes ActiveSet() {  // count 3; elements (pilot, level, word)
    Bytes p = Words({3});
    const std::tuple<int16_t, double, int32_t> elements[] = {
        {5, -3.125, 70000}, {600, 1e40, -1}, {-1, 2.005, 16777217}};
    for (const auto& [pn, level, word] : elements) {
        PutU16(p, static_cast<uint16_t>(pn));
        PutU64(p, std::bit_cast<uint64_t>(level));
        PutU32(p, static_cast<uint32_t>(word));
    }
    p.resize(172, 0);
    return p;
}

TEST(DtLog, OnePacketOfEachSourceKind) {
    const struct {
        Bytes packet;
        std::string text;  // the block of the item that follows the packet
    } vectors[] = {
        // 12345 / 1000 as a float is 12.3450003: "12.35". -2500 / 1000 in integers is -2.
        // 19088743 is odd and above 2^24: the float rounds the tie to the even 19088744.
        {Compact({Entry(0x7F010001, 12345), Entry(0x7F01800B, -5), Entry(0x7F010102, -2500),
                  Entry(0x7F018309, 19088743)}),
         "DM\t12.35" + Tabs(4) + "\t-5" + Tabs(16) + "\nC1XSMI\t-2" + Tabs(19) + "\nCEVS" +
             Tabs(8) + "\t19088744\t\n"},
        // i16 words w0..w11 = -300..800: AP takes w4 w5 w8 w10 w9 w11 w7 w6, PCP w1 w0 w2 w3;
        // the i32 70000 of 0x7F0107D3, later in the list, replaces w2 in PCP field 2.
        {Compact({Entry(0x7F0107D2,
                        U16s({-300, -200, -100, 0, 100, 200, 300, 400, 500, 600, 700, 800}, 24)),
                  Entry(0x7F0107D3, 70000)}),
         "AP\t100\t200\t500\t700\t600\t800\t400\t300\t\t\nPCP\t-200\t-300\t70000\t0" + Tabs(7) +
             "\n"},
        // ASFI: pilots 600 and -1 are outside 0..511; 16777217 rounds to 16777216; -3.125
        // ties to even, 1e40 is past the float range, the float nearest 2.005 is 2.0050001.
        // PSM: n = 3; the pilots, then the set digits 0 1 1; levels -15/2, -7/2 and -0/2 (a
        // negative zero). HOP field 7 is the u16 258 at the start of the pilot status.
        {Compact({Entry(0x7F0107D4, kPilotStatus), Entry(0x7F0107D5, ActiveSet()),
                  Entry(0x7F01830C, 4)}),
         "ASFI\t3\t5 \t70000 -1 16777216 \t\t-3.12 inf 2.01 " + Tabs(8) +
             "\nPSM\t3\t12 300 65535 0 1 1 \t-7.50 -3.50 -0.00 " + Tabs(5) + "\t4\t\nHOP" +
             Tabs(7) + "\t258" + Tabs(4) + "\n"},
        // Paging channel: received "0" on channel "1"; the log record from its length word:
        // 1000 0710, the stamp of tick 0x102 (0x102 << 16), the payload unescaped.
        {Frame(LogPacket(0x1007, {0x04, 0x06, 0x7E, 0x7D}, 0x102)),
         "CL3\t0\t1\t10000710000002010000000004067e7d\n"},
    };
    for (const auto& v : vectors) {
        TestHost host;
        ASSERT_TRUE(host.Configure(0xA0001));
        ASSERT_EQ(host.FeedAndCollect(Concat({v.packet, kSetsNothing})), 2);
        EXPECT_EQ(DtLog(host, 0), "");
        EXPECT_EQ(DtLog(host, 1), v.text);
    }
}

TEST(DtLog, TextLagsOneItemAndIsNullWhileOff) {
    const Bytes setsDm = Compact({Entry(0x7F010001, 1000)});
    const Bytes setsCevs = Compact({Entry(0x7F018301, 7)});
    const std::string cevs = "CEVS\t7" + Tabs(9) + "\n";
    TestHost host;
    ASSERT_TRUE(host.Configure(0xA0001));
    ASSERT_EQ(host.FeedAndCollect(Concat({setsDm, kSetsNothing, setsCevs, kSetsNothing})), 4);
    EXPECT_EQ(DtLog(host, 0), "");
    EXPECT_EQ(DtLog(host, 1), "DM\t1.00" + Tabs(21) + "\n");
    EXPECT_EQ(DtLog(host, 2), "");
    EXPECT_EQ(DtLog(host, 3), cevs);

    // Off: no block. On again: the first item does not carry the text built before.
    ASSERT_EQ(host.FeedAndCollect(setsDm), 1);
    ASSERT_TRUE(host.Configure(0xA0002));
    ASSERT_EQ(host.FeedAndCollect(Concat({setsCevs, kSetsNothing})), 2);
    EXPECT_EQ(GetReportItemDTLogBinary(host.Handle(), 1), nullptr);
    ASSERT_TRUE(host.Configure(0xA0001));
    ASSERT_EQ(host.FeedAndCollect(Concat({setsCevs, kSetsNothing})), 2);
    EXPECT_EQ(DtLog(host, 0), "");
    EXPECT_EQ(DtLog(host, 1), cevs);
}

}  // namespace
}  // namespace tessavo::test
