#include "events_sink.h"

#include "text_format.h"

namespace tessavo::cli {

EventsSink::EventsSink(std::ostream& out, const ItemClock& clock, KpiOptions options)
    : out_(out), clock_(clock), analysis_(options, [this](const DriveEvent& e) { Write(e); }) {
    out_ << "time,technology,event,details,item\n";
}

void EventsSink::Write(const DriveEvent& event) {
    const EventKindInfo& info = InfoOf(event.kind);
    out_ << clock_.Format(event.time, time_) << ',' << TechnologyName(info.technology) << ','
         << info.name << ',' << CsvField(event.details) << ',' << event.item << '\n';
}

void EventsSink::Finish(const RunStats& /*stats*/) {
    analysis_.Finish();
    out_.flush();
}

}  // namespace tessavo::cli
