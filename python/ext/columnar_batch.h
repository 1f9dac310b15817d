// Report items as columns: the tables under tessavo.to_dataframe and iter_dataframes.
//
// Each item passed by the filter adds one row (item number, time, message code, log code,
// command, direction) and one event per value it changes: a scalar set fresh or cleared, a
// view of a structured parameter (active set size, ..., longitude) given or taken away.
// Events are all a batch keeps per item; the wide table is made from them column by column
// at Take, carrying each value forward as the CSV does, and the last-known values carry over
// to the next batch. So a batch of N items costs about its table, whatever the capture.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "csv_sink.h"
#include "item_filter.h"
#include "item_time.h"
#include "param_catalogue.h"
#include "report_item_reader.h"

namespace tessavo::python {

namespace py = pybind11;

// Column keys: a scalar's slot in the catalogue (0..383), then the views after them.
inline constexpr uint16_t kViewKeyBase = cli::kScalarParamCount;
inline constexpr uint16_t kColumnKeyCount = kViewKeyBase + cli::kViewCount;

class ColumnarBatch {
  public:
    explicit ColumnarBatch(cli::ItemFilter filter);

    void Consume(const cli::ItemView& item);
    size_t Rows() const { return rows_.item.size(); }

    // Keys of the columns a table of every item so far needs (set fresh somewhere), in
    // catalogue order, then the views.
    std::vector<uint16_t> FoundColumns() const;

    // The first `limit` rows (all when fewer) as arrays, forgotten afterwards: "item",
    // "time" (UTC nanoseconds), "msg_code", "log_code" and "command" (-1 for none),
    // "direction"; for the wide layout "floats" (one row per key of `floatKeys`, NaN where
    // unknown), "integers" and "missing" (one row per key of `integerKeys`), "text_codes"
    // (one row per key of `textKeys`: the index of the text in "text_values", -1 for none); for the
    // long layout "row", "key", "value" and "text" (str for an identity, else None) of the fresh
    // values of the keys.
    py::dict Take(const std::vector<uint16_t>& floatKeys, const std::vector<uint16_t>& integerKeys,
                  const std::vector<uint16_t>& textKeys, bool longLayout, size_t limit);

    // Whether a key's values are texts (identities: ESN in hex, IMSI digits).
    static bool IsTextKey(uint16_t key);

  private:
    void Event(uint16_t key, double value, bool fresh);

    cli::ItemFilter filter_;
    cli::ItemClock clock_;
    cli::ColumnDiscovery discovery_;
    cli::ViewValues viewState_;  // the views as the item stream stands
    struct Rows {
        std::vector<int64_t> item, time;
        std::vector<uint32_t> msgCode;
        std::vector<int32_t> logCode, command;
        std::vector<uint16_t> direction;
    } rows_;
    struct Events {
        std::vector<uint32_t> row;  // within the batch
        std::vector<uint16_t> key;
        std::vector<double> value;  // NaN: cleared
        std::vector<bool> fresh;
    } events_;
    std::vector<double> carried_;  // last-known value per key at the start of the batch
    // The texts of identities; an identity's events carry the index of its text.
    std::vector<std::string> texts_;
    std::unordered_map<std::string, double> textIndex_;
};

}  // namespace tessavo::python
