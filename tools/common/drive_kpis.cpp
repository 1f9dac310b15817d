#include "drive_kpis.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "drive_records.h"
#include "item_time.h"
#include "param_catalogue.h"
#include "state_params.h"

namespace tessavo::cli {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

constexpr uint32_t kRxPower = 0x7F010001;
constexpr uint32_t kBestPilotPn = 0x7F01000B;
constexpr uint32_t kBestPilotEcio = 0x7F01000D;
constexpr uint32_t kDoBestSinr = 0x7F018007;
constexpr uint32_t kDoDrcRate = 0x7F01800A;
constexpr double kBitsPerKbit = 1000;

// The values whose distribution is kept: bins wide enough for the unit's useful precision,
// over the range a handset reports. `divisor` turns the scaled value into the unit shown.
struct Metric {
    uint32_t id;
    std::string_view unit;
    double divisor;  // on top of the record's scale
    double low, high, step;
};
constexpr std::array<Metric, 8> kMetrics = {{
    {kBestPilotEcio, "dB", 1, -40, 0, 0.1},
    {kRxPower, "dBm", 1, -130, -20, 0.1},
    {0x7F010003, "dBm", 1, -60, 30, 0.1},    // tx_power
    {0x7F010006, "%", 1, 0, 100, 0.1},       // frame_error_share
    {0x7F018001, "dBm", 1, -130, -20, 0.1},  // do_rx_power0
    {kDoBestSinr, "dB", 1, -20, 30, 0.1},
    {kDoDrcRate, "kbit/s", kBitsPerKbit, 0, 4000, 1},
    {0x7F018102, "kbit/s", kBitsPerKbit, 0, 20000, 1},  // data_fwd_rate
}};

double Scaled(const DecodeParam& param) {
    return param.scale > 1 ? static_cast<double>(param.value) / param.scale : param.value;
}

double Ratio(double part, double whole, double factor = 1) {
    return whole > 0 ? part / whole * factor : kNaN;
}

std::string_view CatalogueName(uint32_t id) {
    const ParamInfo* info = FindParam(id);
    return info != nullptr ? info->name : std::string_view();
}

}  // namespace

double KpiReport::Value(std::string_view name) const {
    for (const KpiValue& value : values) {
        if (value.name == name) return value.value;
    }
    return kNaN;
}

DriveAnalysis::Histogram::Histogram(double low, double high, double step)
    : low_(low), step_(step), bins_(static_cast<size_t>(std::ceil((high - low) / step)) + 1) {}

void DriveAnalysis::Histogram::Add(double value) {
    const double at = std::floor((value - low_) / step_);
    const double last = static_cast<double>(bins_.size() - 1);
    ++bins_[static_cast<size_t>(std::clamp(at, 0.0, last))];
    min_ = count_ == 0 ? value : std::min(min_, value);
    max_ = count_ == 0 ? value : std::max(max_, value);
    sum_ += value;
    ++count_;
}

// The centre of the bin that holds the value of rank ceil(share × count), kept within the
// values seen.
double DriveAnalysis::Histogram::Percentile(double share) const {
    const auto rank = std::max<uint64_t>(1, static_cast<uint64_t>(std::ceil(share * count_)));
    uint64_t seen = 0;
    for (size_t i = 0; i < bins_.size(); ++i) {
        seen += bins_[i];
        if (seen >= rank) {
            return std::clamp(low_ + (static_cast<double>(i) + 0.5) * step_, min_, max_);
        }
    }
    return max_;
}

Distribution DriveAnalysis::Histogram::Summarise(std::string_view name,
                                                 std::string_view unit) const {
    Distribution d;
    d.name = name;
    d.unit = unit;
    d.count = count_;
    if (count_ == 0) return d;
    d.min = min_;
    d.max = max_;
    d.mean = sum_ / static_cast<double>(count_);
    d.p5 = Percentile(0.05);
    d.median = Percentile(0.5);
    d.p95 = Percentile(0.95);
    uint64_t seen = 0;
    for (size_t i = 0; i < bins_.size(); ++i) {
        if (bins_[i] == 0) continue;
        seen += bins_[i];
        const double top = std::clamp(low_ + static_cast<double>(i + 1) * step_, min_, max_);
        d.cdf.emplace_back(top, static_cast<double>(seen) / static_cast<double>(count_));
    }
    return d;
}

DriveAnalysis::DriveAnalysis(KpiOptions options, EventEngine::Callback onEvent)
    : options_(options),
      forward_(std::move(onEvent)),
      engine_(options.events, [this](const DriveEvent& event) { OnEvent(event); }) {
    for (const Metric& metric : kMetrics) {
        histograms_.emplace_back(metric.low, metric.high, metric.step);
    }
}

void DriveAnalysis::OnEvent(const DriveEvent& event) {
    ++report_.eventCounts[static_cast<size_t>(event.kind)];
    if (forward_) forward_(event);
}

// The time since the previous item goes to the states that held during it; a gap longer
// than gapSeconds (the logging stopped) to none.
void DriveAnalysis::CountTime(const ItemView& item) {
    if (!last_) return;
    const double dt = SecondsBetween(*last_, item.time);
    if (dt <= 0 || dt > options_.gapSeconds) return;
    if (last1x_ && SecondsBetween(*last1x_, *last_) <= options_.measurementStaleSeconds) {
        callSeconds_[static_cast<size_t>(engine_.State())] += dt;
    }
    if (doState_) doSeconds_[*doState_] += dt;
    if (best_ && SecondsBetween(best_->second, *last_) <= options_.measurementStaleSeconds) {
        pns_[best_->first].bestSeconds += dt;
    }
    if (doServing_) doSectors_[*doServing_].servingSeconds += dt;
}

// The serving sector as its reports change it, and the SINR and DRC rate reported while it
// serves (a report in the same item as a new serving sector is the new one's).
void DriveAnalysis::DoSector(const ItemView& item) {
    std::optional<uint32_t> serving;
    std::optional<double> sinr, drc;
    for (const DecodeParam& param : item.currentParams) {
        if (param.state != TESSAVO_STATE_FRESH) continue;
        if (param.id == kDoServingPnIds[0] || (param.id == kDoServingPnIds[1] && !serving)) {
            serving = static_cast<uint32_t>(param.value);
        }
        if (param.id == kDoBestSinr) sinr = Scaled(param);
        if (param.id == kDoDrcRate) drc = Scaled(param) / kBitsPerKbit;
        if (param.id == kDoStateId && param.value == kDoInactive) doServing_.reset();
    }
    if (serving) doServing_ = serving;
    if (!doServing_ || (!sinr && !drc)) return;
    SectorAcc& sector = doSectors_[*doServing_];
    if (sinr) {
        sector.sinrSum += *sinr;
        ++sector.sinrReports;
    }
    if (drc) {
        sector.drcSum += *drc;
        ++sector.drcReports;
    }
}

void DriveAnalysis::CloseWeak(const ItemTime& at) {
    if (!weakSince_) return;
    const double seconds = SecondsBetween(*weakSince_, at);
    if (seconds >= options_.weakMinSeconds) {
        ++weakEpisodes_;
        weakSeconds_ += seconds;
    }
    weakSince_.reset();
}

void DriveAnalysis::Measurements(const ItemView& item) {
    bool radio = false;
    std::optional<uint32_t> bestPn;
    for (const DecodeParam& param : item.currentParams) {
        if (param.state != TESSAVO_STATE_FRESH) continue;
        for (size_t i = 0; i < kMetrics.size(); ++i) {
            if (kMetrics[i].id == param.id) histograms_[i].Add(Scaled(param) / kMetrics[i].divisor);
        }
        switch (param.id) {
            case kRxPower:
                rx_ = Scaled(param);
                radio = true;
                break;
            case kBestPilotEcio:
                ecio_ = Scaled(param);
                radio = true;
                break;
            case kBestPilotPn:
                bestPn = static_cast<uint32_t>(param.value);
                break;
            case kChannelStateId:
                last1x_ = item.time;
                break;
            case kDoStateId:
                doState_ = param.value;
                break;
            default:
                break;
        }
    }
    if (radio) last1x_ = item.time;
    if (bestPn && ecio_) {
        PnAcc& pn = pns_[*bestPn];
        pn.ecioSum += *ecio_;
        ++pn.reports;
        best_ = std::make_pair(*bestPn, item.time);
    }
    if (radio) {
        const bool weak = ecio_ && rx_ && *ecio_ < options_.weakEcioDb && *rx_ < options_.weakRxDbm;
        if (weak && !weakSince_) weakSince_ = item.time;
        if (!weak) CloseWeak(item.time);
        if (weak) weakLast_ = item.time;
    }
    for (const StructParamRecord& record : item.currentStructs) {
        if (record.id != kPilotTableId || record.state != TESSAVO_STATE_FRESH) continue;
        double best = kNoLevel;
        std::vector<double> levels;
        ForEachPilot(record.payload, [&](const PilotRow& pilot) {
            if (pilot.ecio == kNoLevel) return;
            levels.push_back(pilot.ecio);
            best = std::max(best, pilot.ecio);
        });
        if (levels.empty()) continue;
        ++pilotTables_;
        const auto close = std::count_if(levels.begin(), levels.end(), [&](double level) {
            return level >= best - options_.pollutionWindowDb;
        });
        if (close >= options_.pollutionPilots) ++polluted_;
    }
}

void DriveAnalysis::Consume(const ItemView& item) {
    if (!first_) first_ = item.time;
    // A measurement gap ends a weak-coverage stretch where the last weak value was seen.
    if (weakSince_ && weakLast_ &&
        SecondsBetween(*weakLast_, item.time) > options_.measurementStaleSeconds) {
        CloseWeak(*weakLast_);
    }
    CountTime(item);
    engine_.Consume(item);
    Measurements(item);
    DoSector(item);
    last_ = item.time;
}

KpiReport DriveAnalysis::Finish() {
    if (weakSince_ && weakLast_) CloseWeak(*weakLast_);
    KpiReport report = report_;
    auto count = [&](EventKind kind) {
        return static_cast<double>(report.eventCounts[static_cast<size_t>(kind)]);
    };
    const double attempts = count(EventKind::kCallAttempt);
    const double setups = count(EventKind::kCallSetupSuccess);
    const double failures = count(EventKind::kCallSetupFailure);
    const double releases = count(EventKind::kCallRelease);
    const double drops = count(EventKind::kCallDrop);
    const double doSuccesses = count(EventKind::kDoConnectionSuccess);
    const double doFailures = count(EventKind::kDoConnectionFailure);
    const double softHandoffs =
        count(EventKind::kSoftHandoffAdd) + count(EventKind::kSoftHandoffDrop);
    const auto seconds = [&](CallState state) { return callSeconds_[static_cast<size_t>(state)]; };
    const double trafficMinutes =
        (seconds(CallState::kTraffic) + seconds(CallState::kConnected)) / 60.0;
    const double connectedMinutes = seconds(CallState::kConnected) / 60.0;
    const double idleMinutes = seconds(CallState::kIdle) / 60.0;
    const double duration = first_ && last_ ? SecondsBetween(*first_, *last_) : 0;

    report.values = {
        {"duration", duration, "s"},
        {"call_attempts", attempts, ""},
        {"call_setup_successes", setups, ""},
        {"call_setup_failures", failures, ""},
        // Over the attempts that ended either way (one still in set-up at the end is neither).
        {"call_setup_success_rate", Ratio(setups, setups + failures, 100), "%"},
        {"call_releases", releases, ""},
        {"call_drops", drops, ""},
        // Over the connected calls that ended.
        {"call_drop_rate", Ratio(drops, drops + releases, 100), "%"},
        {"traffic_minutes", trafficMinutes, "min"},
        {"drops_per_traffic_minute", Ratio(drops, connectedMinutes), "1/min"},
        {"do_connection_attempts", doSuccesses + doFailures, ""},
        {"do_connection_success_rate", Ratio(doSuccesses, doSuccesses + doFailures, 100), "%"},
        {"do_connection_releases", count(EventKind::kDoConnectionRelease), ""},
        {"soft_handoffs", softHandoffs, ""},
        {"soft_handoffs_per_traffic_minute", Ratio(softHandoffs, trafficMinutes), "1/min"},
        {"hard_handoffs", count(EventKind::kHardHandoff), ""},
        {"hard_handoffs_per_traffic_minute", Ratio(count(EventKind::kHardHandoff), trafficMinutes),
         "1/min"},
        {"idle_handoffs", count(EventKind::kIdleHandoff), ""},
        {"idle_handoffs_per_idle_minute", Ratio(count(EventKind::kIdleHandoff), idleMinutes),
         "1/min"},
        {"do_serving_changes", count(EventKind::kDoServingChange), ""},
        {"time_1x_idle", seconds(CallState::kIdle), "s"},
        {"time_1x_access", seconds(CallState::kAccess), "s"},
        {"time_1x_traffic", seconds(CallState::kTraffic) + seconds(CallState::kConnected), "s"},
        {"pilot_tables", static_cast<double>(pilotTables_), ""},
        {"pilot_pollution_share", Ratio(static_cast<double>(polluted_),
                                        static_cast<double>(pilotTables_), 100),
         "%"},
        {"weak_coverage_episodes", static_cast<double>(weakEpisodes_), ""},
        {"weak_coverage_time", weakSeconds_, "s"},
    };
    const ParamInfo* doState = FindParam(kDoStateId);
    for (const auto& [state, time] : doSeconds_) {
        std::string_view label = doState != nullptr ? ValueLabelOf(*doState, state) : "";
        report.values.push_back({"time_do_" + (label.empty() ? "state_" + std::to_string(state)
                                                             : std::string(label)),
                                 time, "s"});
    }
    for (size_t i = 0; i < kMetrics.size(); ++i) {
        Distribution d = histograms_[i].Summarise(CatalogueName(kMetrics[i].id), kMetrics[i].unit);
        if (d.count != 0) report.distributions.push_back(std::move(d));
    }
    auto mean = [](double sum, uint64_t count) {
        return count != 0 ? sum / static_cast<double>(count) : kNaN;
    };
    for (const auto& [pn, acc] : doSectors_) {
        report.doSectors.push_back({pn, acc.servingSeconds, mean(acc.sinrSum, acc.sinrReports),
                                    acc.sinrReports, mean(acc.drcSum, acc.drcReports),
                                    acc.drcReports});
    }
    for (const auto& [pn, acc] : pns_) {
        report.pns.push_back({pn, acc.bestSeconds, mean(acc.ecioSum, acc.reports), acc.reports});
    }
    return report;
}

}  // namespace tessavo::cli
