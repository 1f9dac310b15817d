// Events output: one CSV row per drive-test event (drive_events.h) as it is found, with its
// UTC time (or local with --tz), technology, event name, details and the number of the item
// that showed it.
#pragma once

#include <ostream>

#include "drive_kpis.h"
#include "item_sink.h"
#include "item_time.h"

namespace tessavo::cli {

class EventsSink : public ItemSink {
  public:
    EventsSink(std::ostream& out, const ItemClock& clock, KpiOptions options = {});

    void Consume(const ItemView& item) override { analysis_.Consume(item); }
    void Finish(const RunStats& stats) override;

  private:
    void Write(const DriveEvent& event);

    std::ostream& out_;
    const ItemClock& clock_;
    TimeText time_;
    DriveAnalysis analysis_;
};

}  // namespace tessavo::cli
