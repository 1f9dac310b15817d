// The tool's parts where the end-to-end runs cannot reach every case: option grammars, the
// frame scan, packet identities, the sinks, structured views, the catalogue and the text
// pieces. Item times are UTC (TZ=CST-8: 315964801 is one second after the GPS epoch).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

#include "cli_harness.h"
#include "cli_options.h"
#include "csv_sink.h"
#include "frame_scan.h"
#include "item_time.h"
#include "jsonl_sink.h"
#include "packet_identity.h"
#include "param_catalogue.h"
#include "platform.h"
#include "progress_meter.h"
#include "report_item_reader.h"
#include "struct_views.h"
#include "support/time_zone.h"
#include "tessavo/tessavo.h"
#include "text_format.h"

namespace tessavo::cli::test {
namespace {

// clang-format off
TEST(CliOptions, ModuleTypesAndHostTimes) {
    const std::vector<std::pair<std::string, std::optional<uint32_t>>> modules = {
        {"0xB101", 0xB101u}, {"0xb200", 0xB200u}, {"B20A", 0xB20Au}, {"b20b", 0xB20Bu}, {"45313", 0xB101u},
        {"0xB201", {}}, {"0x0", {}}, {"", {}}, {"0x", {}}, {"B101x", {}}, {"-1", {}}, {"0xB101 ", {}}};
    for (const auto& [text, expected] : modules) EXPECT_EQ(ParseModuleType(text), expected) << text;
    // {now, seconds, microseconds}; a negative time keeps its microseconds positive.
    using T = std::tuple<bool, int32_t, int32_t>;
    const std::vector<std::pair<std::string, std::optional<T>>> times = {
        {"0", T{false, 0, 0}}, {"now", T{true, 0, 0}}, {"12.000001", T{false, 12, 1}},
        {"-1.5", T{false, -2, 500000}}, {"1700000000.25", T{false, 1700000000, 250000}},
        {"2147483647", T{false, 2147483647, 0}}, {"2147483648", {}}, {"1.1234567", {}}, {"1.", {}},
        {"abc", {}}, {"", {}}, {"1.2x", {}}};
    for (const auto& [text, expected] : times) {
        const std::optional<HostTime> t = ParseHostTime(text);
        EXPECT_EQ(t ? std::optional(T{t->now, t->seconds, t->microseconds}) : std::nullopt, expected)
            << text;
    }
}
// clang-format on

TEST(FrameScan, CrcCheckValuesAndEveryBitFlipBreaksAPacket) {
    EXPECT_EQ(CrcRegister(Text("123456789")) ^ 0xFFFF, 0x906E);
    EXPECT_EQ(CrcRegister({}) ^ 0xFFFF, 0x0000);
    // Long inputs go sixteen bytes a step: every length up to 300 agrees with the bit-by-bit
    // CRC, and a register carried from one piece to the next with that of the whole.
    Bytes varied(300);
    for (size_t i = 0; i < varied.size(); ++i) varied[i] = static_cast<uint8_t>((i * 151 + 7) >> 1);
    for (size_t length = 0; length <= varied.size(); ++length) {
        const Bytes bytes(varied.begin(), varied.begin() + static_cast<std::ptrdiff_t>(length));
        ASSERT_EQ(CrcRegister(bytes) ^ 0xFFFF, BitwiseCrc16(bytes)) << length;
        const size_t split = length / 3;
        const uint16_t carried = CrcRegister(std::span(bytes).subspan(split),
                                             CrcRegister(std::span(bytes).first(split)));
        ASSERT_EQ(carried ^ 0xFFFF, BitwiseCrc16(bytes)) << length;
    }
    const auto crcFailures = [](const Bytes& frame) {
        FrameScanner scanner;
        scanner.Feed(frame);
        return scanner.Counts().crcFailures;
    };
    const auto withCheck = [](Bytes packet) {
        const uint16_t crc = BitwiseCrc16(packet);
        packet.insert(packet.end(),
                      {static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8)});
        return packet;
    };
    // Any bit flipped in a packet or its check bytes fails the check; so does a lone byte.
    const Bytes packet = withCheck(LogPacket(0x1062, 800, Words({1, 2})));
    EXPECT_EQ(crcFailures(EscapeAndTerminate(packet)), 0u);
    for (size_t i = 0; i < packet.size() * 8; ++i) {
        Bytes damaged = packet;
        damaged[i / 8] ^= static_cast<uint8_t>(1 << (i % 8));
        EXPECT_EQ(crcFailures(EscapeAndTerminate(damaged)), 1u)
            << "byte " << i / 8 << " bit " << i % 8;
    }
    EXPECT_EQ(crcFailures(Bytes{0x12, 0x7E}), 1u);
    // Unescaping: 0x7D 0x5D is 0x7D, 0x7D 0x5E is 0x7E; a 0x7D before anything else, or last,
    // stays as it is. Each frame checks good only if it is unescaped so.
    const Bytes inner = withCheck({0x4B, 0x7D, 0x7E, 0x7D, 0x41});
    EXPECT_EQ(crcFailures(Concat({Bytes{0x4B, 0x7D, 0x5D, 0x7D, 0x5E, 0x7D, 0x41},
                                  EscapeAndTerminate(Bytes(inner.end() - 2, inner.end()))})),
              0u);
    std::optional<Bytes> lastIsEscape;  // a packet whose second check byte is 0x7D
    const auto plain = [](uint8_t byte) { return byte != 0x7D && byte != 0x7E; };
    for (uint32_t payload = 0; payload < 0x10000 && !lastIsEscape; ++payload) {
        const Bytes candidate = withCheck(
            {0x4B, static_cast<uint8_t>(payload & 0xFF), static_cast<uint8_t>(payload >> 8)});
        if (plain(candidate[1]) && plain(candidate[2]) && plain(candidate[3]) &&
            candidate[4] == 0x7D) {
            lastIsEscape = candidate;
        }
    }
    ASSERT_TRUE(lastIsEscape);
    EXPECT_EQ(crcFailures(Concat({*lastIsEscape, Bytes{0x7E}})), 0u);
}

TEST(FrameScan, CountsFrames) {
    const Bytes good = LogFrame(0x1062, 800, Words({1, 2, 3, 4, 5}));
    const Bytes bad = FrameWithCheck(LogPacket(0x1062, 800, Words({1})), 0x1234);
    const Bytes compact = EscapeAndTerminate(
        CompactPacket({800, 315964801, 0, 2, 0xB1011062, {{0x7F010001, 12345}}, 0xBEEF}));
    const Bytes garbage = {0x01, 0x02, 0x03};
    // A log code whose low byte needs escaping: the scan unescapes before it checks.
    const Bytes escaped = LogFrame(0x107E, 801, Words({0x7E7D7E7D}));
    using Counts = std::tuple<uint64_t, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t>;
    // clang-format off
    const std::vector<std::tuple<const char*, Bytes, Counts>> cases = {
        // frames, empty, bad CRC, compact, oversized, trailing bytes
        {"good and escaped", Concat({good, escaped}), {2, 0, 0, 0, 0, 0}},
        {"bad check bytes", Concat({good, bad, good}), {3, 0, 1, 0, 0, 0}},
        {"compact frame", Concat({compact, good}), {2, 0, 0, 1, 0, 0}},
        {"empty frames", Concat({Bytes{0x7E}, good, Bytes{0x7E}}), {1, 2, 0, 0, 0, 0}},
        {"garbage before a frame fails its CRC", Concat({garbage, good}), {1, 0, 1, 0, 0, 0}},
        {"trailing bytes", Concat({good, garbage}), {1, 0, 0, 0, 0, 3}},
        // 7168 bytes without 0x7E are dropped; the good frame after them is intact.
        {"oversized", Concat({Bytes(kMaxFrameLength, 0x55), good}), {1, 0, 0, 0, 1, 0}}};
    for (const auto& [name, input, expected] : cases) {
        FrameScanner scanner;
        scanner.Feed(input);
        scanner.Finish();
        const FrameCounts& got = scanner.Counts();
        EXPECT_EQ(Counts(got.frames, got.emptyFrames, got.crcFailures, got.compactFrames, got.oversized,
                         got.trailingBytes), expected) << name;
    }
    // clang-format on
}

TEST(FrameScan, HandsEachFrameWithItsOffsetWhateverTheFeedSize) {
    const Bytes first = LogFrame(0x1062, 800, Words({1}));
    const Bytes second = LogFrame(0x1000, 801, Bytes{0x7E, 0x7D});
    const Bytes input = Concat({Bytes{0x7E}, first, second});
    const std::vector<std::pair<Bytes, uint64_t>> expected = {{first, 1},
                                                              {second, 1 + first.size()}};
    for (size_t step : {size_t{1}, size_t{2}, size_t{5}, input.size()}) {
        std::vector<std::pair<Bytes, uint64_t>> frames;
        FrameScanner scanner([&](std::span<const uint8_t> frame, uint64_t offset) {
            frames.emplace_back(Bytes(frame.begin(), frame.end()), offset);
        });
        for (size_t i = 0; i < input.size(); i += step) {
            scanner.Feed(std::span(input).subspan(i, std::min(step, input.size() - i)));
        }
        EXPECT_EQ(frames, expected) << "step " << step;
    }
}

TEST(PacketIdentity, FromTheFrameOrTheMessageCode) {
    const Bytes compact =
        EscapeAndTerminate(CompactPacket({800, 315964801, 0, 2, 0xB1011062, {}, 0x0000}));
    // clang-format off
    struct Case { const char* name; Bytes frame; uint32_t msgCode; std::optional<uint16_t> logCode;
                  std::optional<uint8_t> command; uint32_t module = 0xB101; };
    const std::vector<Case> cases = {
        {"log packet", LogFrame(0x1062, 800, Words({1})), 0xB1011062, 0x1062, {}},
        {"escaped log code", LogFrame(0x107D, 800, {}), 0xB101107D, 0x107D, {}},  // 7D 5D 10
        // A signalling log keeps its log code in the upper half; the frame decides all the same.
        {"signalling log", LogFrame(0x1007, 800, Bytes{0, 7}), 0x1007076E, 0x1007, {}},
        {"command response", Frame(Bytes{0x73, 0, 0, 0}), 0xB1013073, {}, 0x73},
        {"command 0xDD", Frame(Bytes{0xDD, 1, 2}), 0xEEAA0001, {}, 0xDD},
        // Without a frame (packed sub-packets) or with under 8 bytes: from the message code.
        {"packed sub-packet", {}, 0x10360112, 0x1036, {}},
        {"packed log itself", {}, 0xB1011036, 0x1036, {}},
        {"event record log", {}, 0x10F40110, 0x10F4, {}},
        {"short log frame", Bytes{0x10, 0x00, 0x7E}, 0xB1011000, 0x1000, {}},
        {"time query", {}, 0xEEAA0001, {}, 0xDD},
        {"subsystem command", {}, 0xB101DD4B, {}, 0x4B},
        {"subsystem command, second form", {}, 0xB101304B, {}, 0x4B},
        {"status command", {}, 0xB101DD3F, {}, 0x3F},
        {"event report", {}, 0xB1011FFB, {}, 0x60},
        {"debug message", {}, 0xB1013079, {}, 0x79},
        {"wrapped pilot sets", {}, 0xB1013040, 0x3040, {}},
        {"another module", {}, 0xB2001062, 0x1062, {}, 0xB200},  // the module picks the half
        {"module type not matched", {}, 0xB2001062, 0xB200, {}},
        {"compact input", compact, 0xB1011062, 0x1062, {}},  // carries the original code
        {"compact input, signalling", compact, 0x10070100, 0x1007, {}}};
    // clang-format on
    for (const Case& c : cases) {
        const PacketIdentity got = IdentifyPacket(c.frame, c.msgCode, c.module);
        EXPECT_EQ(std::pair(got.logCode, got.command), std::pair(c.logCode, c.command)) << c.name;
    }
}

ItemView Item(int64_t index, std::vector<DecodeParam> current, uint32_t msgCode = 0xB101102D,
              PacketIdentity identity = {0x102D, {}}) {
    ItemView item;
    item.index = index;
    item.msgCode = msgCode;
    item.direction = 2;
    item.time = {static_cast<int32_t>(315964801 + index), 0};
    item.identity = identity;
    item.currentParams = std::move(current);
    return item;
}

// The CSV table: columns for the parameters the input sets (found by a first pass over the
// same items) in catalogue order, values carried forward, cleared ones emptied.
TEST(CsvSink, CarriesLastKnownValuesForwardAndEmptiesClearedOnes) {
    constexpr int32_t kFresh = TESSAVO_STATE_FRESH, kCleared = TESSAVO_STATE_CLEARED;
    // rx_power (0x7F010001, scale 1000), finger_count (0x7F010008) and the command flag
    // (0x7F1C8001, the last slot). 0x7F010002 is only ever cleared: it gets no column.
    // clang-format off
    std::vector<ItemView> items = {
        Item(0, {{kFresh, 0x7F010008, 3, 1}, {kFresh, 0x7F010001, -85500, 1000},
                 {kCleared, 0x7F010002, 0, 1000}}),
        Item(1, {}), Item(2, {{kCleared, 0x7F010001, -85500, 1000}, {kFresh, 0x7F010008, 4, 1}}),
        Item(3, {{kFresh, 0x7F1C8001, 1, 1}}),
        Item(4, {{kFresh, 0x7F010001, -90125, 1000}}, 0xB1013073, {{}, 0x73})};
    // clang-format on
    ColumnDiscovery discovery;
    for (const ItemView& item : items) discovery.Consume(item);
    std::ostringstream out;
    ItemClock clock;
    CsvSink sink(out, discovery.Columns(), false, clock);
    for (const ItemView& item : items) sink.Consume(item);
    sink.Finish(RunStats{});
    EXPECT_EQ(out.str(),
              "index,time,msg_code,msg_name,log_code,direction,rx_power,finger_count,cmd_flag\n"
              "0,1980-01-06T00:00:01.000000Z,0xb101102d,,0x102d,2,-85.5,3,\n"
              "1,1980-01-06T00:00:02.000000Z,0xb101102d,,0x102d,2,-85.5,3,\n"
              "2,1980-01-06T00:00:03.000000Z,0xb101102d,,0x102d,2,,4,\n"
              "3,1980-01-06T00:00:04.000000Z,0xb101102d,,0x102d,2,,4,1\n"
              "4,1980-01-06T00:00:05.000000Z,0xb1013073,,cmd:0x73,2,-90.125,4,1\n");
}

Json WriteJsonl(const ItemView& item, JsonlFields fields) {
    std::ostringstream out;
    ItemClock clock;
    ItemFilter all;
    JsonlSink sink(out, fields, clock, all);
    sink.Consume(item);
    sink.Finish(RunStats{});
    return Json::parse(out.str());
}

TEST(JsonlSink, StatesScalesUnknownIdsAndSideBlocks) {
    EXPECT_EQ(ParamStateName(-2), "retired");
    EXPECT_EQ(ParamStateName(7), "7");
    const Bytes blob = {0x01, 0x00, 0x7E, 0xFF};
    const Bytes dtlog = {'U', 'I', '\t', 0xFF, 0xC3, '\n'};  // not UTF-8: still valid JSON
    const Bytes outFile = {0x20, 0x00};
    ItemView item;
    // An enumeration carries the label of its value, or null for a value without one.
    // clang-format off
    item.currentParams = {{1, 0x7F010001, -85500, 1000}, {-1, 0x7F010008, 3, 1}, {1, 0x7F018302, 5, 1},
                          {1, 0x7F01C102, 9, 1}};
    // clang-format on
    item.inheritedParams = {{0, 0x7F01001B, 5, 1}};  // not in the tables: a generic name
    // The length shown is the record's; the hex is the bytes the reader handed over.
    item.currentStructs = {{1, 0x7F0107E2, 20, blob}};
    item.inheritedStructs = {{0, 0x7F0107D5, 172, {}}};
    item.dtlog = dtlog;
    item.outFile = outFile;
    Json json = WriteJsonl(item, JsonlFields{true, true, true, true});
    EXPECT_EQ(json["params"][0], Json::parse(R"({"id": "0x7f010001", "name": "rx_power",
        "unit": "dBm", "value": -85.5, "raw": -85500, "scale": 1000, "state": "fresh"})"));
    EXPECT_TRUE(json["params"][1]["value"].is_number_integer());
    EXPECT_FALSE(json["params"][1].contains("label"));
    EXPECT_EQ(json["dtlog"].get<std::string>().substr(0, 3), "UI\t");
    // clang-format off
    ExpectFields(json, {{"/params/1/state", "cleared"}, {"/params/2/label", "connected"},
        {"/params/3/label", nullptr}, {"/inherited_params/0/name", "param_7f01001b"},
        {"/inherited_params/0/unit", ""}, {"/struct_params/0/length", 20}, {"/outfile", "2000"},
        {"/struct_params/0/hex", "01007eff"}, {"/inherited_struct_params/0/name", "finger_list"},
        {"/compact", ""}});
    // clang-format on

    // Optional fields only when asked for.
    json = WriteJsonl(Item(0, {}, 0xEEAA0001, {{}, 0xDD}), JsonlFields{});
    ExpectFields(json, {{"/log_code", nullptr}, {"/command", "0xdd"}});
    for (const char* key :
         {"inherited_params", "inherited_struct_params", "dtlog", "outfile", "compact"}) {
        EXPECT_FALSE(json.contains(key)) << key;
    }
}

// The payloads the end-to-end runs do not reach, as their decoders write them: the pilot
// table (u32 count, 40-byte entries), the EV-DO sector table (u32 count, 56-byte rows) and
// the finger list (count, 14-byte fingers); -9999 marks a value not known.
// clang-format off
struct Blob : Bytes {
    using Bytes::Bytes;
    template <typename T>
    Blob& At(size_t at, T value) { std::memcpy(data() + at, &value, sizeof value); return *this; }
};

TEST(StructViews, TablesAsFields) {
    Blob pilots(2564);  // count 2; active PN 168 on 283; neighbour PN 252, channel and powers unknown
    pilots.At<uint32_t>(0, 2).At<uint32_t>(4, 0).At<int32_t>(8, 283).At<uint32_t>(12, 168)
        .At<double>(16, -80.5).At<double>(24, -86.5).At<double>(32, -6.0);
    pilots.At<uint32_t>(44, 2).At<int32_t>(48, -9999).At<uint32_t>(52, 252).At<double>(56, -80.5)
        .At<double>(64, -9999.0).At<double>(72, -9999.0);
    Blob sectors(3588);
    sectors.At<uint32_t>(0, 1).At<int32_t>(4, 1).At<int32_t>(8, 50).At<int32_t>(12, 78)
        .At<double>(16, -70.25).At<double>(24, -3.0).At<double>(32, 0.5);
    Blob fingers(172);
    fingers.At<int32_t>(0, 1).At<uint16_t>(4, 168).At<double>(6, -7.5).At<uint32_t>(14, 5);
    const std::vector<std::tuple<uint32_t, const Blob&, const char*>> cases = {
        {0x7F0107D6, pilots, R"({"count": 2, "pilots": [
            {"pn": 168, "set": "active", "channel": 283, "ecio_db": -6.0, "rx_power_dbm": -80.5,
             "pilot_power_dbm": -86.5},
            {"pn": 252, "set": "neighbour", "channel": null, "ecio_db": null, "rx_power_dbm": -80.5,
             "pilot_power_dbm": null}]})"},
        {0x7F0107D8, sectors, R"({"count": 1, "sectors": [{"pn": 78, "set": "candidate",
            "channel": 50, "sinr_db": 0.5, "ecio_db": -3.0, "rx_power_dbm": -70.25}]})"},
        {0x7F0107D5, fingers, R"({"count": 1, "fingers": [{"pn": 168, "ecio_db": -7.5, "word": 5}]})"}};
    // clang-format on
    for (const auto& [id, blob, json] : cases) {
        EXPECT_EQ(StructFields(id, blob), nlohmann::ordered_json::parse(json)) << id;
        // A payload shorter than the layout, or a layout not decoded, stays hex.
        EXPECT_TRUE(StructFields(id, std::span(blob).first(blob.size() - 1)).is_null()) << id;
    }
    EXPECT_TRUE(StructFields(0x7F0107E2, fingers).is_null());

    // An empty active set has no best pilot.
    ViewValues values;
    values[1] = "168";  // left from an earlier reply
    ComputeViews(0x7F0107D4, Bytes(261), values);
    EXPECT_EQ(values, ViewValues{"0"});  // the size; best PN and Ec/Io not known
}

TEST(ReportItemReader, BlockBytesStayInsideTheBlock) {
    EXPECT_TRUE(BlockBytes(nullptr).empty());
    std::vector<uint8_t> block(4 + TESSAVO_BLOCK_CAPACITY, 0xAB);
    // A length word beyond the block's capacity is cut to it.
    for (const auto& [length, shown] : std::vector<std::pair<uint32_t, size_t>>{
             {0, 0}, {3, 3}, {0xFFFFFFFF, TESSAVO_BLOCK_CAPACITY}}) {
        std::memcpy(block.data(), &length, 4);
        std::span<const uint8_t> bytes = BlockBytes(block.data());
        EXPECT_EQ(bytes.data(), block.data() + 4);
        EXPECT_EQ(bytes.size(), shown) << length;
    }
}

// The catalogue's names are the tool's column names and JSON keys; every entry has a
// meaning, and an ID no decoder writes is named reserved_<id>.
TEST(ParamCatalogue, IdsNamesUnitsAndMeaningsAreWellFormed) {
    ASSERT_EQ(ParamCatalogue().size(), 429u);
    std::set<uint32_t> ids;
    std::set<std::string> names;
    const std::regex snakeCase("[a-z][a-z0-9]*(_[a-z0-9]+)*");
    const std::regex writerList("((0x[0-9A-F]{4}|cmd:0x[0-9A-F]{2})( |$))*");
    const std::set<std::string> units = {"",   "dBm",  "dB",     "%",      "bit/s",
                                         "ms", "bits", "0.5 dB", "-0.5 dB"};
    for (const ParamInfo& info : ParamCatalogue()) {
        const std::string name(info.name), writers(info.writers);
        EXPECT_TRUE(ids.insert(info.id).second) << std::hex << info.id;
        EXPECT_TRUE(names.insert(name).second) << "duplicate name " << name;
        EXPECT_TRUE(std::regex_match(name, snakeCase)) << name;
        EXPECT_TRUE(std::regex_match(writers, writerList)) << name << ": '" << writers << "'";
        EXPECT_EQ(writers.empty(), name == "reserved_" + GenericParamName(info.id).substr(6))
            << name;
        EXPECT_TRUE(units.count(std::string(info.unit))) << name << ": " << info.unit;
        EXPECT_FALSE(info.description.empty()) << name;
        EXPECT_EQ(FindParamByName(name), &info);
    }
    // IDs outside the tables get the generic name.
    EXPECT_EQ(FindParam(0x7F01001B), nullptr);
    EXPECT_EQ(FindParam(0x7F0107FD), nullptr);
    EXPECT_EQ(ParamName(0x7F01001B), "param_7f01001b");
}

// Every report item carries the library's tables: the record in each scalar slot has the
// catalogue's ID and scale, and walking the structured area record by record with the
// catalogue's payload lengths meets each structured ID once and ends exactly at its end.
TEST(ParamCatalogue, MatchesTheTablesInALibraryReportItem) {
    void* handle = CreateDecoderObjectProc(TESSAVO_MODULE_B101);
    ASSERT_NE(handle, nullptr);
    const Bytes frame = LogFrame(0x1062, 800, Words({1, 2, 3, 4, 5}));
    ASSERT_EQ(DecodeMsgProc_NoDynamic(handle, frame.data(), int32_t(frame.size()), 0, 0), 0);
    ASSERT_EQ(GetReportItemCountProc(handle), 1);
    const auto* item = static_cast<const uint8_t*>(GetReportItemProc(handle, 0));
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(ScalarParams().size(), 384u);
    for (size_t slot = 0; slot < ScalarParams().size(); ++slot) {
        DecodeParam record;
        std::memcpy(&record, item + TESSAVO_OFFSET_PARAM_TABLE + slot * sizeof record,
                    sizeof record);
        EXPECT_EQ(record.id, ScalarParams()[slot].id) << "slot " << slot;
        EXPECT_EQ(record.scale, ScalarParams()[slot].scale) << "slot " << slot;
    }
    std::set<uint32_t> seen;
    uint32_t offset = 0;
    while (offset < TESSAVO_SPARAM_TABLE_SIZE) {
        DecodeStructParam header;
        std::memcpy(&header, item + TESSAVO_OFFSET_SPARAM_TABLE + offset, sizeof header);
        const ParamInfo* info = FindParam(header.id);
        ASSERT_TRUE(info != nullptr && info->kind == ParamKind::kStruct)
            << std::hex << "0x" << header.id << " at offset " << std::dec << offset;
        EXPECT_TRUE(seen.insert(header.id).second) << std::hex << header.id;
        offset += sizeof header + info->payloadLength;
    }
    EXPECT_EQ(offset, uint32_t{TESSAVO_SPARAM_TABLE_SIZE});
    EXPECT_EQ(seen.size(), StructParams().size());
    FreeDecoderObjectProc(&handle);
}

// clang-format off
TEST(TextFormat, ScaledValuesAndCsvFields) {
    const std::vector<std::tuple<int32_t, int32_t, const char*>> values = {
        {-85500, 1000, "-85.5"}, {12345, 100, "123.45"}, {-7, 1, "-7"}, {0, 1000, "0"},
        {-1, 1000, "-0.001"}, {5, 100, "0.05"}, {10000, 100, "100"}, {25, 10, "2.5"},
        {INT32_MIN, 1000, "-2147483.648"}, {INT32_MAX, 100, "21474836.47"}};
    for (const auto& [raw, scale, text] : values) EXPECT_EQ(ScaledValueText(raw, scale), text) << raw;
    // Quoted only when needed.
    const std::vector<std::pair<const char*, const char*>> fields = {{"0x102D 0x119A", "0x102D 0x119A"},
        {"a,b", "\"a,b\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""}, {"two\nlines", "\"two\nlines\""}};
    for (const auto& [text, field] : fields) EXPECT_EQ(CsvField(text), field);
}

// Item seconds count from 1980-01-06 08:00 local time: the pair is the GPS time as Unix
// seconds in UTC+8, 8 h later in UTC, 13 h later in EST; the clock gives one true instant.
// 2015-08-16 18:57:19 GPS (1439751439) is 17 leap seconds ahead of UTC; a leap second reads
// 23:59:60.
TEST(TextFormat, ItemTimesAreTrueInstantsWhateverTheZone) {
    const char* kEst = "EST5EDT,M3.2.0,M11.1.0";
    const std::vector<std::tuple<const char*, ItemTime, bool, const char*>> cases = {
        {"CST-8", {315964801, 1250}, false, "1980-01-06T00:00:01.001250Z"},
        {"CST-8", {315964800, 1500000}, false, "1980-01-06T00:00:01.500000Z"},  // carried
        {"CST-8", {315964800, -1}, false, "1980-01-05T23:59:59.999999Z"},
        {"CST-8", {1439751439, 548750}, false, "2015-08-16T18:57:02.548750Z"},
        {"UTC0", {1439780239, 548750}, false, "2015-08-16T18:57:02.548750Z"},
        {kEst, {1439798239, 548750}, false, "2015-08-16T18:57:02.548750Z"},
        {kEst, {1439798239, 548750}, true, "2015-08-16T14:57:02.548750-04:00"},
        {"CST-8", {1439751439, 0}, true, "2015-08-17T02:57:02.000000+08:00"},
        {"CST-8", {362793599, 0}, false, "1981-06-30T23:59:59.000000Z"},
        {"CST-8", {362793600, 0}, false, "1981-06-30T23:59:60.000000Z"},
        {"CST-8", {362793601, 0}, false, "1981-07-01T00:00:00.000000Z"},
        {"CST-8", {1483228816, 0}, false, "2016-12-31T23:59:59.000000Z"},
        {"CST-8", {1483228817, 0}, false, "2016-12-31T23:59:60.000000Z"},
        {"CST-8", {1483228818, 0}, false, "2017-01-01T00:00:00.000000Z"}};
    for (const auto& [zone, raw, local, text] : cases) {
        tessavo::test::ScopedTimeZone scope(zone);
        EXPECT_EQ(ItemClock(local).Format(raw), text) << zone << " " << raw.seconds;
    }
    // Written whole, never from the kept second: microseconds out of range, a five-digit year;
    // a time the calendar functions cannot break down gives no text, also at the ends of the
    // range and in a new cache.
    tessavo::test::ScopedTimeZone utc("UTC0");
    TimeText kept;
    EXPECT_EQ(FormatInstant({0, 1000000, false}, false, kept), "1970-01-01T00:00:00.1000000Z");
    EXPECT_EQ(FormatInstant({0, 5, false}, false, kept), "1970-01-01T00:00:00.000005Z");
    EXPECT_EQ(FormatInstant({253402300800, 7, false}, false, kept), "10000-01-01T00:00:00.000007Z");
    EXPECT_EQ(FormatInstant({INT64_MAX, 0, false}, false, kept), "");
    EXPECT_EQ(FormatInstant({INT64_MIN + 1, 0, false}, false, kept), "");
    TimeText fresh;
    EXPECT_EQ(FormatInstant({INT64_MIN, 0, false}, false, fresh), "");
    EXPECT_EQ(LeapSecondsAtGps(0), 0);
    EXPECT_DOUBLE_EQ(SecondsBetween({12, 500000}, {10, 0}), -2.5);
    EXPECT_NEAR(SecondsBetween({10, 999999}, {11, 0}), 0.000001, 1e-12);
}

// UTC texts are computed without the C library; they agree with its breakdown from year 0 to
// 9999 (leap days, century years, before 1970), wherever the C library can break a time down.
TEST(TextFormat, UtcTextsAgreeWithTheCalendarFunctions) {
    std::vector<int64_t> seconds = {-62167219200, -2203891200, -1, 0, 951782399, 951782400,
                                    951868800, 4107542400, 4107628800, 253402300799};
    for (int64_t s = -62167219200; s < 253402300800; s += 9999991) seconds.push_back(s);
    TimeText kept;
    int compared = 0;
    for (int64_t s : seconds) {
        std::tm parts{};
        if (!BreakDownTime(static_cast<std::time_t>(s), false, parts)) continue;
        char expected[64];
        std::snprintf(expected, sizeof expected, "%04d-%02d-%02dT%02d:%02d:%02d.000042Z",
                      parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                      parts.tm_min, parts.tm_sec);
        ASSERT_EQ(FormatInstant({s, 42, false}, false, kept), expected) << s;
        ++compared;
    }
    EXPECT_GT(compared, 1000);  // Windows breaks down 1970 to 3000 only
}

TEST(TextFormat, ProgressLines) {
    constexpr uint64_t kMiB = 1024 * 1024;
    // Half of 100 MiB in 10 s: 50 %, 12 of 24 marks, 10 s left; 1000 items in 10 s. A quarter
    // after 30 s: 90 s left. Without a total: the bytes and the rate only.
    EXPECT_EQ(FormatProgressLine(50 * kMiB, 100 * kMiB, 1000, 10.0),
              "[############------------]  50% 50.0 MiB / 100.0 MiB  100 items/s  0:10 left");
    EXPECT_EQ(FormatProgressLine(100 * kMiB, 100 * kMiB, 5, 2.0),
              "[########################] 100% 100.0 MiB / 100.0 MiB  2 items/s");
    EXPECT_EQ(FormatProgressLine(25 * kMiB, 100 * kMiB, 0, 30.0),
              "[######------------------]  25% 25.0 MiB / 100.0 MiB  0 items/s  1:30 left");
    EXPECT_EQ(FormatProgressLine(3 * kMiB / 2, 0, 30, 3.0), "1.5 MiB  10 items/s");
    EXPECT_EQ(FormatProgressLine(0, 0, 0, 0.0), "0.0 MiB");
    // A meter on a terminal erases its line when finished; a disabled one draws nothing.
    for (bool enabled : {false, true}) {
        std::ostringstream err;
        ProgressMeter meter(err, enabled, 100);
        meter.Update(50, 10);
        meter.Finish();
        const std::string text = err.str();
        EXPECT_EQ(text.empty() ? "" : text.substr(0, 1) + text.substr(text.size() - 4),
                  enabled ? "\r\r\x1b[K" : "");
    }
}
// clang-format on

}  // namespace
}  // namespace tessavo::cli::test
