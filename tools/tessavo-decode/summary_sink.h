// Summary output: what a capture holds, at a glance.
#pragma once

#include <map>
#include <optional>
#include <ostream>

#include "item_sink.h"

namespace tessavo::cli {

class SummarySink : public ItemSink {
  public:
    explicit SummarySink(std::ostream& out) : out_(out) {}

    void Consume(const ItemView& item) override;
    void Finish(const RunStats& stats) override;

  private:
    std::ostream& out_;
    uint64_t items_ = 0;
    std::optional<ItemTime> first_;
    std::optional<ItemTime> last_;
    std::map<uint32_t, uint64_t> byMsgCode_;
    std::map<uint32_t, uint64_t> byLogCode_;  // logs by log code
    std::map<uint32_t, uint64_t> byCommand_;  // command responses by command code
    uint64_t unidentified_ = 0;
};

}  // namespace tessavo::cli
