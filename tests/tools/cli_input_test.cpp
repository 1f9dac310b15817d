// Inputs in the forms users have: compressed (gzip, zstd, xz), DLF records, raw HDLC with a
// header before the first frame; each gives the items of the raw stream. A compressed input
// cut short gives the items of what it held before the cut, and says so.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "capture_forms.h"
#include "cli_harness.h"

namespace tessavo::cli::test {
namespace {

const std::string kSprint =
    std::string(TESSAVO_SOURCE_DIR) + "/../shared/captures/sprint_2015.mi2log";

// Three log packets, one with bytes to escape, and a command reply between them.
const Bytes kCapture =
    Concat({LogFrame(0x1062, 800, Words({1, 2, 3, 4, 5})), Frame(Bytes{0xDD, 0x01, 0x02}),
            LogFrame(0x1062, 801, Words({0x7E, 0x7D, 0x7E7D, 4, 5})),
            LogFrame(0x1007, 802, {0x04, 0x06, 0x7E, 0x7D})});

// What zlib inflates of a gzip stream, up to where it ends or stops making sense.
Bytes GunzipPrefix(const Bytes& gzip) {
    z_stream stream{};
    inflateInit2(&stream, 15 + 16);
    Bytes out(1 << 24);
    stream.next_in = const_cast<Bytef*>(gzip.data());
    stream.avail_in = static_cast<uInt>(gzip.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    inflate(&stream, Z_SYNC_FLUSH);
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return out;
}

TEST(CliInput, EveryFormGivesTheItemsOfTheRawStream) {
    const Bytes logs = Concat({LogFrame(0x1062, 800, Words({1, 2, 3, 4, 5})),
                               LogFrame(0x1062, 801, Words({0x7E, 0x7D, 0x7E7D, 4, 5})),
                               LogFrame(0x1007, 802, {0x04, 0x06, 0x7E, 0x7D})});
    const CliRun reference = RunOn(kCapture);
    ASSERT_EQ(JsonLines(reference.out).size(), 4u);
    const CliRun logsOnly = RunOn(logs);  // DLF holds log records only
    // clang-format off
    const std::vector<std::tuple<const char*, Bytes, std::vector<std::string>, const CliRun*>> cases = {
        {"gzip", Gzip(kCapture), {}, &reference}, {"zstd", Zstd(kCapture), {}, &reference},
        {"xz", Xz(kCapture), {}, &reference}, {"two gzip members", Concat({Gzip(kCapture), Gzip({})}), {}, &reference},
        {"header", Concat({Text("CAPTURE HEADER\n"), Bytes{0x7E}, kCapture}), {}, &reference},
        {"dlf", DlfOf(kCapture), {}, &logsOnly}, {"dlf forced", DlfOf(kCapture), {"--input-format", "dlf"}, &logsOnly},
        {"gzip dlf", Gzip(DlfOf(kCapture)), {}, &logsOnly}, {"hdlc forced", kCapture, {"--input-format", "hdlc"}, &reference}};
    // clang-format on
    for (const auto& [name, bytes, args, expected] : cases) {
        CliRun run = RunOn(bytes, args);
        EXPECT_EQ(run.status, 0) << name << ": " << run.err;
        EXPECT_EQ(run.out, expected->out) << name;
    }
    // Standard input is read the same way, and the summary says what was read.
    EXPECT_EQ(RunTool({"-"}, Text(Xz(kCapture))).out, reference.out);
    CliRun summary = RunOn(Gzip(DlfOf(kCapture)), {"--format", "summary"});
    EXPECT_NE(summary.out.find(": gzip-compressed DLF, 3 records\n"), std::string::npos)
        << summary.out;
}

// The sprint capture, converted by the helpers, gives the same CSV in every form (its
// command replies all come before the first log packet, so DLF loses no item).
TEST(CliInput, SprintCaptureInEveryForm) {
    if (!std::filesystem::exists(kSprint)) GTEST_SKIP() << "no " << kSprint;
    const CliRun reference = RunTool({"--format", "csv", kSprint});
    ASSERT_EQ(reference.status, 0) << reference.err;
    std::ifstream in(kSprint, std::ios::binary);
    const Bytes capture((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const auto& [name, convert] : std::vector<std::pair<const char*, std::function<Bytes()>>>{
             {"dlf", [&] { return DlfOf(capture); }},
             {"gzip", [&] { return Gzip(capture); }},
             {"zstd", [&] { return Zstd(capture); }},
             {"xz of dlf", [&] { return Xz(DlfOf(capture)); }}}) {
        TempFile file(convert());
        CliRun run = RunTool({"--format", "csv", file.Path()});
        EXPECT_EQ(run.status, 0) << name << ": " << run.err;
        EXPECT_TRUE(run.out == reference.out) << name;
    }
}

// A gzip file cut short: the items of everything zlib could inflate before the cut (the
// same as those of that prefix as a raw stream), an error naming the cut, status 1.
TEST(CliInput, TruncatedGzipKeepsTheItemsBeforeTheCut) {
    Bytes capture;
    for (uint32_t i = 0; i < 400; ++i) {
        capture = Concat({capture, LogFrame(0x1062, 800 + i, Words({i, i * 7, 3, i, 5}))});
    }
    const Bytes gzip = Gzip(capture);
    const Bytes cut(gzip.begin(), gzip.begin() + long(gzip.size() * 2 / 3));
    const CliRun prefix = RunOn(GunzipPrefix(cut));
    const CliRun run = RunOn(cut);
    EXPECT_EQ(run.status, 1);
    EXPECT_GT(JsonLines(run.out).size(), 100u);
    EXPECT_EQ(run.out, prefix.out);
    EXPECT_NE(run.err.find("gzip: the stream ends early (cut short?); the items before that are "
                           "written\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("an input was cut short: standard output holds "), std::string::npos);
}

}  // namespace
}  // namespace tessavo::cli::test
