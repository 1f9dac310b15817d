// tessavo-decode end to end: exit statuses and messages, outputs that never destroy an
// input, the feeding loop, what a user reads (structured payloads as fields, filters, the
// long CSV layout, summary figures, DTLog lines) and a run stopped by a signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <thread>

#include "capture_forms.h"
#include "cli_harness.h"

namespace tessavo::cli::test {
namespace {

// Tick 800 is 1980-01-06T00:00:01Z; commands are decoded only after a first log packet.
const Bytes kWords = Words({1, 2, 3, 4, 5});
const Bytes kCapture = LogFrame(0x1062, 800, kWords);
const std::string kSample = std::string(TESSAVO_SOURCE_DIR) + "/samples/drive_test.bin";

// A failing run prints nothing on standard output, its message on standard error (whole
// when the row's text, not the usage, ends a line), leaves input and existing output as is; a
// run that succeeds prints `out` and no message. `via` 1: the installed program (main's
// status is the exit status); 2: a terminal on standard input.
TEST(CliErrors, StatusesAndMessagesAndFilesKept) {
    TempFile capture(kCapture);
    TempFile existing(Text("kept\n"));
    TempFile missing;  // never created
    const std::string &in = capture.Path(), &kept = existing.Path();
    const std::string dir = in.substr(0, in.rfind('/')), nowhere = in + ".d/out.jsonl";
    // Not DIAG: random bytes, an image, frames that all (or more than half of 150) fail their
    // check; the output is what was decoded.
    std::mt19937 random(26);
    Bytes noise(20000);
    for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
    Bytes mostlyBad;
    for (uint32_t i = 0; i < 150; ++i) {
        const Bytes packet = LogPacket(0x1062, 800 + i, Words({i}));
        mostlyBad = Concat({mostlyBad, i % 3 == 0 ? Frame(packet) : FrameWithCheck(packet, 0)});
    }
    TempFile random20k(noise), png(Concat({{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, noise})),
        badFrame(FrameWithCheck(LogPacket(0x1062, 800, Words({1})), 0x0000)), partlyBad(mostlyBad),
        gzipNoise(Gzip(noise));
    const std::string notDiag = "): not a DIAG stream this tool reads";
    const std::string noFile = "': No such file or directory\n",
                      usage = "\nUsage: tessavo-decode [OPTIONS] [FILE...]\n";
    // clang-format off
    struct Case { std::vector<std::string> args; int status; std::string err; int via = 0;
                  std::string out = {}; };
    std::vector<Case> cases = {
        {{in, missing.Path()}, 1, "cannot open '" + missing.Path() + noFile},
        {{dir}, 1, "cannot read '" + dir + "': Is a directory\n"},
        {{"-o", nowhere, in}, 1, "cannot write '" + nowhere + noFile},
        {{"--compact", nowhere, in}, 1, "cannot write '" + nowhere + noFile},
        {{"--outfile-records", nowhere, in}, 1, "cannot write '" + nowhere + noFile},
        {{"--frobnicate", in}, 2, usage}, {{"--format", "yaml", in}, 2, usage}, {{in, "--format"}, 2, usage},
        {{"--module", "0xB201", in}, 2, usage}, {{"--host-time", "yesterday", in}, 2, usage},
        {{"--chunk-size", "0", in}, 2, usage}, {{"--list-params=xml"}, 2, usage},
        {{"-o", in, in}, 2, "refusing to write '" + in}, {{"--compact", in, in}, 2, "it is an input"},
        {{"-o", kept, in, missing.Path()}, 1, "cannot open"},
        {{"-o", kept, "--compact", kept, in}, 2, "named for two outputs"},
        {{"--outfile-records", dir + "/side.bin", "--compact", dir + "/./side.bin", in}, 2,
         "'" + dir + "/./side.bin' is named for two outputs; name a file for each\n"},
        {{"-o", dir + "/../" + dir.substr(dir.rfind('/') + 1) + "/" + in.substr(dir.size() + 1), in}, 2,
         "it is an input"},
        {{"--inherited", "--format", "csv", in}, 2, "--inherited lists inherited parameters in JSONL only"},
        {{"--input-format", "zip", in}, 2, usage},
        {{random20k.Path()}, 4, "'" + random20k.Path() + "': 0 of "},
        {{png.Path()}, 4, "(read as raw HDLC" + notDiag},
        {{badFrame.Path()}, 4, "': 0 of 1 frames pass their CRC check (read as raw HDLC" + notDiag},
        {{partlyBad.Path()}, 4, "': 50 of 150 frames pass their CRC check"},
        {{gzipNoise.Path()}, 4, "(read as gzip-compressed raw HDLC" + notDiag},
        {{"--chunk-size", "abc", in}, 2,
         "--chunk-size: 'abc' is not a chunk size: not a whole number of bytes"},
        {{"--chunk-size", "99999999", in}, 2, "outside 1 to 16777216 bytes"},
        {{"--host-time", "1.999999999", in}, 2,
         "more than 6 fraction digits (the library keeps microseconds); give SECONDS[.FRACTION]"},
        {{"--tz", "Mars/Base", in}, 2, "unknown time zone 'Mars/Base'"},
        {{"--log-code", "0x1007,zz", in}, 2, "'zz' is not a log code"},
        {{"--params", "rx_power,nope", in}, 2, "unknown parameter 'nope'"},
        {{"--track", kept, in}, 2, "--track FILE goes with --format geojson or kml"},
        {{"--format", "kml", "--track", missing.Path(), in}, 1,
         "cannot open the track '" + missing.Path() + "'"},
        {{"--format", "kml", "--track", kept, in}, 1, "no GPS fix in '" + kept + "'"},
        {{}, 2, "Usage: tessavo-decode", 2},  // no capture named: the usage, not a wait
        {{"--format", "csv", in}, 0, "", 1}, {{missing.Path()}, 1, "cannot open", 1},
        {{"--no-such-option"}, 2, usage, 1}, {{"--help"}, 0, "", 0, "Usage: tessavo-decode"},
        {{"--help"}, 0, "", 0, "--module 0xB101"}};  // the documented default
    // clang-format on
    if (std::filesystem::exists("/dev/full")) {
        cases.push_back({{"-o", "/dev/full", in}, 1, "error writing '/dev/full': No space left"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        CliRun run = c.via == 1 ? RunProgram(c.args) : RunTool(c.args, "", c.via == 2);
        EXPECT_EQ(run.status, c.status);
        // Status 4 writes what it decoded.
        if (c.status != 4) {
            EXPECT_EQ(run.out.empty(), c.status != 0);
        }
        EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
        if (c.status == 0) {
            EXPECT_EQ(run.err, "");
        } else if (c.err.back() == '\n' && c.err != usage) {
            EXPECT_EQ(run.err, "tessavo-decode: " + c.err);
        } else {
            EXPECT_EQ(run.err.rfind("tessavo-decode: ", 0), 0u) << run.err;
            EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        }
        EXPECT_EQ(capture.Read(), kCapture);
        EXPECT_EQ(Text(existing.Read()), "kept\n");
    }
    // A successful run replaces the file and leaves no temporary file beside it.
    ASSERT_EQ(RunTool({"--format", "csv", "-o", kept, in}).status, 0);
    EXPECT_EQ(Text(existing.Read()).substr(0, 6), "index,");
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    }
}

TEST(CliErrors, VersionAndInputWithoutFrames) {
    CliRun version = RunTool({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("tessavo-decode (tessavo ", 0), 0u);

    // An empty input: an empty result (the CSV header only), a warning and success; bytes
    // without a frame are not a DIAG stream (status 4), also from standard input.
    for (const Bytes& contents : {Bytes{}, Bytes{0x01, 0x02, 0x03, 0x7D}}) {
        TempFile empty(contents);
        for (const auto& [format, output] : std::vector<std::pair<const char*, const char*>>{
                 {"jsonl", ""},
                 {"csv", "index,time,msg_code,msg_name,log_code,direction\n"},
                 {"dtlog", ""}}) {
            CliRun run = RunTool({"--format", format, empty.Path()});
            EXPECT_EQ(run.status, contents.empty() ? 0 : 4) << format;
            EXPECT_EQ(run.out, output) << format;
            EXPECT_EQ(run.err,
                      contents.empty()
                          ? "tessavo-decode: warning: no DIAG frames in '" + empty.Path() + "'\n"
                          : "tessavo-decode: warning: '" + empty.Path() +
                                "': no DIAG frames (read as raw HDLC): not a DIAG stream "
                                "this tool reads\n");
        }
    }
    CliRun piped = RunTool({"-"}, "no frames here");
    EXPECT_EQ(piped.status, 4);
    EXPECT_EQ(piped.err,
              "tessavo-decode: warning: standard input: no DIAG frames (read as raw "
              "HDLC): not a DIAG stream this tool reads\n");
}

// Three items, 0x1062, 0x107D (no decoder: no parameters) and 0x1062 with escaped bytes,
// among a lone 0x7E, a bad CRC, garbage, and an unfinished frame; the same items however the
// bytes come: any chunk size (1 splits escape pairs), one frame per call, standard input,
// two files split inside the second frame.
TEST(CliFeeding, MixedCaptureGivesTheThreeItemsWhateverTheFeeding) {
    Bytes unfinished = LogFrame(0x1062, 804, Words({7, 7, 7, 7, 7}));
    unfinished.resize(10);
    const Bytes capture = Concat(
        {Bytes{0x7E}, kCapture, LogFrame(0x107D, 801, Bytes{0x7E, 0x7D, 0x00}),
         FrameWithCheck(LogPacket(0x1062, 802, Words({9, 9, 9, 9, 9})), 0), Bytes{0x11, 0x22, 0x7E},
         LogFrame(0x1062, 803, Words({0x7E, 0x7D, 0x7E7D, 4, 5})), unfinished});
    TempFile whole(capture);
    const auto cut = static_cast<long>(1 + kCapture.size() + 5);
    TempFile first(Bytes(capture.begin(), capture.begin() + cut));
    TempFile second(Bytes(capture.begin() + cut, capture.end()));
    const CliRun reference = RunTool({whole.Path()});
    ASSERT_EQ(reference.status, 0) << reference.err;
    EXPECT_EQ(reference.err, "");
    std::vector<Json> items = JsonLines(reference.out);
    ASSERT_EQ(items.size(), 3u);
    // clang-format off
    ExpectFields(Json(items), {{"/0/params/4/raw", 5}, {"/1/msg_code", "0xb101107d"},
        {"/1/params", Json::array()}, {"/2/params/0/raw", 0x7E}, {"/2/params/2/raw", 0x7E7D},
        {"/2/time", "1980-01-06T00:00:01.003750Z"}});
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--chunk-size", "1", whole.Path()}, ""}, {{"--chunk-size", "2", whole.Path()}, ""},
        {{"--chunk-size", "3", whole.Path()}, ""}, {{"--chunk-size", "7", whole.Path()}, ""},
        {{"--chunk-size", "64", whole.Path()}, ""}, {{"--whole-frames", whole.Path()}, ""},
        {{"-"}, Text(capture)}, {{}, Text(capture)}, {{first.Path(), second.Path()}, ""}};
    // clang-format on
    for (const auto& [args, input] : cases) {
        CliRun run = RunTool(args, input);
        EXPECT_EQ(run.status, 0) << ::testing::PrintToString(args);
        EXPECT_EQ(run.out, reference.out) << ::testing::PrintToString(args);
    }
}

// 700 packets in one call: the ring holds 300 items, so the library stops early and
// answers how many bytes to hand over again. No item may be lost or repeated.
TEST(CliFeeding, AFullRingIsCollectedAndTheTailFedAgain) {
    constexpr uint32_t kCount = 700;
    Bytes capture;
    for (uint32_t i = 0; i < kCount; ++i) {
        capture = Concat({capture, LogFrame(0x1062, 800 + i, Words({i, 0, 0, 0, i * 2}))});
    }
    ASSERT_LT(capture.size(), 65536u);  // one chunk
    for (const char* size : {"65536", "4096"}) {
        CliRun run = RunOn(capture, {"--chunk-size", size, "--format", "csv"});
        ASSERT_EQ(run.status, 0) << run.err;
        std::vector<std::string> rows = Lines(run.out);
        ASSERT_EQ(rows.size(), kCount + 1) << size;
        for (uint32_t i = 0; i < kCount; ++i) {
            const std::string& row = rows[i + 1];
            const std::string end =
                ",0x1062,2," + std::to_string(i) + ",0,0,0," + std::to_string(i * 2);
            ASSERT_EQ(row.rfind(std::to_string(i) + ",", 0), 0u) << row;
            ASSERT_EQ(row.substr(row.size() - end.size()), end) << row;
        }
    }
}

TEST(CliFeeding, RawPacketsSkipTheCrcCheck) {
    // No byte of this frame needs escaping, so it reads the same unescaped.
    const Bytes capture = Concat({FrameWithCheck(LogPacket(0x1062, 800, kWords), 0x0101),
                                  LogFrame(0x1062, 801, Words({6, 7, 8, 9, 10}))});
    const Json checked = DecodeOn(capture);
    const Json raw = DecodeOn(capture, {"--raw-packets"});
    EXPECT_EQ((std::pair{checked.size(), raw.size()}), (std::pair<size_t, size_t>{1, 2}));
    ExpectFields(checked, {{"/0/params/0/raw", 6}});
    ExpectFields(raw, {{"/0/params/0/raw", 1}, {"/1/params/0/raw", 6}});
}

// The program reads a pipe that stays open; once a row is out, a signal stops it: the row
// and the header are complete lines and the status is 128 + the signal.
TEST(CliSafety, ASignalEndsTheOutputOnACompleteRow) {
    for (int signal : {SIGINT, SIGTERM}) {
        int in[2], out[2];
        ASSERT_EQ(pipe(in) + pipe(out), 0);
        const pid_t child =
            Spawn({"--format", "csv", "--params", "unlabelled_1062_1", "-"}, in[0], out[1], 2);
        close(in[0]);
        close(out[1]);
        ASSERT_EQ(write(in[1], kCapture.data(), kCapture.size()), ssize_t(kCapture.size()));
        std::string text;
        char buffer[256];
        auto readSome = [&] {
            const ssize_t count = read(out[0], buffer, sizeof buffer);
            text.append(buffer, static_cast<size_t>(std::max<ssize_t>(count, 0)));
            return count > 0;
        };
        pollfd wait{out[0], POLLIN, 0};
        while (text.find("\n0,") == std::string::npos || text.back() != '\n') {
            ASSERT_EQ(poll(&wait, 1, 10000), 1) << "no row within 10 s: " << text;
            ASSERT_TRUE(readSome());
        }
        usleep(100000);  // time to block in read() again: the signal interrupts the read
        kill(child, signal);
        int raw = 0;
        waitpid(child, &raw, 0);
        while (readSome()) continue;
        for (int fd : {in[1], out[0]}) close(fd);
        ASSERT_TRUE(WIFEXITED(raw)) << signal;
        EXPECT_EQ(WEXITSTATUS(raw), 128 + signal);
        EXPECT_EQ(text,
                  "index,time,msg_code,msg_name,log_code,direction,unlabelled_1062_1\n"
                  "0,1980-01-06T00:00:01.000000Z,0xb1011062,,0x1062,2,1\n");
    }
}

// Compact packets naming IDs outside the tables make the library print one message per ID
// on standard output; the program's data stays valid JSON lines and the summary counts them.
TEST(CliSafety, LibraryMessagesGoToStandardErrorAndAreCounted) {
    Bytes capture = kCapture;
    for (uint64_t i = 1; i <= 3; ++i) {
        // clang-format off
        capture = Concat({capture, EscapeAndTerminate(CompactPacket({800 + i, 315964801, int32_t(1250 * i), 2,
            0xB1011062, {{0x7F01001B, 7}, {0x7F018328, 9}, {0x7F0107FD, 8}}, 0}))});
        // clang-format on
    }
    TempFile file(capture);
    CliRun jsonl = RunProgram({file.Path()});
    ASSERT_EQ(jsonl.status, 0) << jsonl.err;
    std::vector<Json> items;
    ASSERT_NO_THROW(items = JsonLines(jsonl.out)) << jsonl.out;
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[3]["params"][0]["value"], 9);  // the known ID is decoded
    EXPECT_EQ(Lines(jsonl.err).size(), 6u) << jsonl.err;
    CliRun summary = RunProgram({"--format", "summary", file.Path()});
    EXPECT_NE(summary.out.find("library messages       6 "), std::string::npos) << summary.out;
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

TEST(CliViews, GoldenItemsAndFilters) {
    const Bytes capture = Concat({kCapture, kPilotSets, kPosition, LogFrame(0x107D, 1601, {})});
    std::vector<Json> items = DecodeOn(capture);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[1], Json::parse(R"({"index": 1, "time": "1980-01-06T00:00:01.000000Z",
        "time_utc": "1980-01-06T00:00:01.000000Z", "time_raw": [315964801, 0], "direction": 2,
        "msg_code": "0xb1013040", "msg_name": null, "log_code": null, "command": "0x40", "direction_label": null,
        "params": [], "struct_params": [{"id": "0x7f0107d4", "name": "pilot_sets", "length": 261,
          "state": "fresh", "fields": {"header_word": 258,
            "active": [{"pn": 168, "strength": 12, "ecio_db": -6.0},
                       {"pn": 252, "strength": 20, "ecio_db": -10.0}],
            "candidate": [{"pn": 336, "strength": 30, "ecio_db": -15.0}],
            "neighbour": [{"pn": 420, "strength": 63, "ecio_db": -31.5}]}}]})"));
    EXPECT_EQ(items[2]["time"], "1980-01-06T00:00:02.000000Z");
    EXPECT_EQ(items[2]["struct_params"], Json::parse(R"([{"id": "0x7f0107fc", "length": 24,
        "name": "position_fix", "state": "fresh", "fields": {"latitude_deg": 37.45678,
          "longitude_deg": -122.12345, "field_3a": 123, "field_3b": 45}}])"));
    // The CSV views of the same payloads.
    CliRun csv =
        RunOn(capture, {"--format", "csv", "--params",
                        "active_set_size,active_best_pn,active_best_ecio,latitude,longitude"});
    EXPECT_EQ(Lines(csv.out)[3],
              "2,1980-01-06T00:00:02.000000Z,0xb1011014,,0x1014,2,2,168,-6.0,37.45678,-122.12345");

    // clang-format off
    const std::vector<std::tuple<std::vector<std::string>, std::vector<int64_t>, size_t>> cases = {
        // arguments, the items shown, the parameters of the first one shown
        {{}, {0, 1, 2, 3}, 5}, {{"--log-code", "0x1014,107D"}, {2, 3}, 0}, {{"--decoded-only"}, {0, 1, 2}, 5},
        {{"--params", "unlabelled_1062_2,0x7f018328"}, {0, 1, 2, 3}, 2},
        {{"--decoded-only", "--params", "latitude"}, {2}, 0}};  // and the position fix
    // clang-format on
    for (const auto& [args, expected, params] : cases) {
        items = DecodeOn(capture, args);
        std::vector<int64_t> indexes;
        for (const Json& item : items) indexes.push_back(item["index"]);
        EXPECT_EQ(indexes, expected) << args.size();
        ASSERT_FALSE(items.empty());
        EXPECT_EQ(items[0]["params"].size(), params) << args.size();
    }
    // A CSV view named shows its structured parameter in JSONL.
    ExpectFields(
        DecodeOn(capture, {"--params", "latitude"}),
        {{"/2/struct_params/0/name", "position_fix"}, {"/1/struct_params", Json::array()}});
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
    const std::string params = "rx_power,tx_power,best_pilot_pn,sid,cdma_channel,data_fwd_rate";
    CliRun wide = RunTool({"--format", "csv", "--params", params, kSample});
    CliRun tidy = RunTool({"--format", "csv", "--csv-layout", "long", "--params", params, kSample});
    ASSERT_EQ(wide.status, 0) << wide.err;
    std::vector<std::string> wideRows = Lines(wide.out);
    std::vector<std::string> longRows = Lines(tidy.out);
    ASSERT_GT(longRows.size(), 100u);
    EXPECT_EQ(longRows[0], "index,time,log_code,parameter,value,unit");
    const std::vector<std::string> columns = Split(params);
    std::map<std::string, std::string> state;
    size_t next = 1, matched = 0;
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
            if (cells[6 + c].empty()) continue;
            EXPECT_EQ(state[columns[c]], cells[6 + c]) << wideRows[row];
            ++matched;
        }
    }
    EXPECT_EQ(next, longRows.size());
    EXPECT_GT(matched, 1000u);
}

// A command before the first log is dropped; the library ignores log codes 0x1177 and 0x1065
// (listed in code order); a 0x106E log with no count moved and outcome 0 is a failed EV-DO
// connection attempt. The bundled sample has the identities, two call attempts and ten
// damaged frames its README lists, and 480 of its 960 0x119A frames sampled away.
TEST(CliViews, SummaryFigures) {
    TempFile capture(
        Concat({Frame(Bytes{0x40, 0, 0, 0, 0, 0}), kCapture, LogFrame(0x1177, 801, {}),
                LogFrame(0x1065, 802, Words({1})), LogFrame(0x106E, 803, Bytes(8, 0)), kPosition}));
    const std::vector<std::pair<std::string, std::vector<const char*>>> cases = {
        {capture.Path(),
         {"  ignored or unsupported code  2 in 2 log codes\n", "  command before the first log 1\n",
          "  ignored log codes            0x1065:1 0x1177:1\n",
          "  EV-DO connection failures             1\n"}},
        {kSample,
         {"  SID               13824\n", "  1x channels       283 384\n",
          "  1x call attempts                      2\n", "  bad CRC                      10\n",
          "  throttled (sampled)          480\n", "  0x1007  49\n  0x1008  14\n",
          "  0x1070  104\n  0x1192  46\n"}}};
    for (const auto& [file, lines] : cases) {
        CliRun run = RunTool({"--format", "summary", file});
        ASSERT_EQ(run.status, 0) << run.err;
        for (const char* line : lines) {
            EXPECT_NE(run.out.find(line), std::string::npos) << line << "\nin\n" << run.out;
        }
    }
}

// Each DTLog line follows the index and time of the item it describes: a paging log (0x1007,
// tick 800) is a CL3 line, received "0", paging channel "1", its record from the length word
// (1000 0710, stamp 0x320 << 16, payload), though the text comes with item 1, a 0x1000 item
// that the filter may drop; the last item's text comes all the same.
TEST(DtLogOutput, LinesBelongToTheItemTheyDescribe) {
    const Bytes capture = Concat({LogFrame(0x1007, 800, {0x04, 0x06, 0x7E, 0x7D}),
                                  LogFrame(0x1000, 801, {}), LogFrame(0x1000, 802, {})});
    const std::string line =
        "0\t1980-01-06T00:00:01.000000Z\tCL3\t0\t1\t10000710000020030000000004067e7d\n";
    for (const auto& [codes, output] : std::vector<std::pair<const char*, std::string>>{
             {"1007,1000", line}, {"1007", line}, {"1000", ""}}) {
        CliRun run = RunOn(capture, {"--format", "dtlog", "--log-code", codes});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, output) << codes;
    }
    // The last packet's text too, though no item follows it, in every feeding mode.
    for (const char* mode : {"--chunk-size=65536", "--whole-frames", "--chunk-size=3"}) {
        CliRun run =
            RunOn(LogFrame(0x1007, 800, {0x04, 0x06, 0x7E, 0x7D}), {"--format", "dtlog", mode});
        EXPECT_EQ(run.out, line) << mode;
    }
}

// A folder of its own for files a test names (links, FIFOs, outputs), removed afterwards.
class TempDir {
  public:
    TempDir() {
        std::string pattern = std::filesystem::temp_directory_path() / "tessavo_cli_XXXXXX";
        path_ = mkdtemp(pattern.data());
        path_ = std::filesystem::canonical(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// An output through a link: to standard output (/proc/self/fd/1, /dev/stdout, "-") it goes
// there; to a FIFO it is written into the FIFO; to a regular 0600 file it replaces that file,
// which keeps its mode, and the link stays a link.
TEST(CliSafety, OutputsThroughLinksGoWhereTheLinksLead) {
    TempFile capture(kCapture);
    const CliRun reference = RunProgram({capture.Path()});
    ASSERT_EQ(reference.status, 0) << reference.err;
    TempDir dir;
    std::filesystem::create_symlink("/proc/self/fd/1", dir / "so");
    for (const std::string& path : {std::string("-"), dir / "so", std::string("/dev/stdout")}) {
        if (path != "-" && !std::filesystem::exists("/proc/self/fd/1")) continue;
        CliRun run = RunProgram({"-o", path, capture.Path()});
        EXPECT_EQ(run.status, 0) << path << run.err;
        EXPECT_EQ(run.out, reference.out) << path;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "so"));

    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir / "fifo", dir / "to_fifo");
    std::string fromFifo;
    std::thread reader([&] { fromFifo = ReadAll(dir / "fifo"); });
    EXPECT_EQ(RunProgram({"-o", dir / "to_fifo", capture.Path()}).status, 0);
    reader.join();
    EXPECT_EQ(fromFifo, reference.out);
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "fifo"));

    { std::ofstream(dir / "private.jsonl") << "old\n"; }
    std::filesystem::permissions(dir / "private.jsonl", std::filesystem::perms::owner_read |
                                                            std::filesystem::perms::owner_write);
    std::filesystem::create_symlink("private.jsonl", dir / "link");
    EXPECT_EQ(RunProgram({"-o", dir / "link", capture.Path()}).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link"));
    EXPECT_EQ(ReadAll(dir / "private.jsonl"), reference.out);
    EXPECT_EQ(std::filesystem::status(dir / "private.jsonl").permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// Stopped by a signal, a run over an existing output leaves that file as it was and its rows
// in NAME.partial; over a new output it puts the rows in place. One line on standard error
// says where they are and how many items they hold.
TEST(CliSafety, AStoppedRunNeverReplacesAnExistingOutput) {
    for (bool exists : {true, false}) {
        TempDir dir;
        const std::string target = dir / "rows.csv";
        if (exists) std::ofstream(target) << "old\n";
        int in[2], err[2];
        ASSERT_EQ(pipe(in) + pipe(err), 0);
        const int null = open("/dev/null", O_WRONLY);
        const pid_t child =
            Spawn({"-q", "--format", "csv", "--params", "unlabelled_1062_1", "-o", target, "-"},
                  in[0], null, err[1]);
        for (int fd : {in[0], err[1], null}) close(fd);
        ASSERT_EQ(write(in[1], kCapture.data(), kCapture.size()), ssize_t(kCapture.size()));
        // The run flushes its output after each piece of input: wait for the temporary file
        // to hold the row.
        bool written = false;
        for (int i = 0; i < 1000 && !written; ++i) {
            usleep(10000);
            for (const auto& entry : std::filesystem::directory_iterator(dir / "")) {
                const std::string name = entry.path().filename();
                written = written || (name.rfind(".rows.csv.", 0) == 0 && entry.file_size() > 60);
            }
        }
        ASSERT_TRUE(written);
        kill(child, SIGINT);
        int raw = 0;
        waitpid(child, &raw, 0);
        close(in[1]);
        std::string messages;
        char buffer[512];
        for (ssize_t count; (count = read(err[0], buffer, sizeof buffer)) > 0;) {
            messages.append(buffer, size_t(count));
        }
        close(err[0]);
        ASSERT_TRUE(WIFEXITED(raw));
        EXPECT_EQ(WEXITSTATUS(raw), 128 + SIGINT);
        const std::string rows =
            "index,time,msg_code,msg_name,log_code,direction,unlabelled_1062_1\n"
            "0,1980-01-06T00:00:01.000000Z,0xb1011062,,0x1062,2,1\n";
        if (exists) {
            EXPECT_EQ(ReadAll(target), "old\n");
            EXPECT_EQ(ReadAll(target + ".partial"), rows);
            EXPECT_EQ(messages, "tessavo-decode: stopped by signal 2: '" + target +
                                    ".partial' holds 1 item; '" + target + "' is kept as it was\n");
        } else {
            EXPECT_EQ(ReadAll(target), rows);
            EXPECT_EQ(messages,
                      "tessavo-decode: stopped by signal 2: '" + target + "' holds 1 item\n");
        }
    }
}

}  // namespace
}  // namespace tessavo::cli::test
