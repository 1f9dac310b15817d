// Work bounded by the bytes present: for every routed log code, the stream of one repeated
// packet shape that costs the most CPU per byte among the cost inputs (short payloads, payloads
// of 0xFF, zero-filled ones, in either carrier mode), decoded as a host does. "us_per_KB" is
// the CPU time per KB of that stream and "x_capture" its ratio to the CDMA capture's per KB
// (the bound is 100); the label names the input. With TESSAVO_WORST_INPUT_DIR set, each row
// also writes its input there as a fuzz input.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "api/decoder_object.h"
#include "api/decoder_reset.h"
#include "bench_host_loop.h"
#include "support/cost_inputs.h"

namespace {

namespace fs = std::filesystem;
using tessavo::bench::CpuSeconds;
using tessavo::bench::HostLoop;
using tessavo::test::Bytes;
using tessavo::test::CostInput;

constexpr size_t kSearchBytes = 4096;
constexpr size_t kRowBytes = 65536;
constexpr size_t kFuzzInputBytes = 4096;  // the same packets, fewer of them

// One object for every decode here, returned to its fresh state before each.
void* Object() {
    static void* h = CreateDecoderObjectProc(TESSAVO_MODULE_B101);
    tessavo::ResetDecoderObject(*static_cast<tessavo::DecoderObject*>(h));
    return h;
}

double SecondsToDecode(const Bytes& stream) {
    void* h = Object();
    const double started = CpuSeconds();
    HostLoop(h, stream);
    return CpuSeconds() - started;
}

double MicrosecondsPerKb(double seconds, size_t bytes) {
    return seconds * 1e6 / (static_cast<double>(bytes) / 1024.0);
}

// The CDMA capture's CPU time per KB, the yardstick of every row (the best of three runs).
double CaptureMicrosecondsPerKb() {
    static const double perKb = [] {
        std::ifstream f(fs::path(TESSAVO_CAPTURES_DIR) / "sprint_2015.mi2log", std::ios::binary);
        const Bytes bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        if (bytes.empty()) return 0.0;
        double best = 1e9;
        for (int run = 0; run < 3; ++run) best = std::min(best, SecondsToDecode(bytes));
        return MicrosecondsPerKb(best, bytes.size());
    }();
    return perKb;
}

// The costliest candidate of a code, found on short streams, then built at full size.
CostInput WorstInput(uint16_t code) {
    const tessavo::test::Bytes* worst = nullptr;
    bool worstMode = false;
    double worstPerKb = -1;
    static const std::vector<Bytes> payloads = tessavo::test::CostPayloads();
    for (const Bytes& payload : payloads) {
        for (bool multiCarrier : {false, true}) {
            const CostInput in =
                tessavo::test::BuildCostInput(code, payload, multiCarrier, kSearchBytes);
            const double perKb = MicrosecondsPerKb(SecondsToDecode(in.stream), in.stream.size());
            if (perKb > worstPerKb) {
                worstPerKb = perKb;
                worst = &payload;
                worstMode = multiCarrier;
            }
        }
    }
    return tessavo::test::BuildCostInput(code, *worst, worstMode, kRowBytes);
}

void WriteFuzzInput(const CostInput& row) {
    const char* dir = std::getenv("TESSAVO_WORST_INPUT_DIR");
    if (dir == nullptr) return;
    const CostInput in =
        tessavo::test::BuildCostInput(row.logCode, row.payload, row.multiCarrier, kFuzzInputBytes);
    // Control bytes: no switches, module 0xB101 through DecodeMsgProc_NoDynamic, 2 KB pieces.
    Bytes bytes = {0x00, 0x04, 0xFF};
    bytes.insert(bytes.end(), in.stream.begin(), in.stream.end());
    std::ofstream out(fs::path(dir) / ("worst_" + in.Name()), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void BM_WorstInput(benchmark::State& state, uint16_t code) {
    const double capturePerKb = CaptureMicrosecondsPerKb();
    const CostInput in = WorstInput(code);
    WriteFuzzInput(in);
    double seconds = 0;
    for (auto _ : state) seconds += SecondsToDecode(in.stream);
    const double perKb =
        MicrosecondsPerKb(seconds / static_cast<double>(state.iterations()), in.stream.size());
    state.counters["us_per_KB"] = perKb;
    if (capturePerKb > 0) state.counters["x_capture"] = perKb / capturePerKb;
    state.SetLabel(in.Name());
}

// One row per decoded code of the route table.
const bool kRegistered = [] {
    for (uint16_t code : tessavo::test::DecodedLogCodes()) {
        char name[32];
        std::snprintf(name, sizeof name, "BM_WorstInput/0x%04X", code);
        benchmark::RegisterBenchmark(name, BM_WorstInput, code)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    }
    return true;
}();

}  // namespace
