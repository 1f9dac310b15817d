// CSV output, in memory that does not grow with the capture.
//
// Wide layout: one row per report item and one column per chosen parameter. A cell holds
// the parameter's last-known value, carried forward from the item that set it, as the
// library's inherited lists do; a cleared parameter leaves its cells empty until it is set
// again. The columns are either fixed before the first row (the ones named by --params, or
// the whole catalogue for standard input) and the rows written as items arrive, or found
// while decoding (the parameters set anywhere in the files): then each item's changes are
// spooled and the rows written at the end, from one decoding pass.
//
// Long layout: one row per freshly set value: index, time, log code, parameter, value,
// unit. Tidy data for tools that pivot themselves.
//
// Besides the scalar parameters there are the views of structured ones (struct_views.h).
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "item_filter.h"
#include "item_sink.h"
#include "item_time.h"
#include "param_validity.h"
#include "row_spool.h"
#include "struct_views.h"

namespace tessavo::cli {

// A column: a scalar catalogue entry (index into ScalarParams()) or a view.
struct CsvColumn {
    bool view = false;
    uint16_t index = 0;
};

// Which columns a capture needs: fed every item of a first pass (or of the real pass), it
// notes the scalars set fresh and the views a structured parameter gives.
class ColumnDiscovery {
  public:
    ColumnDiscovery();
    void Consume(const ItemView& item);
    std::vector<CsvColumn> Columns() const;  // catalogue order, then the views

  private:
    std::vector<bool> scalars_;
    std::vector<bool> views_;
};

// The columns named by --params, in that order; every scalar and view when none is named.
std::vector<CsvColumn> ColumnsFromNames(const std::vector<std::string>& names);

class CsvSink : public ItemSink {
  public:
    CsvSink(std::ostream& out, std::vector<CsvColumn> columns, bool longLayout,
            const ItemClock& clock);
    // Wide layout with the columns found in the items themselves.
    CsvSink(std::ostream& out, const ItemClock& clock);

    void Consume(const ItemView& item) override;
    void Finish(const RunStats& stats) override;
    std::string Error() const override { return error_; }

    // Wide layout: keep every last-known value (`all`) instead of leaving a cell empty where
    // the parameter's validity rule (param_validity.h) says the value no longer holds.
    void SetCarryForwardAll(bool all) { carryAll_ = all; }

  private:
    void WriteHeader();
    void UpdateState(const ItemView& item);
    void WriteLongRows(const ItemView& item);
    void AppendRowStart(const ItemView& item);
    void ApplyValidity(const ItemView& item);
    const std::string& Shown(uint16_t index) const;
    void WriteRow();
    void SpoolRow();
    void ReplaySpool();

    std::ostream& out_;
    std::vector<CsvColumn> columns_;
    bool long_;
    const ItemClock& clock_;
    bool headerWritten_ = false;
    std::vector<bool> scalarShown_;     // by scalar index: a column of this sink
    std::vector<std::string> scalars_;  // last-known text by scalar index
    ViewValues views_;
    std::string line_;  // reused row buffer
    // The cells of the columns, joined, with the row's newline; most items change none, so
    // they are joined again only after a change.
    std::string cells_;
    bool cellsStale_ = true;
    TimeText time_;

    // Found columns: what is set so far, the keys (scalar index, or kViewKey + view) each
    // item changed, and the spooled rows.
    std::optional<ColumnDiscovery> discovery_;
    std::vector<uint32_t> changed_;
    RowSpool spool_;
    std::string error_;

    // Validity: the scalars with a rule that were ever set, and whether each one's value
    // holds at the current item. Replayed rows carry the cells as shown already.
    bool carryAll_ = false;
    bool replaying_ = false;
    ValidityTracker validity_;
    std::vector<uint16_t> ruled_;
    std::vector<bool> valid_;
};

}  // namespace tessavo::cli
