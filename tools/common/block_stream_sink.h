// Outputs that are byte streams: the DTLog text (--format dtlog), the OutFile records
// (--outfile-records) and the compact re-encoded stream (--compact), each the items'
// blocks concatenated in item order.
#pragma once

#include <ostream>

#include "item_sink.h"

namespace tessavo::cli {

enum class ItemBlock { kDtlog, kOutFile, kCompact };

class BlockStreamSink : public ItemSink {
  public:
    BlockStreamSink(std::ostream& out, ItemBlock block) : out_(out), block_(block) {}

    void Consume(const ItemView& item) override;
    void Finish(const RunStats& stats) override;

  private:
    std::ostream& out_;
    ItemBlock block_;
};

}  // namespace tessavo::cli
