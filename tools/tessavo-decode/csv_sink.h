// CSV output: the complete state of the handset over time.
//
// One row per report item and one column per scalar parameter that the input ever sets
// (named from the catalogue, in catalogue order). A cell holds the parameter's last-known
// value, carried forward from the item that set it, as the library's inherited lists do; a
// cleared parameter leaves its cells empty until it is set again. Structured parameters
// are not columns (see the JSONL output).
//
// The column set is known only at the end, so rows are kept until then, each as the
// changes its item brought (its current list): a few bytes per item, not a full row.
#pragma once

#include <ostream>
#include <vector>

#include "item_sink.h"

namespace tessavo::cli {

class CsvSink : public ItemSink {
  public:
    explicit CsvSink(std::ostream& out) : out_(out) {}

    void Consume(const ItemView& item) override;
    void Finish(const RunStats& stats) override;

  private:
    struct Change {
        uint16_t column;  // index into the catalogue's scalar entries
        bool cleared;
        int32_t value;
    };
    struct Row {
        int64_t index;
        ItemTime time;
        uint32_t msgCode;
        uint32_t direction;
        PacketIdentity identity;
        uint32_t firstChange;  // into changes_
        uint32_t changeCount;
    };

    std::ostream& out_;
    std::vector<Row> rows_;
    std::vector<Change> changes_;
    std::vector<bool> everSet_;
};

}  // namespace tessavo::cli
