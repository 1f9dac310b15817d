// JSONL output: one JSON object per report item.
#pragma once

#include <ostream>
#include <string>

#include "item_filter.h"
#include "item_sink.h"
#include "item_time.h"
#include "json_writer.h"

namespace tessavo::cli {

struct JsonlFields {
    bool inherited = false;  // "inherited_params" and "inherited_struct_params"
    bool dtlog = false;      // "dtlog": the item's DTLog text
    bool outFile = false;    // "outfile": the OutFile record in hex
    bool compact = false;    // "compact": the Zel simple block in hex
};

class JsonlSink : public ItemSink {
  public:
    JsonlSink(std::ostream& out, JsonlFields fields, const ItemClock& clock,
              const ItemFilter& filter)
        : out_(out), fields_(fields), clock_(clock), filter_(filter) {}

    void Consume(const ItemView& item) override;
    void Finish(const RunStats& stats) override;

  private:
    std::ostream& out_;
    JsonlFields fields_;
    const ItemClock& clock_;
    const ItemFilter& filter_;
    JsonWriter json_;  // its buffer is kept from line to line
    TimeText time_;
    TimeText timeUtc_;
};

// "fresh", "inherited", "cleared", "retired", or the number for any other state.
std::string ParamStateName(int32_t state);

// "forward" (received by the handset), "reverse" (sent by it), or empty.
std::string_view DirectionName(uint32_t direction);

}  // namespace tessavo::cli
