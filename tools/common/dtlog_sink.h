// DTLog output (--format dtlog): the library's DTLog lines, each prefixed with the index and
// time of the item it describes.
//
// The library hands an item's DTLog text out with the item after it, so the text in item i
// renders the packet of item i - 1. This sink undoes that lag: it keeps the index and time
// of the previous item and writes the text it receives under them. The filters apply to the
// item the text describes. The last item's text comes with the item the host loop adds at
// the end of the input (decoder_session.h).
#pragma once

#include <cstdint>
#include <ostream>

#include "item_filter.h"
#include "item_sink.h"
#include "item_time.h"

namespace tessavo::cli {

class DtLogSink : public ItemSink {
  public:
    DtLogSink(std::ostream& out, const ItemClock& clock, const ItemFilter& filter)
        : out_(out), clock_(clock), filter_(filter) {}

    // Expects every item, in order, whatever the filters.
    void Consume(const ItemView& item) override;
    void Finish(const RunStats& stats) override;

  private:
    std::ostream& out_;
    const ItemClock& clock_;
    const ItemFilter& filter_;
    bool havePrevious_ = false;
    bool previousShown_ = false;
    int64_t previousIndex_ = 0;
    ItemTime previousTime_{};
};

}  // namespace tessavo::cli
