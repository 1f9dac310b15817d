// The drive analysis (events and KPIs, tools/common/drive_kpis.h) on the CDMA capture and on
// it repeated 100 times (written once under the build folder), beside tessavo-decode's
// summary, which runs the same analysis on top of its own counts.
//
// "analysis" rows run the engine in this process as tessavo.analysis does (a decoder session
// feeding DriveAnalysis, the file read in 1 MB pieces); their time is CPU time. Each run is
// paired, outside the timing, with a decode-only run (the same session, items dropped) and a
// whole `tessavo-decode --format summary` process: "added_x_summary" is the median over the
// pairs of (analysis - decode only) / summary, the share the analysis adds to the summary's
// time (goal: at most 0.5), "x_summary" of analysis / summary.
//
// "analysis_process" rows are whole `tessavo-decode --format events` processes (decoding,
// event rules and KPIs), timed by the system's accounting of the child (CPU, user and system)
// beside a summary process after each: "x_summary" is the median ratio, "peak_mb" and
// "summary_peak_mb" the medians of their peak resident sizes (goal: the same at x1 and x100).
// Nothing here asserts a time; the machine may be shared, so read rows run twice.
#include <benchmark/benchmark.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_host_loop.h"
#include "child_process.h"
#include "decoder_session.h"
#include "drive_kpis.h"

namespace {

namespace fs = std::filesystem;
using tessavo::bench::ChildRun;
using tessavo::bench::CpuSeconds;
using tessavo::bench::Median;
using tessavo::bench::RunChild;

const fs::path kSprint = fs::path(TESSAVO_CAPTURES_DIR) / "sprint_2015.mi2log";

// The capture `times` over, end to end, kept beside this program for the next run.
fs::path Input(int times) {
    if (times == 1) return kSprint;
    std::error_code error;
    const uintmax_t size = fs::file_size(kSprint, error);
    if (error) return {};
    const fs::path repeated =
        fs::path(TESSAVO_BENCH_WORK_DIR) / ("sprint_x" + std::to_string(times) + ".bin");
    if (fs::file_size(repeated, error) == size * static_cast<uintmax_t>(times) && !error) {
        return repeated;
    }
    std::ifstream in(kSprint, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::ofstream out(repeated, std::ios::binary | std::ios::trunc);
    for (int i = 0; i < times; ++i) out << bytes.str();
    return out ? repeated : fs::path();
}

// One `tessavo-decode -q --format FORMAT INPUT` with its output thrown away.
ChildRun Decode(const char* format, const fs::path& input) {
    return RunChild({TESSAVO_DECODE_PROGRAM, "-q", "--format", format, input.string()});
}

// CPU seconds of a decoder session over the file, each item to `consume`.
double Session(const fs::path& input, const tessavo::cli::DecoderSession::ItemCallback& consume) {
    const double start = CpuSeconds();
    std::ostringstream messages;
    tessavo::cli::DecoderSession session(tessavo::cli::CliOptions{}, tessavo::cli::ItemSelection{},
                                         consume, messages);
    if (!session.Open()) return -1;
    std::ifstream in(input, std::ios::binary);
    std::vector<char> piece(1 << 20);
    uint64_t offset = 0;
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
        const auto count = static_cast<size_t>(in.gcount());
        session.FeedStream({reinterpret_cast<const uint8_t*>(piece.data()), count}, "bench",
                           offset);
        offset += count;
    }
    session.Finish();
    return CpuSeconds() - start;
}

void BM_Analysis(benchmark::State& state, int times) {
    const fs::path input = Input(times);
    if (input.empty() || !fs::exists(input)) return state.SkipWithError("capture absent");
    std::vector<double> added, ratios;
    int64_t events = 0;
    for (auto _ : state) {
        tessavo::cli::DriveAnalysis analysis({},
                                             [&](const tessavo::cli::DriveEvent&) { ++events; });
        const double seconds =
            Session(input, [&](const tessavo::cli::ItemView& item) { analysis.Consume(item); });
        benchmark::DoNotOptimize(analysis.Finish());
        const double decodeOnly = Session(input, [](const tessavo::cli::ItemView&) {});
        const ChildRun summary = Decode("summary", input);
        if (seconds < 0 || decodeOnly < 0 || summary.seconds <= 0) {
            return state.SkipWithError("decoding failed");
        }
        state.SetIterationTime(seconds);
        added.push_back((seconds - decodeOnly) / summary.seconds);
        ratios.push_back(seconds / summary.seconds);
    }
    state.counters["events"] =
        static_cast<double>(events) / static_cast<double>(state.iterations());
    state.counters["added_x_summary"] = Median(added);
    state.counters["x_summary"] = Median(ratios);
    state.SetBytesProcessed(static_cast<int64_t>(fs::file_size(input)) * state.iterations());
}
BENCHMARK_CAPTURE(BM_Analysis, sprint, 1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Analysis, sprint_x100, 100)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

void BM_AnalysisProcess(benchmark::State& state, int times) {
    const fs::path input = Input(times);
    if (input.empty() || !fs::exists(input)) return state.SkipWithError("capture absent");
    std::vector<double> ratios, peaks, summaryPeaks;
    for (auto _ : state) {
        const ChildRun events = Decode("events", input);
        const ChildRun summary = Decode("summary", input);
        if (events.seconds <= 0 || summary.seconds <= 0) {
            return state.SkipWithError("tessavo-decode failed");
        }
        state.SetIterationTime(events.seconds);
        ratios.push_back(events.seconds / summary.seconds);
        peaks.push_back(events.peakMb);
        summaryPeaks.push_back(summary.peakMb);
    }
    state.counters["x_summary"] = Median(ratios);
    state.counters["peak_mb"] = Median(peaks);
    state.counters["summary_peak_mb"] = Median(summaryPeaks);
    state.SetBytesProcessed(static_cast<int64_t>(fs::file_size(input)) * state.iterations());
}
BENCHMARK_CAPTURE(BM_AnalysisProcess, sprint, 1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AnalysisProcess, sprint_x100, 100)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
