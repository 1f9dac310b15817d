#include "analysis_fixture.h"

#include <gtest/gtest.h>

#include <iostream>

#include "decoder_session.h"

namespace tessavo::test {
namespace {

// 2024-05-14 02:00:00 counted in 1.25 ms ticks from the DIAG epoch.
constexpr uint64_t kStartTicks = 1399687200ull * 800;

}  // namespace

sample::Bytes Capture(const std::vector<TimedRecord>& records) {
    sample::Bytes bytes;
    for (const TimedRecord& record : records) {
        sample::AppendFrame(bytes, sample::LogPacket(record.logCode, kStartTicks + record.ms * 4 / 5,
                                                     record.payload));
    }
    return bytes;
}

void Decode(const sample::Bytes& capture,
            const std::function<void(const cli::ItemView&)>& consume) {
    cli::CliOptions cliOptions;
    cli::DecoderSession session(cliOptions, cli::ItemSelection{}, consume, std::cerr);
    EXPECT_TRUE(session.Open());
    session.FeedStream(capture, "test capture", 0);
}

Analysed Analyse(const sample::Bytes& capture, cli::KpiOptions options) {
    Analysed result;
    cli::DriveAnalysis analysis(options,
                                [&](const cli::DriveEvent& e) { result.events.push_back(e); });
    Decode(capture, [&](const cli::ItemView& item) { analysis.Consume(item); });
    result.kpis = analysis.Finish();
    return result;
}

std::string Describe(const cli::DriveEvent& event) {
    return std::string(cli::InfoOf(event.kind).name) + ": " + event.details;
}

}  // namespace tessavo::test
