// What tessavo-decode writes for known packets, in each format and side file. A 0x1062 log's
// five words become parameters 0x7F018328..0x7F01832C and structured parameter 0x7F0107E2;
// tick 800 is 1980-01-06T00:00:01Z, and the library's pair is 315964801 s in TZ=CST-8.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "cli_harness.h"

namespace tessavo::cli::test {
namespace {

const Bytes kWords = Words({1, 2, 3, 4, 5});
const Bytes kLog = LogFrame(0x1062, 800, kWords);

TEST(CliOutput, JsonlFieldsOfALogPacket) {
    std::vector<Json> items = DecodeOn(Concat({kLog, LogFrame(0x107D, 801, {})}), {"--inherited"});
    ASSERT_EQ(items.size(), 2u);
    Json first = items[0];
    ASSERT_EQ(first["params"].size(), 5u);
    EXPECT_EQ(first["params"][0], Json::parse(R"({"id": "0x7f018328", "name": "unlabelled_1062_1",
        "unit": "", "value": 1, "raw": 1, "scale": 1, "state": "fresh"})"));
    first.erase("params");
    EXPECT_EQ(first, Json::parse(R"({"index": 0, "time": "1980-01-06T00:00:01.000000Z",
        "time_utc": "1980-01-06T00:00:01.000000Z", "time_raw": [315964801, 0],
        "msg_code": "0xb1011062", "msg_name": null, "log_code": "0x1062", "command": null, "direction": 2,
        "direction_label": null, "inherited_params": [], "inherited_struct_params": [],
        "struct_params": [{"id": "0x7f0107e2", "name": "log1062_record", "length": 20,
            "state": "fresh", "hex": "0100000002000000030000000400000005000000"}]})"));
    // The next packet sets nothing: everything the first set is inherited (five and one).
    // clang-format off
    ExpectFields(items[1], {{"/time", "1980-01-06T00:00:01.001250Z"}, {"/params", Json::array()},
        {"/inherited_params/4/name", "unlabelled_1062_5"}, {"/inherited_params/4/raw", 5},
        {"/inherited_params/4/state", "inherited"}, {"/inherited_params/5", nullptr},
        {"/inherited_struct_params/0/state", "inherited"}, {"/inherited_struct_params/1", nullptr}});
    // clang-format on
}

// --tz prints local times with their offset (1980-01-06T00:00:01Z is 18:00:01 the day
// before in Chicago, UTC-6) and gives the zone back to the process afterwards.
TEST(CliOutput, LocalTimesOfANamedZone) {
    if (!std::filesystem::exists("/usr/share/zoneinfo/America/Chicago")) GTEST_SKIP() << "no zones";
    std::vector<Json> items = DecodeOn(kLog, {"--tz", "America/Chicago"});
    EXPECT_EQ(items.size(), 1u);
    ExpectFields(Json(items), {{"/0/time", "1980-01-05T18:00:01.000000-06:00"},
                               {"/0/time_utc", "1980-01-06T00:00:01.000000Z"}});
    EXPECT_STREQ(std::getenv("TZ"), "CST-8");
}

// The wide CSV carries values forward; the summary counts items, codes and damaged frames.
TEST(CliOutput, CsvCarriesValuesForwardAndSummaryCountsFrames) {
    const Bytes capture = Concat(
        {kLog, LogFrame(0x107D, 801, {}), FrameWithCheck(LogPacket(0x1062, 802, kWords), 0xFFFF),
         LogFrame(0x1062, 1600, Words({6, 7, 8, 9, 10})), Bytes{0x7E, 0x01}});
    CliRun run = RunOn(capture, {"--format", "csv", "--module", "0xB200"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "index,time,msg_code,msg_name,log_code,direction,unlabelled_1062_1,unlabelled_1062_2,"
              "unlabelled_1062_3,unlabelled_1062_4,unlabelled_1062_5\n"
              "0,1980-01-06T00:00:01.000000Z,0xb2001062,,0x1062,2,1,2,3,4,5\n"
              "1,1980-01-06T00:00:01.001250Z,0xb200107d,,0x107d,2,1,2,3,4,5\n"
              "2,1980-01-06T00:00:02.000000Z,0xb2001062,,0x1062,2,6,7,8,9,10\n");
    run = RunOn(capture, {"--format", "summary"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* line :
         {"report items           3\n",
          "4 terminated by 0x7E, 1 with a bad CRC, 0 compact (0xFFFE, CRC not checked), "
          "1 empty, 0 over 7168 bytes, 1 bytes after the last 0x7E",
          "first item time        1980-01-06T00:00:01.000000Z\n",
          "last item time         1980-01-06T00:00:02.000000Z\n",
          "time span              1.000000 s, 3.0 items per capture second\n",  // ticks 800-1600
          "items by log code\n  0x1062  2\n  0x107d  1\n",
          "items by message code\n  0xb1011062  2\n  0xb101107d  1\n"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\nin\n" << run.out;
    }
}

// An OutFile record is a log packet from its record length on. A 0x1062 item's compact form
// holds its time, direction, message code and five fresh parameters, then the check bytes of
// the packet received; the compact stream reads back as the same item.
TEST(CliOutput, SideFilesAreTheRecordsAndTheCompactStream) {
    const Bytes first = LogPacket(0x1062, 800, kWords);
    const Bytes second = LogPacket(0x107D, 801, Bytes{0x7E, 0x01});
    TempFile records;
    std::vector<Json> items = DecodeOn(Concat({Frame(first), Frame(second)}),
                                       {"--outfile-records", records.Path(), "--outfile"});
    EXPECT_EQ(records.Read(), Concat({Bytes(first.begin() + 4, first.end()),
                                      Bytes(second.begin() + 4, second.end())}));
    ExpectFields(Json(items), {{"/1/outfile",
                                "0e007d1000002103000000007e01"}});  // length, code, 801 << 16, 7e01
    TempFile compact;
    items = DecodeOn(Frame(first), {"--compact", compact.Path()});
    // clang-format off
    EXPECT_EQ(compact.Read(), EscapeAndTerminate(CompactPacket({800, 315964801, 0, 2, 0xB1011062,
        {{0x7F018328, 1}, {0x7F018329, 2}, {0x7F01832A, 3}, {0x7F01832B, 4}, {0x7F01832C, 5}},
        BitwiseCrc16(first)})));
    // clang-format on
    CliRun back = RunTool({compact.Path()});
    ASSERT_EQ(back.status, 0) << back.err;
    std::vector<Json> restored = JsonLines(back.out);
    ASSERT_EQ(restored.size(), 1u);
    for (const char* key : {"time", "msg_code", "log_code", "direction", "params"}) {
        EXPECT_EQ(restored[0][key], items[0][key]) << key;
    }
}

// Command 0xDD takes its time from the first log packet plus the host time elapsed; with a
// constant host time that is the first log packet's time.
TEST(CliOutput, CommandResponseAfterALogPacket) {
    for (const char* hostTime : {"0", "1700000000.5"}) {
        std::vector<Json> items =
            DecodeOn(Concat({kLog, Frame(Bytes{0xDD, 0x01, 0x02})}), {"--host-time", hostTime});
        EXPECT_EQ(items.size(), 2u) << hostTime;
        ExpectFields(Json(items), {{"/1/msg_code", "0xeeaa0001"},
                                   {"/1/log_code", nullptr},
                                   {"/1/command", "0xdd"},
                                   {"/1/time_raw", Json::array({315964801, 0})}});
    }
}

TEST(CliOutput, ListParams) {
    CliRun csv = RunTool({"--list-params"});
    ASSERT_EQ(csv.status, 0);
    std::vector<std::string> rows = Lines(csv.out);
    ASSERT_EQ(rows.size(), 435u);  // header, 429 entries, 5 views
    EXPECT_EQ(rows[0], "id,kind,name,unit,scale,payload_length,writers,description,values");
    EXPECT_EQ(rows[1],
              "0x7f010001,scalar,rx_power,dBm,1000,,0x102C 0x102D 0x119A,Receive power "
              "(AGC) of the 1x link,");
    EXPECT_EQ(rows[368],
              "0x7f01c102,scalar,channel_state,,1,,0x1004 0x1005 0x1006 0x1007 "
              "0x1008 0x1076 0x1077 0x1078 0x1079 0x107C,1x channel the handset is "
              "on,0=idle 1=access 2=traffic");
    Json list = Json::parse(RunTool({"--list-params=json"}).out);
    ASSERT_EQ(list.size(), 434u);
    EXPECT_EQ(list[179], Json::parse(R"({"id": "0x7f018328", "kind": "scalar",
        "name": "unlabelled_1062_1", "unit": "", "scale": 1, "writers": ["0x1062"],
        "description": "32-bit word 1 of log record 0x1062; its meaning is not known"})"));
    ExpectFields(list, {{"/432/name", "latitude"},
                        {"/432/source", "0x7f0107fc"},
                        {"/141/values/5", "connected"},
                        {"/384/payload_length", 19}});  // 141: do_state
    TempFile output;
    EXPECT_EQ(RunTool({"--list-params", "-o", output.Path()}).out, "");
    EXPECT_EQ(Text(output.Read()), csv.out);
}

}  // namespace
}  // namespace tessavo::cli::test
