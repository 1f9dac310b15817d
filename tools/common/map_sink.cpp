#include "map_sink.h"

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "param_catalogue.h"
#include "position_fix.h"

namespace tessavo::cli {
namespace {

constexpr std::array<std::string_view, 6> kValues = {
    "best_pilot_ecio", "rx_power", "tx_power", "best_pilot_pn", "do_best_sinr", "do_rx_power0"};
constexpr std::array<std::string_view, 3> kPointMakers = {"best_pilot_ecio", "rx_power",
                                                          "do_best_sinr"};

struct Shown {
    std::string_view name;
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
            list.push_back({name, info->id, static_cast<uint16_t>(info - ScalarParams().data()),
                            static_cast<double>(std::max(info->scale, 1)), maker});
        }
        return list;
    }();
    return shown;
}

constexpr std::array<EcioBin, 4> kEcioBins = {{
    {-15.0, "ecio_below_-15", "ff0000ff"},  // red
    {-10.0, "ecio_-15_to_-10", "ff0080ff"},  // orange
    {-6.0, "ecio_-10_to_-6", "ff00ffff"},    // yellow
    {1e300, "ecio_above_-6", "ff00ff00"},    // green
}};

std::string XmlText(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            default: out += c;
        }
    }
    return out;
}

bool SameTime(const ItemTime& a, const ItemTime& b) {
    return a.seconds == b.seconds && a.microseconds == b.microseconds;
}

}  // namespace

std::span<const std::string_view> MapValues() {
    return kValues;
}

std::span<const std::string_view> MapPointMakers() {
    return kPointMakers;
}

std::span<const EcioBin> EcioBins() {
    return kEcioBins;
}

std::string_view EcioBinOf(std::optional<double> ecio) {
    if (!ecio) return kEcioUnknown;
    for (const EcioBin& bin : kEcioBins) {
        if (*ecio < bin.upper) return bin.name;
    }
    return kEcioBins.back().name;
}

MapSink::MapSink(std::ostream& out, const ItemClock& clock, std::optional<GpsTrack> track,
                 MapFormat format)
    : out_(out),
      clock_(clock),
      track_(track ? std::move(*track) : GpsTrack()),
      captureFixes_(!track),
      format_(format),
      analysis_({}, [this](const DriveEvent& e) { events_.push_back(e); }),
      last_(ShownParams().size()),
      pendingValues_(ShownParams().size()) {
    if (format_ == MapFormat::kGeoJson) {
        out_ << "{\"type\":\"FeatureCollection\",\"features\":[";
        return;
    }
    out_ << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document><name>drive</name>\n";
    auto style = [this](std::string_view id, std::string_view colour, double scale) {
        out_ << "<Style id=\"" << id << "\"><IconStyle><color>" << colour << "</color><scale>"
             << scale << "</scale></IconStyle></Style>\n";
    };
    for (const EcioBin& bin : kEcioBins) style(bin.name, bin.colour, 0.5);
    style(kEcioUnknown, "ff808080", 0.5);
    style("event", "ffff00ff", 1.2);
}

void MapSink::Placemark(const Position& at, const ItemTime& time, std::string_view name,
                        std::string_view style, std::string_view description) {
    char coordinates[96];
    std::snprintf(coordinates, sizeof coordinates, "%.9f,%.9f", at.longitude, at.latitude);
    const std::string when = clock_.Format(time);
    out_ << "<Placemark><name>" << XmlText(name) << "</name>";
    if (!description.empty()) out_ << "<description>" << XmlText(description) << "</description>";
    out_ << "<styleUrl>#" << style << "</styleUrl><TimeStamp><when>" << when
         << "</when></TimeStamp><Point><coordinates>" << coordinates
         << "</coordinates></Point></Placemark>\n";
}

void MapSink::Feature(const Position& at, const std::string& properties) {
    char coordinates[96];
    std::snprintf(coordinates, sizeof coordinates, "[%.9f,%.9f]", at.longitude, at.latitude);
    out_ << (first_ ? "\n" : ",\n") << "{\"type\":\"Feature\",\"properties\":" << properties
         << ",\"geometry\":{\"type\":\"Point\",\"coordinates\":" << coordinates << "}}";
    first_ = false;
}

void MapSink::WritePoint(const Position& at, const Point& point) {
    if (format_ == MapFormat::kKml) {
        std::optional<double> ecio;
        for (size_t i = 0; i < ShownParams().size(); ++i) {
            if (ShownParams()[i].name == kValues[0]) ecio = point.values[i];
        }
        Placemark(at, point.time, clock_.Format(point.time), EcioBinOf(ecio), "");
        return;
    }
    nlohmann::ordered_json properties = {{"kind", "measurement"},
                                         {"time", clock_.Format(point.time)}};
    for (size_t i = 0; i < ShownParams().size(); ++i) {
        const std::string name(ShownParams()[i].name);
        properties[name] =
            point.values[i] ? nlohmann::ordered_json(*point.values[i]) : nlohmann::ordered_json();
    }
    Feature(at, properties.dump());
}

void MapSink::FlushPoint() {
    if (!pending_) return;
    Point point{UtcMicroseconds(clock_, *pending_), *pending_, pendingValues_};
    pending_.reset();
    const std::vector<GpsFix>& fixes = track_.Fixes();
    if (!captureFixes_ || (!fixes.empty() && fixes.back().utcMicroseconds >= point.utc)) {
        if (auto at = track_.Locate(point.utc)) WritePoint(*at, point);
        return;
    }
    // Fixes come in time order with the items: the next one is later than this point, so a
    // point further than the fix gap from the last fix (or before the first) gets none, nor
    // do those waiting before it.
    const bool reachable =
        !fixes.empty() &&
        static_cast<double>(point.utc - fixes.back().utcMicroseconds) <= kMaxFixGapSeconds * 1e6;
    if (!reachable) {
        waiting_.clear();
        return;
    }
    waiting_.push_back(std::move(point));
}

void MapSink::PlaceWaiting() {
    const int64_t last = track_.Fixes().back().utcMicroseconds;
    while (!waiting_.empty() && waiting_.front().utc <= last) {
        if (auto at = track_.Locate(waiting_.front().utc)) WritePoint(*at, waiting_.front());
        waiting_.pop_front();
    }
}

void MapSink::Consume(const ItemView& item) {
    analysis_.Consume(item);
    validity_.Observe(item);
    if (pending_ && !SameTime(*pending_, item.time)) FlushPoint();
    if (captureFixes_) {
        if (auto fix = CaptureFix(item, clock_)) {
            track_.Add(*fix);
            PlaceWaiting();
        }
    }
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

void MapSink::Finish(const RunStats& /*stats*/) {
    FlushPoint();
    analysis_.Finish();
    for (const DriveEvent& event : events_) {
        auto at = track_.Locate(UtcMicroseconds(clock_, event.time));
        if (!at) continue;
        const EventKindInfo& info = InfoOf(event.kind);
        if (format_ == MapFormat::kKml) {
            Placemark(*at, event.time, info.name, "event", event.details);
            continue;
        }
        const nlohmann::ordered_json properties = {
            {"kind", "event"},          {"time", clock_.Format(event.time)},
            {"event", info.name},       {"technology", TechnologyName(info.technology)},
            {"details", event.details}, {"item", event.item}};
        Feature(*at, properties.dump());
    }
    out_ << (format_ == MapFormat::kKml ? "</Document></kml>\n" : "\n]}\n");
    out_.flush();
}

}  // namespace tessavo::cli
