// Throughput of the decode path next to the cost of its unavoidable part, the copy of each
// 73,232-byte report item into the ring, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "framing/crc16.h"
#include "framing/hdlc.h"
#include "params/report_item.h"
#include "support/packet_builder.h"
#include "tessavo/tessavo.h"

using tessavo::test::Bytes;

namespace {

// A mixed stream: a five-word record, an undecoded code, a pilot-set log and a packed log,
// time stamps 5 ms apart so that sampled codes pass at their own rate.
Bytes MixedStream(int rounds) {
    Bytes out;
    uint64_t ticks = 800;
    for (int i = 0; i < rounds; ++i) {
        Bytes words;
        for (uint32_t w = 0; w < 5; ++w) tessavo::test::PutU32(words, w * 1000 + i);
        const Bytes frames[] = {
            tessavo::test::Frame(tessavo::test::LogPacket(0x1062, words, ticks)),
            tessavo::test::Frame(tessavo::test::LogPacket(0x1000, Bytes(40, 0x5A), ticks + 1)),
            tessavo::test::Frame(tessavo::test::LogPacket(0x107E, Bytes(12, 0x01), ticks + 2)),
            tessavo::test::Frame(tessavo::test::LogPacket(
                0x1036, {0x00, 0xAA, 0xBB, 0x11, 0x03, 1, 0x11, 0x05, 2, 0x22, 0x33}, ticks + 3)),
        };
        for (const Bytes& f : frames) out.insert(out.end(), f.begin(), f.end());
        ticks += 4;
    }
    return out;
}

void BM_DecodeAndCollect(benchmark::State& state) {
    const Bytes stream = MixedStream(1000);
    void* h = CreateDecoderObjectProc(TESSAVO_MODULE_B101);
    int64_t items = 0;
    for (auto _ : state) {
        const uint8_t* p = stream.data();
        int32_t left = static_cast<int32_t>(stream.size());
        while (left > 0) {
            const int32_t rest = DecodeMsgProc_NoDynamic(h, p, left, 0, 0);
            items += GetReportItemCountProc(h);
            if (rest <= 0) break;
            p += left - rest;
            left = rest;
        }
    }
    state.counters["items_per_s"] = benchmark::Counter(static_cast<double>(items),
                                                       benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<int64_t>(stream.size()) * state.iterations());
    FreeDecoderObjectProc(&h);
}
BENCHMARK(BM_DecodeAndCollect)->Unit(benchmark::kMillisecond);

// The floor: copying a report item into a ring of 300 nodes.
void BM_RingCopyOnly(benchmark::State& state) {
    auto source = std::make_unique<tessavo::ReportItem>();
    tessavo::ConstructReportItem(*source);
    std::vector<std::unique_ptr<tessavo::ReportItem>> ring;
    for (int i = 0; i < 300; ++i) ring.push_back(std::make_unique<tessavo::ReportItem>());
    size_t at = 0;
    for (auto _ : state) {
        std::memcpy(ring[at].get(), source.get(), sizeof(tessavo::ReportItem));
        benchmark::ClobberMemory();
        at = (at + 1) % ring.size();
    }
    state.counters["items_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                       benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RingCopyOnly);

void BM_UnescapeAndCrc(benchmark::State& state) {
    const Bytes stream = MixedStream(2000);
    std::vector<uint8_t> packet(tessavo::kUnescapeCapacity);
    int good = 0;
    for (auto _ : state) {
        size_t start = 0;
        for (size_t i = 0; i < stream.size(); ++i) {
            if (stream[i] != tessavo::kFrameFlag) continue;
            int32_t n = 0;
            tessavo::Unescape(stream.data() + start, i + 1 - start, packet.data(), n);
            good += tessavo::VerifyCrc16(packet.data(), static_cast<size_t>(n - 1));
            start = i + 1;
        }
    }
    benchmark::DoNotOptimize(good);
    state.SetBytesProcessed(static_cast<int64_t>(stream.size()) * state.iterations());
}
BENCHMARK(BM_UnescapeAndCrc)->Unit(benchmark::kMillisecond);

}  // namespace
