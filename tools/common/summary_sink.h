// Summary output: what a capture holds, at a glance. Counts per log code and message code,
// the time span, ranges of the main radio values, the identities seen (SID, NID, BASE_ID,
// channels, PNs), call and handoff events counted from the signalling, and the frames that
// yielded no item, by reason, as far as the tool's own frame scan can tell.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "drive_kpis.h"
#include "item_sink.h"
#include "item_time.h"

namespace tessavo::cli {

class SummarySink : public ItemSink {
  public:
    SummarySink(std::ostream& out, const ItemClock& clock) : out_(out), clock_(clock) {}

    void Consume(const ItemView& item) override;
    void Finish(const RunStats& stats) override;

    struct Range {
        uint64_t count = 0;
        double min = 0;
        double max = 0;
        double sum = 0;
    };
    static constexpr size_t kRangeCount = 10;
    static constexpr size_t kIdentityCount = 9;

  private:
    void WriteNotReported(const RunStats& stats);

    std::ostream& out_;
    const ItemClock& clock_;
    uint64_t items_ = 0;
    std::optional<ItemTime> first_;
    std::optional<ItemTime> last_;
    std::unordered_map<uint32_t, uint64_t> byMsgCode_;
    CodeCounts byLogCode_;                    // logs by log code
    std::map<uint32_t, uint64_t> byCommand_;  // command responses by command code
    uint64_t unidentified_ = 0;
    std::array<Range, kRangeCount> ranges_{};
    // Per identity: the values in order (numbers by value, texts by text) and as shown.
    std::array<std::set<std::pair<int64_t, std::string>>, kIdentityCount> identities_;
    DriveAnalysis analysis_;  // the call, connection and handoff events and the KPIs
};

}  // namespace tessavo::cli
