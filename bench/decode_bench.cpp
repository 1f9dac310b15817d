// One table from one run: the documented host loop on the CDMA capture and on the bundled
// sample, with items filled as the host reads them and with the whole-item copy at each append
// that this replaces, next to the cost of that copy alone (every item into a ring of 300), the
// floor no decoder goes below (an unescape and CRC pass) and to tessavo-decode's formats on the capture, in this process and as whole processes
// beside the host loop as a program. CPU time per frame is the figure to read
// ("cpu_per_frame"), and for tessavo-decode its ratio to a host's ("x_host_run", "x_host_loop");
// nothing here asserts a time.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "api/decoder_object.h"
#include "bench_host_loop.h"
#include "child_process.h"
#include "framing/crc16.h"
#include "framing/hdlc.h"
#include "params/report_item.h"
#include "tessavo/tessavo.h"

#ifdef TESSAVO_BENCH_CLI
#include "cli_app.h"
#endif

namespace {

namespace fs = std::filesystem;
using tessavo::bench::ChildRun;
using tessavo::bench::CpuSeconds;
using tessavo::bench::Median;
using tessavo::bench::RunChild;
using tessavo::bench::HostLoop;
using Bytes = std::vector<uint8_t>;

const fs::path kCapture = fs::path(TESSAVO_CAPTURES_DIR) / "sprint_2015.mi2log";
const fs::path kSample = fs::path(TESSAVO_SOURCE_DIR) / "samples" / "drive_test.bin";

struct Input {
    Bytes bytes;
    int64_t frames = 0;  // 0x7E-terminated frames
};

const Input& Load(const fs::path& path) {
    static std::vector<std::pair<fs::path, std::unique_ptr<Input>>> cache;
    for (const auto& [p, in] : cache) {
        if (p == path) return *in;
    }
    auto in = std::make_unique<Input>();
    std::ifstream f(path, std::ios::binary);
    in->bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    for (uint8_t b : in->bytes) in->frames += b == tessavo::kFrameFlag ? 1 : 0;
    cache.emplace_back(path, std::move(in));
    return *cache.back().second;
}

void Report(benchmark::State& state, const Input& in, int64_t items) {
    const auto runs = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(in.bytes.size()) * state.iterations());
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(in.frames) * runs, benchmark::Counter::kIsRate);
    // CPU seconds per frame, printed with its SI prefix ("1.02u" is 1.02 us).
    state.counters["cpu_per_frame"] =
        benchmark::Counter(static_cast<double>(in.frames) * runs,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["items"] = static_cast<double>(items);
}

// Minor page faults of the process so far: first touches of fresh memory.
int64_t PageFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Before each timed run of a decoder (outside the timing): the allocator gives its free memory
// back to the system, so that every run touches its memory afresh, as a new process does.
// Otherwise a row would pay those faults or not depending on what earlier rows left behind.
void FreshMemory(benchmark::State& state) {
    state.PauseTiming();
    malloc_trim(0);
    state.ResumeTiming();
}

void ReportFaults(benchmark::State& state, int64_t before) {
    state.counters["faults"] = static_cast<double>(PageFaults() - before) /
                               static_cast<double>(std::max<int64_t>(1, state.iterations()));
}

// `withCreation`: the whole run of a host, creating and freeing its decoder object too (the
// reference for tessavo-decode, which does the same on every run).
void BM_HostLoop(benchmark::State& state, const fs::path* path, bool wholeCopy,
                 bool withCreation = false) {
    const Input& in = Load(*path);
    if (in.bytes.empty()) return state.SkipWithError(("absent: " + path->string()).c_str());
    int64_t items = 0;
    const int64_t faults = PageFaults();
    for (auto _ : state) {
        FreshMemory(state);
        if (!withCreation) state.PauseTiming();
        void* h = CreateDecoderObjectProc(TESSAVO_MODULE_B101);
        static_cast<tessavo::DecoderObject*>(h)->ctx.plainWrites = wholeCopy;
        if (!withCreation) state.ResumeTiming();
        items = HostLoop(h, in.bytes);
        if (!withCreation) state.PauseTiming();
        FreeDecoderObjectProc(&h);
        if (!withCreation) state.ResumeTiming();
    }
    ReportFaults(state, faults);
    Report(state, in, items);
}
BENCHMARK_CAPTURE(BM_HostLoop, capture, &kCapture, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostLoop, capture_whole_copy, &kCapture, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostLoop, capture_with_creation, &kCapture, false, true)
    ->Unit(benchmark::kMillisecond);

// The steady state of a long-lived host: one object decoding the file again and again, its ring
// already touched by the earlier runs.
void BM_HostLoopSteady(benchmark::State& state, const fs::path* path) {
    const Input& in = Load(*path);
    if (in.bytes.empty()) return state.SkipWithError(("absent: " + path->string()).c_str());
    void* h = CreateDecoderObjectProc(TESSAVO_MODULE_B101);
    int64_t items = HostLoop(h, in.bytes);
    const int64_t faults = PageFaults();
    for (auto _ : state) items = HostLoop(h, in.bytes);
    FreeDecoderObjectProc(&h);
    ReportFaults(state, faults);
    Report(state, in, items);
}
BENCHMARK_CAPTURE(BM_HostLoopSteady, capture, &kCapture)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostLoopSteady, sample, &kSample)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostLoop, sample, &kSample, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostLoop, sample_whole_copy, &kSample, true)->Unit(benchmark::kMillisecond);

// What a whole-item copy at each append costs alone: the capture's items (46,581) copied into
// a ring of 300.
void BM_RingCopyFloor(benchmark::State& state) {
    const Input& in = Load(kCapture);
    if (in.bytes.empty()) return state.SkipWithError("capture absent");
    constexpr int64_t kItems = 46581;
    auto source = std::make_unique<tessavo::ReportItem>();
    tessavo::ConstructReportItem(*source);
    std::vector<std::unique_ptr<tessavo::ReportItem>> ring;
    for (int i = 0; i < 300; ++i) ring.push_back(std::make_unique<tessavo::ReportItem>());
    for (auto _ : state) {
        for (int64_t i = 0; i < kItems; ++i) {
            std::memcpy(ring[static_cast<size_t>(i % 300)].get(), source.get(),
                        sizeof(tessavo::ReportItem));
            benchmark::ClobberMemory();
        }
    }
    Report(state, in, kItems);
}
BENCHMARK(BM_RingCopyFloor)->Unit(benchmark::kMillisecond);

// Floor of framing: every frame of the capture unescaped and its CRC checked.
void BM_UnescapeCrcFloor(benchmark::State& state) {
    const Input& in = Load(kCapture);
    if (in.bytes.empty()) return state.SkipWithError("capture absent");
    std::vector<uint8_t> packet(tessavo::kUnescapeCapacity);
    int64_t good = 0;
    for (auto _ : state) {
        size_t start = 0;
        for (size_t i = 0; i < in.bytes.size(); ++i) {
            if (in.bytes[i] != tessavo::kFrameFlag) continue;
            int32_t n = 0;
            tessavo::Unescape(in.bytes.data() + start, i + 1 - start, packet.data(), n);
            if (n >= 1) good += tessavo::VerifyCrc16(packet.data(), static_cast<size_t>(n - 1));
            start = i + 1;
        }
    }
    benchmark::DoNotOptimize(good);
    Report(state, in, 0);
}
BENCHMARK(BM_UnescapeCrcFloor)->Unit(benchmark::kMillisecond);

#ifdef TESSAVO_BENCH_CLI
// Output thrown away as it is formatted.
class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Each run is paired with a host's whole run (create, loop, free) right after it, outside the
// timing; "x_host_run" is the median of the pairs' ratios, so that a drift of the machine's
// speed between rows does not move it.
void BM_DecodeTool(benchmark::State& state, const char* format) {
    const Input& in = Load(kCapture);
    if (in.bytes.empty()) return state.SkipWithError("capture absent");
    NullBuffer nothing;
    std::ostream out(&nothing);
    std::ostream err(&nothing);
    std::istringstream none;
    int64_t faults = 0;
    std::vector<double> ratios;
    for (auto _ : state) {
        FreshMemory(state);
        const int64_t faultsBefore = PageFaults();
        const double started = CpuSeconds();
        tessavo::cli::CliStreams io{none, out, err};
        const int status = tessavo::cli::RunCli({"-q", "--format", format, kCapture.string()}, io);
        const double tool = CpuSeconds() - started;
        faults += PageFaults() - faultsBefore;
        if (status != 0) return state.SkipWithError("tessavo-decode failed");
        state.PauseTiming();
        malloc_trim(0);
        const double hostStarted = CpuSeconds();
        void* h = CreateDecoderObjectProc(TESSAVO_MODULE_B101);
        HostLoop(h, in.bytes);
        FreeDecoderObjectProc(&h);
        ratios.push_back(tool / (CpuSeconds() - hostStarted));
        state.ResumeTiming();
    }
    state.counters["faults"] =
        static_cast<double>(faults) / static_cast<double>(state.iterations());
    std::sort(ratios.begin(), ratios.end());
    state.counters["x_host_run"] = ratios[ratios.size() / 2];
    Report(state, in, 0);
}
BENCHMARK_CAPTURE(BM_DecodeTool, summary, "summary")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeTool, jsonl, "jsonl")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeTool, csv, "csv")->Unit(benchmark::kMillisecond);
#endif

// Peak resident size of a program that does nothing, the floor of every process row.
double EmptyProgramPeakMb() {
    static const double mb = [] {
        std::vector<double> peaks;
        for (int i = 0; i < 5; ++i) peaks.push_back(RunChild({TESSAVO_EMPTY_PROGRAM}).peakMb);
        return Median(peaks);
    }();
    return mb;
}

// A whole process per run, as a user runs it: the row's time (and the rates) are the child's CPU
// time, user and system, from the system's accounting (wait4): start-up, page faults and reading
// the file included; "faults" and "peak_mb" are its minor page faults and peak resident size,
// "over_empty_mb" that size less an empty C program's. Output goes to /dev/null. Each run is
// paired with a reference run right after it and the ratio is the median of the pairs' ratios,
// so that a drift of the machine's speed or a run disturbed by another process does not move
// it: tessavo-decode against the host-loop program ("x_host_loop"), the host-loop program
// against the same loop's steady state in this process, on an object that already decoded the
// file once ("x_steady").
void BM_Process(benchmark::State& state, std::vector<std::string> argv, const fs::path* path) {
    const Input& in = Load(*path);
    if (in.bytes.empty()) return state.SkipWithError("capture absent");
    argv.push_back(path->string());
    const std::vector<std::string> hostArgv = {TESSAVO_HOST_LOOP_PROGRAM, path->string()};
    const bool isHostLoop = argv[0] == hostArgv[0];
    void* warm = nullptr;
    if (isHostLoop) {  // the steady state: an object whose ring has been through the file once
        warm = CreateDecoderObjectProc(TESSAVO_MODULE_B101);
        HostLoop(warm, in.bytes);
    }
    std::vector<double> ratios, faults, peaks;
    for (auto _ : state) {
        const ChildRun run = RunChild(argv);
        double reference = 0;
        if (isHostLoop) {
            const double start = CpuSeconds();
            HostLoop(warm, in.bytes);
            reference = CpuSeconds() - start;
        } else {
            reference = RunChild(hostArgv).seconds;
        }
        if (run.seconds <= 0 || reference <= 0) {
            FreeDecoderObjectProc(&warm);
            return state.SkipWithError(("failed: " + argv[0]).c_str());
        }
        state.SetIterationTime(run.seconds);
        ratios.push_back(run.seconds / reference);
        faults.push_back(run.faults);
        peaks.push_back(run.peakMb);
    }
    FreeDecoderObjectProc(&warm);
    Report(state, in, 0);
    state.counters[isHostLoop ? "x_steady" : "x_host_loop"] = Median(ratios);
    state.counters["faults"] = Median(faults);
    state.counters["peak_mb"] = Median(peaks);
    state.counters["over_empty_mb"] = Median(peaks) - EmptyProgramPeakMb();
}

// What the rows depend on besides the code: printed with the table.
std::string FileText(const char* path) {
    std::ifstream f(path);
    std::string line;
    std::getline(f, line);
    return line.empty() ? "unknown" : line;
}
const bool kMachineContext = [] {
    benchmark::AddCustomContext("transparent_hugepage",
                                FileText("/sys/kernel/mm/transparent_hugepage/enabled"));
    benchmark::AddCustomContext("loadavg", FileText("/proc/loadavg"));
    benchmark::AddCustomContext("online_cores", std::to_string(sysconf(_SC_NPROCESSORS_ONLN)));
    const char* arenas = getenv("MALLOC_ARENA_MAX");
    benchmark::AddCustomContext("MALLOC_ARENA_MAX", arenas != nullptr ? arenas : "unset");
    return true;
}();

BENCHMARK_CAPTURE(BM_Process, host_loop, {TESSAVO_HOST_LOOP_PROGRAM}, &kCapture)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Process, host_loop_sample, {TESSAVO_HOST_LOOP_PROGRAM}, &kSample)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
#ifdef TESSAVO_DECODE_PROGRAM
BENCHMARK_CAPTURE(BM_Process, decode_summary, {TESSAVO_DECODE_PROGRAM, "-q", "--format", "summary"},
                  &kCapture)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Process, decode_jsonl, {TESSAVO_DECODE_PROGRAM, "-q", "--format", "jsonl"},
                  &kCapture)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Process, decode_csv, {TESSAVO_DECODE_PROGRAM, "-q", "--format", "csv"},
                  &kCapture)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
#endif

}  // namespace
