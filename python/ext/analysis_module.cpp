// tessavo._analysis: the drive analysis of the command-line tools (tools/common/drive_kpis.h)
// for Python. Captures are decoded by the library through the tools' decoder session and the
// items fed to the same event rules and KPIs as `tessavo-decode --format events` and the
// summary, so Python and the CLI cannot disagree.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "decoder_session.h"
#include "drive_kpis.h"
#include "item_time.h"
#include "map_sink.h"
#include "param_catalogue.h"
#include "param_validity.h"
#include "position_fix.h"

namespace py = pybind11;

namespace tessavo::cli {
namespace {

struct EventRow {
    int64_t utcMicroseconds;  // since 1970-01-01T00:00:00Z
    std::string technology;
    std::string event;
    std::string details;
    int64_t item;
};

KpiOptions OptionsFrom(const py::dict& given) {
    KpiOptions options;
    for (const auto& [key, value] : given) {
        const std::string name = py::str(key);
        if (name == "access_timeout") {
            options.events.accessTimeoutSeconds = value.cast<double>();
        } else if (name == "pollution_pilots") {
            options.pollutionPilots = value.cast<int>();
        } else if (name == "pollution_window_db") {
            options.pollutionWindowDb = value.cast<double>();
        } else if (name == "weak_ecio_db") {
            options.weakEcioDb = value.cast<double>();
        } else if (name == "weak_rx_dbm") {
            options.weakRxDbm = value.cast<double>();
        } else if (name == "weak_min_seconds") {
            options.weakMinSeconds = value.cast<double>();
        } else {
            throw py::type_error("unknown analysis option '" + name + "'");
        }
    }
    return options;
}

py::dict KpisToPython(const KpiReport& report) {
    py::dict kpis;
    py::list values;
    for (const KpiValue& value : report.values) {
        values.append(py::make_tuple(value.name, value.value, value.unit));
    }
    kpis["values"] = values;
    py::dict counts;
    for (const EventKindInfo& kind : EventKinds()) {
        counts[py::str(std::string(kind.name))] = report.eventCounts[static_cast<size_t>(kind.kind)];
    }
    kpis["event_counts"] = counts;
    py::list distributions;
    for (const Distribution& d : report.distributions) {
        py::dict row;
        row["name"] = std::string(d.name);
        row["unit"] = std::string(d.unit);
        row["count"] = d.count;
        row["min"] = d.min;
        row["p5"] = d.p5;
        row["median"] = d.median;
        row["mean"] = d.mean;
        row["p95"] = d.p95;
        row["max"] = d.max;
        row["cdf"] = d.cdf;
        distributions.append(row);
    }
    kpis["distributions"] = distributions;
    py::list pns;
    for (const PnRow& pn : report.pns) {
        pns.append(py::make_tuple(pn.pn, pn.bestSeconds, pn.meanEcio, pn.reports));
    }
    kpis["pns"] = pns;
    py::list sectors;
    for (const DoSectorRow& sector : report.doSectors) {
        sectors.append(py::make_tuple(sector.pn, sector.servingSeconds, sector.meanSinr,
                                      sector.sinrReports, sector.meanDrcKbps, sector.drcReports));
    }
    kpis["do_sectors"] = sectors;
    return kpis;
}

// Feeds the captures in order to `session` as one stream; the error text, empty if none.
std::string FeedFiles(const std::vector<std::string>& paths, DecoderSession& session) {
    std::vector<char> buffer(kDefaultChunkSize);
    for (const std::string& path : paths) {
        std::ifstream in(path, std::ios::binary);
        if (!in) return "cannot open '" + path + "': " + std::strerror(errno);
        uint64_t offset = 0;
        while (in) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const auto count = static_cast<size_t>(in.gcount());
            if (count == 0) break;
            session.FeedStream({reinterpret_cast<const uint8_t*>(buffer.data()), count}, path,
                               offset);
            offset += count;
        }
    }
    return {};
}

// Decodes the captures in order as one stream, each item to `consume`; the error text, empty
// if none.
std::string DecodeFiles(const std::vector<std::string>& paths, uint32_t moduleType,
                        DecoderSession::ItemCallback consume) {
    CliOptions cliOptions;
    cliOptions.moduleType = moduleType;
    std::ostringstream messages;
    DecoderSession session(cliOptions, ItemSelection{}, std::move(consume), messages);
    if (!session.Open()) return "cannot create a decoder object: " + messages.str();
    std::string error = FeedFiles(paths, session);
    if (error.empty()) session.Finish();
    return error;
}

// Decodes the captures in order as one stream; returns (events, kpis).
py::tuple Analyse(const std::vector<std::string>& paths, uint32_t moduleType,
                  const py::dict& given) {
    const KpiOptions options = OptionsFrom(given);
    std::vector<EventRow> events;
    KpiReport report;
    uint64_t items = 0;
    std::string error;
    {
        py::gil_scoped_release release;
        const ItemClock clock;
        DriveAnalysis analysis(options, [&](const DriveEvent& event) {
            const EventKindInfo& info = InfoOf(event.kind);
            events.push_back({UtcMicroseconds(clock, event.time),
                              std::string(TechnologyName(info.technology)), std::string(info.name),
                              event.details, event.item});
        });
        error = DecodeFiles(paths, moduleType, [&](const ItemView& item) {
            ++items;
            analysis.Consume(item);
        });
        report = analysis.Finish();
    }
    if (!error.empty()) throw py::value_error(error);
    py::list eventRows;
    for (const EventRow& e : events) {
        eventRows.append(py::make_tuple(e.utcMicroseconds, e.technology, e.event, e.details, e.item));
    }
    py::dict kpis = KpisToPython(report);
    kpis["items"] = items;
    return py::make_tuple(eventRows, kpis);
}

// The values of scalar parameters over time as the state view shows them: a point at every
// fresh value, and a NaN point where the value stops being valid (param_validity.h), so a
// chart draws a gap there. {name: (UTC microseconds, values)}.
py::dict Series(const std::vector<std::string>& paths, uint32_t moduleType,
                const std::vector<std::string>& names) {
    struct Track {
        uint16_t index;
        uint32_t id;
        double scale;
        bool shown = false;
        std::vector<int64_t> times;
        std::vector<double> values;
    };
    std::vector<Track> tracks;
    for (const std::string& name : names) {
        const ParamInfo* info = FindParamByName(name);
        if (info == nullptr || info->kind != ParamKind::kScalar) {
            throw py::value_error("'" + name + "' is not a scalar parameter of the catalogue");
        }
        tracks.push_back({static_cast<uint16_t>(info - ScalarParams().data()), info->id,
                          static_cast<double>(std::max(info->scale, 1))});
    }
    std::string error;
    {
        py::gil_scoped_release release;
        const ItemClock clock;
        ValidityTracker validity;
        error = DecodeFiles(paths, moduleType, [&](const ItemView& item) {
            validity.Observe(item);
            const int64_t at = UtcMicroseconds(clock, item.time);
            for (Track& track : tracks) {
                bool fresh = false;
                for (const DecodeParam& param : item.currentParams) {
                    if (param.id != track.id || param.state != TESSAVO_STATE_FRESH) continue;
                    track.times.push_back(at);
                    track.values.push_back(param.value / track.scale);
                    fresh = true;
                }
                const bool valid = validity.Valid(track.index, item.time);
                if (track.shown && !valid && !fresh) {
                    track.times.push_back(at);
                    track.values.push_back(std::nan(""));
                }
                track.shown = valid;
            }
        });
    }
    if (!error.empty()) throw py::value_error(error);
    py::dict result;
    for (size_t i = 0; i < tracks.size(); ++i) {
        result[py::str(names[i])] = py::make_tuple(tracks[i].times, tracks[i].values);
    }
    return result;
}

// The capture's own position fixes in time order, as a GPS track holds them:
// (UTC microseconds, latitudes, longitudes).
py::tuple Fixes(const std::vector<std::string>& paths, uint32_t moduleType) {
    std::string error;
    GpsTrack track;
    {
        py::gil_scoped_release release;
        const ItemClock clock;
        error = DecodeFiles(paths, moduleType, [&](const ItemView& item) {
            if (auto fix = CaptureFix(item, clock)) track.Add(*fix);
        });
    }
    if (!error.empty()) throw py::value_error(error);
    std::vector<int64_t> times;
    std::vector<double> latitudes, longitudes;
    for (const GpsFix& fix : track.Fixes()) {
        times.push_back(fix.utcMicroseconds);
        latitudes.push_back(fix.latitude);
        longitudes.push_back(fix.longitude);
    }
    return py::make_tuple(times, latitudes, longitudes);
}

py::tuple MapValueLists() {
    auto list = [](std::span<const std::string_view> names) {
        std::vector<std::string> out(names.begin(), names.end());
        return out;
    };
    return py::make_tuple(list(MapValues()), list(MapPointMakers()));
}

py::list EcioBinList() {
    py::list bins;
    for (const EcioBin& bin : EcioBins()) {
        bins.append(py::make_tuple(bin.upper, std::string(bin.name), std::string(bin.colour)));
    }
    return bins;
}

py::list KindList() {
    py::list kinds;
    for (const EventKindInfo& kind : EventKinds()) {
        kinds.append(py::make_tuple(std::string(kind.name),
                                    std::string(TechnologyName(kind.technology)),
                                    std::string(kind.label)));
    }
    return kinds;
}

}  // namespace
}  // namespace tessavo::cli

PYBIND11_MODULE(_analysis, m) {
    m.doc() = "Drive-test events and KPIs of tessavo-decode (one implementation for both).";
    m.def("analyse", &tessavo::cli::Analyse, py::arg("paths"), py::arg("module"),
          py::arg("options"),
          "Decodes the captures as one stream; returns (events, kpis): events as (UTC "
          "microseconds, technology, event, details, item) tuples, kpis as a dict of items (the "
          "count decoded), values, event_counts, distributions, pns and do_sectors.");
    m.def("series", &tessavo::cli::Series, py::arg("paths"), py::arg("module"), py::arg("names"),
          "{name: (UTC microseconds, values)}: each fresh value, and NaN where it stops being "
          "valid.");
    m.def("fixes", &tessavo::cli::Fixes, py::arg("paths"), py::arg("module"),
          "(UTC microseconds, latitudes, longitudes) of the captures' own position fixes");
    m.attr("MAX_FIX_GAP_SECONDS") = tessavo::cli::kMaxFixGapSeconds;
    m.def("map_values", &tessavo::cli::MapValueLists,
          "(values on each map point, the values whose fresh value makes a point)");
    m.def("ecio_bins", &tessavo::cli::EcioBinList,
          "(upper dB, name, KML colour) of the best Ec/Io bins of the map outputs");
    m.def("event_kinds", &tessavo::cli::KindList, "(name, technology, label) of every event kind");
}
