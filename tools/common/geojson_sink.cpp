#include "geojson_sink.h"

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "param_catalogue.h"

namespace tessavo::cli {
namespace {

// The values on each point, and those whose fresh value makes a point.
constexpr std::array<std::string_view, 6> kValues = {
    "best_pilot_ecio", "rx_power", "tx_power", "best_pilot_pn", "do_best_sinr", "do_rx_power0"};
constexpr std::array<std::string_view, 3> kPointMakers = {"best_pilot_ecio", "rx_power",
                                                          "do_best_sinr"};

struct Shown {
    uint32_t id;
    uint16_t index;  // into ScalarParams()
    double scale;
    bool makesPoint;
};

const std::vector<Shown>& ShownParams() {
    static const std::vector<Shown> shown = [] {
        std::vector<Shown> list;
        for (std::string_view name : kValues) {
            const ParamInfo* info = FindParamByName(name);
            if (info == nullptr) continue;
            bool maker = false;
            for (std::string_view m : kPointMakers) maker = maker || m == name;
            list.push_back({info->id, static_cast<uint16_t>(info - ScalarParams().data()),
                            static_cast<double>(std::max(info->scale, 1)), maker});
        }
        return list;
    }();
    return shown;
}

bool SameTime(const ItemTime& a, const ItemTime& b) {
    return a.seconds == b.seconds && a.microseconds == b.microseconds;
}

}  // namespace

GeoJsonSink::GeoJsonSink(std::ostream& out, const ItemClock& clock, GpsTrack track)
    : out_(out),
      clock_(clock),
      track_(std::move(track)),
      analysis_({}, [this](const DriveEvent& e) { events_.push_back(e); }),
      last_(ShownParams().size()),
      pendingValues_(ShownParams().size()) {
    out_ << "{\"type\":\"FeatureCollection\",\"features\":[";
}

void GeoJsonSink::Feature(const Position& at, const std::string& properties) {
    char coordinates[96];
    std::snprintf(coordinates, sizeof coordinates, "[%.9f,%.9f]", at.longitude, at.latitude);
    out_ << (first_ ? "\n" : ",\n") << "{\"type\":\"Feature\",\"properties\":" << properties
         << ",\"geometry\":{\"type\":\"Point\",\"coordinates\":" << coordinates << "}}";
    first_ = false;
}

void GeoJsonSink::FlushPoint() {
    if (!pending_) return;
    const UtcInstant utc = clock_.ToUtc(*pending_);
    if (auto at = track_.Locate(utc.seconds * 1000000 + utc.microseconds)) {
        nlohmann::ordered_json properties = {{"kind", "measurement"},
                                             {"time", clock_.Format(*pending_)}};
        for (size_t i = 0; i < ShownParams().size(); ++i) {
            const std::string name(kValues[i]);
            properties[name] = pendingValues_[i] ? nlohmann::ordered_json(*pendingValues_[i])
                                                 : nlohmann::ordered_json();
        }
        Feature(*at, properties.dump());
    }
    pending_.reset();
}

void GeoJsonSink::Consume(const ItemView& item) {
    analysis_.Consume(item);
    validity_.Observe(item);
    if (pending_ && !SameTime(*pending_, item.time)) FlushPoint();
    const std::vector<Shown>& shown = ShownParams();
    bool point = false;
    for (const DecodeParam& param : item.currentParams) {
        if (param.state != TESSAVO_STATE_FRESH) continue;
        for (size_t i = 0; i < shown.size(); ++i) {
            if (shown[i].id != param.id) continue;
            last_[i] = param.value / shown[i].scale;
            point = point || shown[i].makesPoint;
        }
    }
    if (!point && !pending_) return;
    // The values as they stand after the last item of this time.
    pending_ = item.time;
    for (size_t i = 0; i < shown.size(); ++i) {
        pendingValues_[i] = validity_.Valid(shown[i].index, item.time) ? last_[i] : std::nullopt;
    }
}

void GeoJsonSink::Finish(const RunStats& /*stats*/) {
    FlushPoint();
    analysis_.Finish();
    for (const DriveEvent& event : events_) {
        const UtcInstant utc = clock_.ToUtc(event.time);
        auto at = track_.Locate(utc.seconds * 1000000 + utc.microseconds);
        if (!at) continue;
        const EventKindInfo& info = InfoOf(event.kind);
        const nlohmann::ordered_json properties = {
            {"kind", "event"},          {"time", clock_.Format(event.time)},
            {"event", info.name},       {"technology", TechnologyName(info.technology)},
            {"details", event.details}, {"item", event.item}};
        Feature(*at, properties.dump());
    }
    out_ << "\n]}\n";
    out_.flush();
}

}  // namespace tessavo::cli
