// What a user reads: structured payloads as fields (golden items worked out from the
// packet bytes), the filters, the long CSV layout against the wide one, and the summary
// figures.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cli_harness.h"

namespace tessavo::cli::test {
namespace {

// Commands are decoded only after a first log packet; tick 800 is 1980-01-06T00:00:01Z.
const Bytes kFirstLog = LogFrame(0x1062, 800, Words({1, 2, 3, 4, 5}));

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// Pilot sets reply (command 0x40): u16 word 0x0102, 2 active, 1 candidate and 1 neighbour
// pilot as (PN, strength in -0.5 dB): (168, 12), (252, 20), (336, 30), (420, 63).
const Bytes kPilotSets =
    Frame(Concat({Bytes{0x40, 0x02, 0x01, 2, 1, 1}, Bytes{168, 0, 12, 0, 252, 0, 20, 0},
                  Bytes{0x50, 0x01, 30, 0, 0xA4, 0x01, 63, 0}}));

// Position log 0x1014 at tick 1600: 6 bytes skipped, 9 characters of longitude and 8 of
// latitude in units of 1e-5 degree, two 3-character integers, two bytes.
const Bytes kPosition = LogFrame(
    0x1014, 1600,
    Concat({Bytes(6, 0), Text("-12212345"), Text("03745678"), Text("123"), Text("045"), {0, 0}}));

TEST(CliViews, GoldenPilotSetsAndPositionItems) {
    TempFile capture(Concat({kFirstLog, kPilotSets, kPosition}));
    CliRun run = RunTool({capture.Path()});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<Json> items = JsonLines(run.out);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1], Json::parse(R"({"index": 1, "time": "1980-01-06T00:00:01.000000Z",
        "time_utc": "1980-01-06T00:00:01.000000Z", "time_raw": [315964801, 0],
        "msg_code": "0xb1013040", "log_code": null, "command": "0x40", "direction": 2,
        "direction_label": null, "params": [],
        "struct_params": [{"id": "0x7f0107d4", "name": "pilot_sets", "length": 261,
          "state": "fresh", "fields": {"header_word": 258,
            "active": [{"pn": 168, "strength": 12, "ecio_db": -6.0},
                       {"pn": 252, "strength": 20, "ecio_db": -10.0}],
            "candidate": [{"pn": 336, "strength": 30, "ecio_db": -15.0}],
            "neighbour": [{"pn": 420, "strength": 63, "ecio_db": -31.5}]}}]})"));
    EXPECT_EQ(items[2]["time"], "1980-01-06T00:00:02.000000Z");
    EXPECT_EQ(items[2]["struct_params"], Json::parse(R"([{"id": "0x7f0107fc",
        "name": "position_fix", "length": 24, "state": "fresh", "fields": {
          "latitude_deg": 37.45678, "longitude_deg": -122.12345,
          "field_3a": 123, "field_3b": 45}}])"));

    // The CSV views of the same payloads.
    CliRun csv = RunTool({"--format", "csv", "--params",
                          "active_set_size,active_best_pn,active_best_ecio,latitude,longitude",
                          capture.Path()});
    EXPECT_EQ(Lines(csv.out)[3],
              "2,1980-01-06T00:00:02.000000Z,0xb1011014,0x1014,2,2,168,-6.0,37.45678,-122.12345");
}

TEST(CliViews, FiltersChooseItemsAndParameters) {
    TempFile capture(Concat({kFirstLog, kPilotSets, kPosition, LogFrame(0x107D, 1601, {})}));
    struct Case {
        std::vector<std::string> args;
        std::vector<int64_t> indexes;
        size_t params;  // of the first item shown
    };
    const std::vector<Case> cases = {
        {{}, {0, 1, 2, 3}, 5},
        {{"--log-code", "0x1014,107D"}, {2, 3}, 0},
        {{"--decoded-only"}, {0, 1, 2}, 5},
        {{"--params", "log1062_word2,0x7f018328"}, {0, 1, 2, 3}, 2},
        {{"--decoded-only", "--params", "latitude"}, {2}, 0},  // and the position fix
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.push_back(capture.Path());
        std::vector<Json> items = JsonLines(RunTool(args).out);
        std::vector<int64_t> indexes;
        for (const Json& item : items) indexes.push_back(item["index"]);
        EXPECT_EQ(indexes, c.indexes) << c.args.size();
        ASSERT_FALSE(items.empty());
        EXPECT_EQ(items[0]["params"].size(), c.params) << c.args.size();
    }
    // A CSV view named shows its structured parameter in JSONL.
    std::vector<Json> items = JsonLines(RunTool({"--params", "latitude", capture.Path()}).out);
    EXPECT_EQ(items[2]["struct_params"][0]["name"], "position_fix");
    EXPECT_EQ(items[1]["struct_params"], Json::array());
}

std::vector<std::string> Split(const std::string& row) {
    std::vector<std::string> cells;
    for (size_t start = 0;;) {
        const size_t comma = row.find(',', start);
        cells.push_back(row.substr(start, comma - start));
        if (comma == std::string::npos) return cells;
        start = comma + 1;
    }
}

// Rebuilding the wide table from the long rows (each row a freshly set value) gives the
// wide CSV's cells; on the bundled sample, which sets, clears and re-sets values.
TEST(CliViews, LongCsvRoundTripsToTheWideTable) {
    const std::string sample = std::string(TESSAVO_SOURCE_DIR) + "/samples/drive_test.bin";
    const std::string params = "rx_power,tx_power,best_pilot_pn,sid,cdma_channel,data_fwd_rate";
    CliRun wide = RunTool({"--format", "csv", "--params", params, sample});
    CliRun tidy = RunTool({"--format", "csv", "--csv-layout", "long", "--params", params, sample});
    ASSERT_EQ(wide.status, 0) << wide.err;
    std::vector<std::string> wideRows = Lines(wide.out);
    std::vector<std::string> longRows = Lines(tidy.out);
    ASSERT_GT(longRows.size(), 100u);
    EXPECT_EQ(longRows[0], "index,time,log_code,parameter,value,unit");
    const std::vector<std::string> columns = {"rx_power", "tx_power",     "best_pilot_pn",
                                              "sid",      "cdma_channel", "data_fwd_rate"};
    std::map<std::string, std::string> state;
    size_t next = 1;
    size_t matched = 0;
    for (size_t row = 1; row < wideRows.size(); ++row) {
        const std::vector<std::string> cells = Split(wideRows[row]);
        while (next < longRows.size() &&
               longRows[next].substr(0, cells[0].size() + 1) == cells[0] + ",") {
            const std::vector<std::string> fields = Split(longRows[next]);
            EXPECT_EQ(fields[1], cells[1]);  // the same time
            state[fields[3]] = fields[4];
            ++next;
        }
        // Cleared values empty a wide cell but add no long row: compare the set cells.
        for (size_t c = 0; c < columns.size(); ++c) {
            if (cells[5 + c].empty()) continue;
            EXPECT_EQ(state[columns[c]], cells[5 + c]) << wideRows[row];
            ++matched;
        }
    }
    EXPECT_EQ(next, longRows.size());
    EXPECT_GT(matched, 1000u);
}

TEST(CliViews, SummaryFigures) {
    // A command before the first log is dropped; log code 0x1065 is one the library
    // ignores. The bundled sample carries the identities, the origination and the ten
    // damaged frames its README lists.
    const std::string sample = std::string(TESSAVO_SOURCE_DIR) + "/samples/drive_test.bin";
    TempFile capture(Concat({Frame(Bytes{0x40, 0, 0, 0, 0, 0}), kFirstLog,
                             LogFrame(0x1065, 801, Words({1})), kPosition}));
    CliRun run = RunTool({"--format", "summary", capture.Path()});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* line : {
             "  ignored or unsupported code  1 in 1 log codes\n",
             "  command before the first log 1\n",
             "  ignored log codes            0x1065:1\n",
         }) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\nin\n" << run.out;
    }
    CliRun drive = RunTool({"--format", "summary", sample});
    for (const char* line : {
             "  SID               13824\n",
             "  1x channels       283 384\n",
             "  1x originations                       1\n",
             "  bad CRC                      10\n",
         }) {
        EXPECT_NE(drive.out.find(line), std::string::npos) << line << "\nin\n" << drive.out;
    }
}

}  // namespace
}  // namespace tessavo::cli::test
