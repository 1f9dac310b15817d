// JSONL output: one JSON object per report item.
#pragma once

#include <ostream>

#include "item_sink.h"

namespace tessavo::cli {

struct JsonlFields {
    bool inherited = false;  // "inherited_params" and "inherited_struct_params"
    bool dtlog = false;      // "dtlog": the item's DTLog text
    bool outFile = false;    // "outfile": the OutFile record in hex
    bool compact = false;    // "compact": the Zel simple block in hex
};

class JsonlSink : public ItemSink {
  public:
    JsonlSink(std::ostream& out, JsonlFields fields) : out_(out), fields_(fields) {}

    void Consume(const ItemView& item) override;
    void Finish(const RunStats& stats) override;

  private:
    std::ostream& out_;
    JsonlFields fields_;
};

// "fresh", "inherited", "cleared", "retired", or the number for any other state.
std::string ParamStateName(int32_t state);

}  // namespace tessavo::cli
