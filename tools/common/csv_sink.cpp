#include "csv_sink.h"

#include <charconv>
#include <optional>
#include <string>

#include "message_names.h"
#include "param_catalogue.h"
#include "text_format.h"
#include "value_text.h"

namespace tessavo::cli {
namespace {

std::optional<uint16_t> ScalarIndex(uint32_t id) {
    const ParamInfo* info = FindParam(id);
    if (info == nullptr || info->kind != ParamKind::kScalar) return std::nullopt;
    return static_cast<uint16_t>(info - ScalarParams().data());
}

// A view's key in the changed list: after every scalar index.
constexpr uint32_t kViewKey = 0x10000;

bool IsSet(int32_t state) {
    return state == TESSAVO_STATE_FRESH || state == TESSAVO_STATE_INHERITED;
}

std::string LogCodeText(const PacketIdentity& identity) {
    if (identity.command) return "cmd:" + HexNumber(*identity.command, 2);
    if (identity.logCode) return HexNumber(*identity.logCode, 4);
    return {};
}

}  // namespace

ColumnDiscovery::ColumnDiscovery()
    : scalars_(ScalarParams().size(), false), views_(kViewCount, false) {}

void ColumnDiscovery::Consume(const ItemView& item) {
    for (const DecodeParam& param : item.currentParams) {
        if (param.state != TESSAVO_STATE_FRESH) continue;
        if (std::optional<uint16_t> index = ScalarIndex(param.id)) scalars_[*index] = true;
    }
    for (const StructParamRecord& record : item.currentStructs) {
        if (record.state != TESSAVO_STATE_FRESH) continue;
        ViewValues values;
        ComputeViews(record.id, record.payload, values);
        for (size_t v = 0; v < kViewCount; ++v) {
            if (values[v]) views_[v] = true;
        }
    }
}

std::vector<CsvColumn> ColumnDiscovery::Columns() const {
    std::vector<CsvColumn> columns;
    for (size_t i = 0; i < scalars_.size(); ++i) {
        if (scalars_[i]) columns.push_back({false, static_cast<uint16_t>(i)});
    }
    for (size_t v = 0; v < views_.size(); ++v) {
        if (views_[v]) columns.push_back({true, static_cast<uint16_t>(v)});
    }
    return columns;
}

std::vector<CsvColumn> ColumnsFromNames(const std::vector<std::string>& names) {
    std::vector<CsvColumn> columns;
    if (names.empty()) {
        for (size_t i = 0; i < ScalarParams().size(); ++i) {
            columns.push_back({false, static_cast<uint16_t>(i)});
        }
        for (size_t v = 0; v < kViewCount; ++v) columns.push_back({true, static_cast<uint16_t>(v)});
        return columns;
    }
    for (const std::string& name : names) {
        if (const ParamInfo* info = FindParamByName(name)) {
            if (std::optional<uint16_t> index = ScalarIndex(info->id)) {
                columns.push_back({false, *index});
            }
            continue;
        }
        for (size_t v = 0; v < kViewCount; ++v) {
            if (ScalarViews()[v].name == name) columns.push_back({true, static_cast<uint16_t>(v)});
        }
    }
    return columns;
}

CsvSink::CsvSink(std::ostream& out, std::vector<CsvColumn> columns, bool longLayout,
                 const ItemClock& clock)
    : out_(out),
      columns_(std::move(columns)),
      long_(longLayout),
      clock_(clock),
      scalarShown_(ScalarParams().size(), false),
      scalars_(ScalarParams().size()) {
    for (const CsvColumn& column : columns_) {
        if (!column.view) scalarShown_[column.index] = true;
    }
}

CsvSink::CsvSink(std::ostream& out, const ItemClock& clock) : CsvSink(out, {}, false, clock) {
    discovery_.emplace();
}

void CsvSink::WriteHeader() {
    headerWritten_ = true;
    if (long_) {
        out_ << "index,time,log_code,parameter,value,unit\n";
        return;
    }
    out_ << "index,time,msg_code,msg_name,log_code,direction";
    for (const CsvColumn& column : columns_) {
        std::string_view name =
            column.view ? ScalarViews()[column.index].name : ScalarParams()[column.index].name;
        out_ << ',' << CsvField(name);
    }
    out_ << '\n';
}

void CsvSink::UpdateState(const ItemView& item) {
    std::span<const ParamInfo> catalogue = ScalarParams();
    for (const DecodeParam& param : item.currentParams) {
        std::optional<uint16_t> index = ScalarIndex(param.id);
        if (!index) continue;
        // Fresh values (also a value re-listed as current) set the cell; a cleared one
        // empties it. The other states do not occur in a current list.
        if (param.state == TESSAVO_STATE_FRESH) {
            scalars_[*index] = ShownText(ShowValue(&catalogue[*index], param, item.currentParams));
        } else if (param.state == TESSAVO_STATE_CLEARED || param.state == TESSAVO_STATE_RETIRED) {
            scalars_[*index].clear();
        } else {
            continue;
        }
        changed_.push_back(*index);
    }
    for (const StructParamRecord& record : item.currentStructs) {
        if (IsSet(record.state)) {
            ComputeViews(record.id, record.payload, views_);
        } else {
            for (size_t v = 0; v < kViewCount; ++v) {
                if (ScalarViews()[v].source == record.id) views_[v].reset();
            }
        }
        for (size_t v = 0; v < kViewCount; ++v) {
            if (ScalarViews()[v].source == record.id) {
                changed_.push_back(kViewKey + static_cast<uint32_t>(v));
            }
        }
    }
}

void CsvSink::WriteLongRows(const ItemView& item) {
    std::string prefix = std::to_string(item.index) + ',' + clock_.Format(item.time) + ',' +
                         LogCodeText(item.identity) + ',';
    std::span<const ParamInfo> catalogue = ScalarParams();
    for (const DecodeParam& param : item.currentParams) {
        std::optional<uint16_t> index = ScalarIndex(param.id);
        if (!index || !scalarShown_[*index] || param.state != TESSAVO_STATE_FRESH) continue;
        const ParamInfo& info = catalogue[*index];
        const ShownValue shown = ShowValue(&info, param, item.currentParams);
        out_ << prefix << CsvField(info.name) << ',' << ShownText(shown) << ','
             << CsvField(shown.unit) << '\n';
    }
    for (const StructParamRecord& record : item.currentStructs) {
        if (record.state != TESSAVO_STATE_FRESH) continue;
        ViewValues values;
        ComputeViews(record.id, record.payload, values);
        for (const CsvColumn& column : columns_) {
            if (!column.view || !values[column.index]) continue;
            const ViewInfo& view = ScalarViews()[column.index];
            out_ << prefix << CsvField(view.name) << ',' << *values[column.index] << ','
                 << CsvField(view.unit) << '\n';
        }
    }
}

void CsvSink::AppendRowStart(const ItemView& item) {
    char number[24];
    line_.append(number, std::to_chars(number, number + sizeof number, item.index).ptr);
    line_ += ',';
    line_ += clock_.Format(item.time, time_);
    line_ += ',';
    line_ += HexNumber(item.msgCode, 8);
    line_ += ',';
    line_ += CsvField(MessageNameOf(item.msgCode));
    line_ += ',';
    line_ += LogCodeText(item.identity);
    line_ += ',';
    line_.append(number, std::to_chars(number, number + sizeof number, item.direction).ptr);
}

void CsvSink::WriteRow() {
    if (cellsStale_) {
        cells_.clear();
        for (const CsvColumn& column : columns_) {
            cells_ += ',';
            if (column.view) {
                if (views_[column.index]) cells_ += *views_[column.index];
            } else {
                cells_ += scalars_[column.index];
            }
        }
        cells_ += '\n';
        cellsStale_ = false;
    }
    line_ += cells_;
    out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
}

// A spooled row: its first six fields as text, then each changed cell as its key and text.
void CsvSink::SpoolRow() {
    spool_.AppendText(line_);
    spool_.AppendU32(static_cast<uint32_t>(changed_.size()));
    for (uint32_t key : changed_) {
        spool_.AppendU32(key);
        if (key >= kViewKey) {
            const std::optional<std::string>& view = views_[key - kViewKey];
            spool_.AppendText(view ? std::string_view(*view) : std::string_view());
        } else {
            spool_.AppendText(scalars_[key]);
        }
    }
}

void CsvSink::ReplaySpool() {
    columns_ = discovery_->Columns();
    WriteHeader();
    for (std::string& text : scalars_) text.clear();
    for (std::optional<std::string>& view : views_) view.reset();
    spool_.Rewind();
    cellsStale_ = true;
    uint32_t count = 0;
    std::string cell;
    while (spool_.ReadText(line_) && spool_.ReadU32(count)) {
        if (count != 0) cellsStale_ = true;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t key = 0;
            if (!spool_.ReadU32(key) || !spool_.ReadText(cell)) break;
            if (key >= kViewKey && key - kViewKey < kViewCount) {
                views_[key - kViewKey] = cell.empty() ? std::nullopt : std::optional(cell);
            } else if (key < scalars_.size()) {
                scalars_[key] = cell;
            }
        }
        WriteRow();
    }
    if (spool_.Failed()) error_ = "cannot read back the temporary file of the CSV rows";
}

void CsvSink::Consume(const ItemView& item) {
    if (discovery_) {
        discovery_->Consume(item);
    } else if (!headerWritten_) {
        WriteHeader();
    }
    if (long_) {
        WriteLongRows(item);
        return;
    }
    changed_.clear();
    UpdateState(item);
    if (!changed_.empty()) cellsStale_ = true;
    line_.clear();
    AppendRowStart(item);
    if (discovery_) {
        SpoolRow();
    } else {
        WriteRow();
    }
}

void CsvSink::Finish(const RunStats&) {
    if (discovery_) {
        ReplaySpool();
    } else if (!headerWritten_) {
        WriteHeader();
    }
    out_.flush();
}

}  // namespace tessavo::cli
