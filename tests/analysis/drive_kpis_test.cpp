// KPIs: the sample's call figures as its generator planned them, and weak coverage, pilot
// pollution and distributions on hand-built searcher reports.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "analysis_fixture.h"
#include "log_records.h"

namespace tessavo::test {
namespace {

using sample::Bytes;

Bytes ReadSample() {
    std::ifstream in(TESSAVO_SAMPLE_FILE, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(DriveKpis, SampleCallsAsPlanned) {
    const cli::KpiReport kpis = Analyse(ReadSample()).kpis;
    // Two calls, both connected and released; on traffic from the first forward message to
    // the release order: 40.5-88.0 s and 120.6-226.0 s.
    const std::vector<std::pair<const char*, double>> expected = {
        {"call_attempts", 2},        {"call_setup_successes", 2}, {"call_setup_failures", 0},
        {"call_setup_success_rate", 100}, {"call_releases", 2},   {"call_drops", 0},
        {"call_drop_rate", 0},       {"hard_handoffs", 1},        {"soft_handoffs", 6},
        {"idle_handoffs", 0},        {"do_serving_changes", 1},   {"time_1x_traffic", 152.9},
        {"traffic_minutes", 152.9 / 60},
    };
    for (const auto& [name, value] : expected) {
        EXPECT_NEAR(kpis.Value(name), value, 1e-6) << name;
    }
    EXPECT_TRUE(std::isnan(kpis.Value("do_connection_success_rate")));  // no attempts
}

// EV-DO serving sectors of the sample: carrier 0's sector log (0x1295, at 150 ms past each
// second of the two-carrier mode, 273 to 303 s) names sector 120 until 288.15 s and 240 from
// then; 240 serves on to the last item at 319.47 s (one carrier, no new sector named, EV-DO
// never inactive). Each of those logs carries one SINR report (4.9 to 9 dB); no DRC is logged.
TEST(DriveKpis, SampleEvdoServingSectors) {
    const cli::KpiReport kpis = Analyse(ReadSample()).kpis;
    ASSERT_EQ(kpis.doSectors.size(), 2u);
    const struct {
        uint32_t pn;
        double seconds;
        uint64_t sinrReports;
    } expected[] = {{120, 288.15 - 273.15, 15}, {240, 319.47 - 288.15, 16}};
    for (size_t i = 0; i < 2; ++i) {
        const cli::DoSectorRow& row = kpis.doSectors[i];
        SCOPED_TRACE(row.pn);
        EXPECT_EQ(row.pn, expected[i].pn);
        EXPECT_NEAR(row.servingSeconds, expected[i].seconds, 1e-6);
        EXPECT_EQ(row.sinrReports, expected[i].sinrReports);
        EXPECT_TRUE(row.meanSinr >= 4.9 && row.meanSinr <= 9) << row.meanSinr;
        EXPECT_EQ(row.drcReports, 0u);
        EXPECT_TRUE(std::isnan(row.meanDrcKbps));
    }
}

// The serving-sector rules on items built by hand: a carrier-independent serving PN, then
// carrier 0's when it is the only one; SINR and DRC go to the sector serving at the time;
// EV-DO going inactive ends the serving (no time, no reports until a sector is named again).
TEST(DriveKpis, EvdoServingSectorRules) {
    constexpr uint32_t kServing = 0x7F01800F, kCarrier0 = 0x7F01910E, kSinr = 0x7F018007,
                       kDrc = 0x7F01800A, kState = 0x7F018302;
    const std::vector<std::pair<int, std::vector<DecodeParam>>> items = {
        {0,
         {{TESSAVO_STATE_FRESH, kServing, 120, 1},
          {TESSAVO_STATE_FRESH, kSinr, 6000, 1000},
          {TESSAVO_STATE_FRESH, kDrc, 1228800, 1}}},
        {1, {{TESSAVO_STATE_FRESH, kSinr, 8000, 1000}}},
        {2,
         {{TESSAVO_STATE_FRESH, kCarrier0, 300, 1},
          {TESSAVO_STATE_FRESH, kServing, 240, 1},
          {TESSAVO_STATE_FRESH, kSinr, 4000, 1000},
          {TESSAVO_STATE_FRESH, kDrc, 614400, 1}}},
        {4, {{TESSAVO_STATE_FRESH, kState, 0, 1}, {TESSAVO_STATE_FRESH, kSinr, 2000, 1000}}},
        {5, {{TESSAVO_STATE_FRESH, kSinr, 9000, 1000}}},
        {6, {{TESSAVO_STATE_FRESH, kState, 5, 1}, {TESSAVO_STATE_FRESH, kCarrier0, 120, 1}}},
        {7, {{TESSAVO_STATE_FRESH, kSinr, 10000, 1000}}},
        {8, {{TESSAVO_STATE_INHERITED, kSinr, 10000, 1000}}},  // not fresh: time only
    };
    cli::DriveAnalysis analysis;
    for (const auto& [second, params] : items) {
        cli::ItemView item;
        item.index = second;
        item.time = {1000000000 + second, 0};
        item.currentParams = params;
        analysis.Consume(item);
    }
    const cli::KpiReport kpis = analysis.Finish();
    // PN 120: 0-2 s and 6-8 s, SINR 6, 8 and 10 dB, DRC 1228.8 kbit/s; PN 240: 2-4 s, SINR
    // 4 dB, DRC 614.4 kbit/s; carrier 0's PN 300 lost to the carrier-independent 240.
    ASSERT_EQ(kpis.doSectors.size(), 2u);
    const struct {
        uint32_t pn;
        double seconds, sinr;
        uint64_t sinrs;
        double drc;
    } expected[] = {{120, 4, 8, 3, 1228.8}, {240, 2, 4, 1, 614.4}};
    for (size_t i = 0; i < 2; ++i) {
        const cli::DoSectorRow& row = kpis.doSectors[i];
        SCOPED_TRACE(row.pn);
        EXPECT_EQ(row.pn, expected[i].pn);
        EXPECT_NEAR(row.servingSeconds, expected[i].seconds, 1e-9);
        EXPECT_NEAR(row.meanSinr, expected[i].sinr, 1e-9);
        EXPECT_EQ(row.sinrReports, expected[i].sinrs);
        EXPECT_NEAR(row.meanDrcKbps, expected[i].drc, 1e-9);
        EXPECT_EQ(row.drcReports, 1u);
    }
}

struct Report {
    uint64_t ms;
    double rxDbm;
    std::vector<double> ecios;  // fingers on PNs 168, 252, 336, ...
};

Bytes Reports(const std::vector<Report>& reports) {
    std::vector<TimedRecord> records;
    for (const Report& report : reports) {
        sample::SearcherReport r;
        r.channel = 283;
        r.rxDbm = report.rxDbm;
        for (size_t i = 0; i < report.ecios.size(); ++i) {
            r.fingers.push_back({static_cast<uint16_t>(168 + 84 * i), report.ecios[i]});
        }
        records.push_back({report.ms, 0x119A, sample::SearcherRecord119A(r)});
    }
    return Capture(records);
}

struct CoverageCase {
    const char* name;
    std::vector<Report> reports;
    double weakEpisodes, weakSeconds, pollutionShare;
};

TEST(DriveKpis, WeakCoverageAndPilotPollution) {
    const std::vector<CoverageCase> cases = {
        // Weak (Ec/Io -17 dB, Rx -105 dBm) from 1 s until the good report at 8 s.
        {"one weak stretch of 7 s",
         {{1000, -105, {-17}}, {3000, -105, {-17}}, {5000, -105, {-17}}, {7000, -105, {-17}},
          {8000, -80, {-5}}, {9000, -80, {-5}}},
         1, 7, 0},
        {"weak for 4 s only: shorter than 5 s",
         {{1000, -105, {-17}}, {3000, -105, {-17}}, {5000, -80, {-5}}}, 0, 0, 0},
        {"strong pilot, low power: not weak", {{1000, -105, {-5}}, {9000, -105, {-5}}}, 0, 0, 0},
        // Four pilots within 5 dB of the best in one report of two, three in the other.
        {"pollution in half of the reports",
         {{1000, -80, {-6, -7, -8, -10.5}}, {2000, -80, {-6, -7, -8, -12}}}, 0, 0, 50},
    };
    for (const CoverageCase& c : cases) {
        SCOPED_TRACE(c.name);
        const cli::KpiReport kpis = Analyse(Reports(c.reports)).kpis;
        EXPECT_EQ(kpis.Value("weak_coverage_episodes"), c.weakEpisodes);
        EXPECT_NEAR(kpis.Value("weak_coverage_time"), c.weakSeconds, 1e-6);
        EXPECT_NEAR(kpis.Value("pilot_pollution_share"), c.pollutionShare, 1e-6);
    }
}

TEST(DriveKpis, DistributionsAndBestServer) {
    // Best Ec/Io -4, -6, ..., -22 dB over ten reports a second apart; PN 168 strongest in the
    // first five, PN 252 in the last five.
    std::vector<Report> reports;
    for (int i = 0; i < 10; ++i) {
        const double best = -4.0 - 2.0 * i;
        reports.push_back({1000u + 1000u * static_cast<uint64_t>(i), -80,
                           i < 5 ? std::vector<double>{best, best - 3} : std::vector<double>{best - 3, best}});
    }
    const cli::KpiReport kpis = Analyse(Reports(reports)).kpis;
    const cli::Distribution* ecio = nullptr;
    for (const cli::Distribution& d : kpis.distributions) {
        if (d.name == "best_pilot_ecio") ecio = &d;
    }
    ASSERT_NE(ecio, nullptr);
    EXPECT_EQ(ecio->count, 10u);
    // Ascending, rank ceil(0.5 × 10) = 5 is -14 dB; rank 1 for 5 %: -22 dB; rank 10 for 95 %:
    // -4 dB. Bins are 0.1 dB wide, so within half of one (and the Ec/Io steps of the record).
    EXPECT_NEAR(ecio->median, -14, 0.3);
    EXPECT_NEAR(ecio->p5, -22, 0.3);
    EXPECT_NEAR(ecio->p95, -4, 0.3);
    EXPECT_NEAR(ecio->mean, -13, 0.3);
    ASSERT_FALSE(ecio->cdf.empty());
    EXPECT_DOUBLE_EQ(ecio->cdf.back().second, 1.0);
    // Each PN was best for five reports; time is counted up to the next report: 5 s for PN 168
    // (1 s to 6 s) and 4 s for PN 252 (6 s to 10 s, the last report closes nothing).
    ASSERT_EQ(kpis.pns.size(), 2u);
    EXPECT_EQ(kpis.pns[0].pn, 168u);
    EXPECT_NEAR(kpis.pns[0].bestSeconds, 5, 1e-6);
    EXPECT_EQ(kpis.pns[0].reports, 5u);
    EXPECT_NEAR(kpis.pns[0].meanEcio, -8, 0.3);
    EXPECT_EQ(kpis.pns[1].pn, 252u);
    EXPECT_NEAR(kpis.pns[1].bestSeconds, 4, 1e-6);
    EXPECT_NEAR(kpis.pns[1].meanEcio, -18, 0.3);
}

}  // namespace
}  // namespace tessavo::test
