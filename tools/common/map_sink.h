// Map outputs: the drive as GeoJSON or KML. A point at every fresh best Ec/Io, receive power
// or EV-DO SINR (one per item time), carrying the radio values valid at that time
// (param_validity.h), and a point per drive event (drive_events.h). Positions come from a GPS
// track merged by time (gps_track.h) when one is given, else from the capture's own position
// fixes (position_fix.h): a point then waits for the first fix at or after its time, which
// is at most the fix gap away, so the points held are those of a few seconds. Items and
// events without a position are left out.
// GeoJSON writes a FeatureCollection with the values as properties; KML placemarks coloured
// by best Ec/Io bin, events with a style of their own.
#pragma once

#include <deque>
#include <optional>
#include <ostream>
#include <span>
#include <string_view>
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

// The radio values on each point (catalogue names; the first colours a KML placemark), and
// those whose fresh value makes a point.
std::span<const std::string_view> MapValues();
std::span<const std::string_view> MapPointMakers();

enum class MapFormat { kGeoJson, kKml };

class MapSink : public ItemSink {
  public:
    // Without a track, the capture's position fixes place the points.
    MapSink(std::ostream& out, const ItemClock& clock, std::optional<GpsTrack> track,
            MapFormat format);

    void Consume(const ItemView& item) override;
    void Finish(const RunStats& stats) override;

  private:
    struct Point {
        int64_t utc;  // microseconds since 1970
        ItemTime time;
        std::vector<std::optional<double>> values;
    };

    void FlushPoint();
    void PlaceWaiting();
    void WritePoint(const Position& at, const Point& point);
    void Feature(const Position& at, const std::string& properties);
    void Placemark(const Position& at, const ItemTime& time, std::string_view name,
                   std::string_view style, std::string_view description);

    std::ostream& out_;
    const ItemClock& clock_;
    GpsTrack track_;
    bool captureFixes_;          // the track grows from the capture's fixes
    std::deque<Point> waiting_;  // points for which no fix at or after their time came yet
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
