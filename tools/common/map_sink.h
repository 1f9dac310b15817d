// Map outputs: the drive as GeoJSON or KML. A point at every fresh best Ec/Io, receive power
// or EV-DO SINR (one per item time), carrying the radio values valid at that time
// (param_validity.h), and a point per drive event (drive_events.h); positions from a GPS
// track merged by time (gps_track.h). Items and events without a position are left out.
// GeoJSON writes a FeatureCollection with the values as properties; KML placemarks coloured
// by best Ec/Io bin, events with a style of their own.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <ostream>
#include <vector>

#include "drive_kpis.h"
#include "gps_track.h"
#include "item_sink.h"
#include "item_time.h"
#include "param_validity.h"

namespace tessavo::cli {

// Best Ec/Io bins of the KML colours: values below `upper` dB (and not below the previous).
struct EcioBin {
    double upper;
    std::string_view name;
    std::string_view colour;  // KML aabbggrr
};
std::span<const EcioBin> EcioBins();
inline constexpr std::string_view kEcioUnknown = "ecio_unknown";
std::string_view EcioBinOf(std::optional<double> ecio);

enum class MapFormat { kGeoJson, kKml };

class MapSink : public ItemSink {
  public:
    MapSink(std::ostream& out, const ItemClock& clock, GpsTrack track, MapFormat format);

    void Consume(const ItemView& item) override;
    void Finish(const RunStats& stats) override;

  private:
    void FlushPoint();
    void Feature(const Position& at, const std::string& properties);
    void Placemark(const Position& at, const ItemTime& time, std::string_view name,
                   std::string_view style, std::string_view description);

    std::ostream& out_;
    const ItemClock& clock_;
    GpsTrack track_;
    MapFormat format_;
    DriveAnalysis analysis_;
    std::vector<DriveEvent> events_;
    ValidityTracker validity_;
    std::vector<std::optional<double>> last_;  // last fresh value of each shown parameter
    std::optional<ItemTime> pending_;          // a point to write once its time is complete
    std::vector<std::optional<double>> pendingValues_;
    bool first_ = true;
};

}  // namespace tessavo::cli
