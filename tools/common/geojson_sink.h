// GeoJSON output: the drive on a map. A FeatureCollection with a point at every fresh best
// Ec/Io, receive power or EV-DO SINR (one per item time), carrying the radio values valid at
// that time (param_validity.h), and a point per drive event (drive_events.h); positions from
// a GPS track merged by time (gps_track.h). Items and events without a position are left out.
#pragma once

#include <optional>
#include <ostream>
#include <vector>

#include "drive_kpis.h"
#include "gps_track.h"
#include "item_sink.h"
#include "item_time.h"
#include "param_validity.h"

namespace tessavo::cli {

class GeoJsonSink : public ItemSink {
  public:
    GeoJsonSink(std::ostream& out, const ItemClock& clock, GpsTrack track);

    void Consume(const ItemView& item) override;
    void Finish(const RunStats& stats) override;

  private:
    void FlushPoint();
    void Feature(const Position& at, const std::string& properties);

    std::ostream& out_;
    const ItemClock& clock_;
    GpsTrack track_;
    DriveAnalysis analysis_;
    std::vector<DriveEvent> events_;
    ValidityTracker validity_;
    std::vector<std::optional<double>> last_;  // last fresh value of each shown parameter
    std::optional<ItemTime> pending_;          // a point to write once its time is complete
    std::vector<std::optional<double>> pendingValues_;
    bool first_ = true;
};

}  // namespace tessavo::cli
