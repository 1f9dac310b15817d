// Drive-test KPIs over a capture: call and connection success, drops, handoffs, time in each
// state, distributions of the main radio values, pilot pollution, weak coverage, the 1x
// pilots that served best and the EV-DO sectors that served. Computed in one pass beside the
// event rules (drive_events.h), in memory that does not grow with the capture (histograms,
// one row per pilot PN or sector).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "drive_events.h"

namespace tessavo::cli {

struct KpiOptions {
    EventOptions events;
    int pollutionPilots = 4;          // pilots within the window of the best one, at least
    double pollutionWindowDb = 5.0;   // dB below the best pilot's Ec/Io
    double weakEcioDb = -15.0;        // best Ec/Io below this ...
    double weakRxDbm = -100.0;        // ... and receive power below this ...
    double weakMinSeconds = 5.0;      // ... for at least this long is weak coverage
    double gapSeconds = 10.0;         // time between items beyond which none is counted
    double measurementStaleSeconds = 5.0;  // a 1x measurement older than this is not valid
};

// A value's distribution from fixed bins: percentiles are bin centres (half a bin exact).
struct Distribution {
    std::string_view name;  // catalogue name of the parameter
    std::string_view unit;
    uint64_t count = 0;
    double min = 0, max = 0, mean = 0, p5 = 0, median = 0, p95 = 0;
    std::vector<std::pair<double, double>> cdf;  // (value, share of values at or below)
};

struct KpiValue {
    std::string name;
    double value;  // NaN where it is not defined (a rate without attempts)
    std::string unit;
};

struct PnRow {
    uint32_t pn = 0;
    double bestSeconds = 0;  // time as the strongest 1x pilot
    double meanEcio = 0;     // dB, over the reports where it was the strongest
    uint64_t reports = 0;
};

// An EV-DO serving sector: the carrier-independent serving PN, else that of carrier 0. It
// serves from its report until another sector's, while EV-DO is not inactive.
struct DoSectorRow {
    uint32_t pn = 0;
    double servingSeconds = 0;
    double meanSinr = 0;  // dB, of the best SINR reports while it served; NaN without
    uint64_t sinrReports = 0;
    double meanDrcKbps = 0;  // kbit/s, of the DRC rate reports while it served; NaN without
    uint64_t drcReports = 0;
};

struct KpiReport {
    std::array<uint64_t, kEventKindCount> eventCounts{};
    std::vector<KpiValue> values;
    std::vector<Distribution> distributions;
    std::vector<PnRow> pns;              // by PN
    std::vector<DoSectorRow> doSectors;  // by PN

    // NaN when `name` is not a KPI.
    double Value(std::string_view name) const;
};

class DriveAnalysis {
  public:
    // `onEvent` sees every event as it is found; may be empty.
    explicit DriveAnalysis(KpiOptions options = {}, EventEngine::Callback onEvent = {});

    void Consume(const ItemView& item);
    KpiReport Finish();

  private:
    class Histogram {
      public:
        Histogram(double low, double high, double step);
        void Add(double value);
        Distribution Summarise(std::string_view name, std::string_view unit) const;

      private:
        double Percentile(double share) const;
        double low_, step_;
        std::vector<uint64_t> bins_;  // first and last also hold what falls outside
        uint64_t count_ = 0;
        double sum_ = 0, min_ = 0, max_ = 0;
    };
    struct PnAcc {
        double bestSeconds = 0;
        double ecioSum = 0;
        uint64_t reports = 0;
    };
    struct SectorAcc {
        double servingSeconds = 0;
        double sinrSum = 0, drcSum = 0;
        uint64_t sinrReports = 0, drcReports = 0;
    };

    void OnEvent(const DriveEvent& event);
    void CountTime(const ItemView& item);
    void Measurements(const ItemView& item);
    void DoSector(const ItemView& item);
    void CloseWeak(const ItemTime& at);

    KpiOptions options_;
    EventEngine::Callback forward_;
    EventEngine engine_;
    KpiReport report_;
    std::vector<Histogram> histograms_;
    std::optional<ItemTime> first_, last_;
    std::optional<ItemTime> last1x_;       // last fresh 1x measurement or signalling state
    std::optional<int32_t> doState_;
    std::array<double, 5> callSeconds_{};  // by CallState
    std::map<int32_t, double> doSeconds_;  // by EV-DO state
    uint64_t pilotTables_ = 0, polluted_ = 0;
    std::optional<double> ecio_, rx_;
    std::optional<ItemTime> weakSince_;
    std::optional<ItemTime> weakLast_;
    uint64_t weakEpisodes_ = 0;
    double weakSeconds_ = 0;
    std::optional<std::pair<uint32_t, ItemTime>> best_;  // strongest pilot since then
    std::map<uint32_t, PnAcc> pns_;
    std::optional<uint32_t> doServing_;  // unset while EV-DO is inactive
    std::map<uint32_t, SectorAcc> doSectors_;
};

}  // namespace tessavo::cli
