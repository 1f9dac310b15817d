#include "csv_sink.h"

#include <optional>
#include <string>

#include "item_time.h"
#include "param_catalogue.h"
#include "text_format.h"

namespace tessavo::cli {
namespace {

std::optional<uint16_t> ScalarColumn(uint32_t id) {
    const ParamInfo* info = FindParam(id);
    if (info == nullptr || info->kind != ParamKind::kScalar) return std::nullopt;
    return static_cast<uint16_t>(info - ScalarParams().data());
}

}  // namespace

void CsvSink::Consume(const ItemView& item) {
    if (everSet_.empty()) everSet_.assign(ScalarParams().size(), false);
    Row row{item.index,
            item.time,
            item.msgCode,
            item.direction,
            item.identity,
            static_cast<uint32_t>(changes_.size()),
            0};
    for (const DecodeParam& param : item.currentParams) {
        std::optional<uint16_t> column = ScalarColumn(param.id);
        if (!column) continue;
        // Fresh values (also a value re-listed as current) set the cell; a cleared one
        // empties it. The other states do not occur in a current list.
        if (param.state == TESSAVO_STATE_FRESH) {
            changes_.push_back({*column, false, param.value});
            everSet_[*column] = true;
        } else if (param.state == TESSAVO_STATE_CLEARED || param.state == TESSAVO_STATE_RETIRED) {
            changes_.push_back({*column, true, 0});
        } else {
            continue;
        }
        ++row.changeCount;
    }
    rows_.push_back(row);
}

void CsvSink::Finish(const RunStats&) {
    std::span<const ParamInfo> scalars = ScalarParams();
    std::vector<uint16_t> columns;
    for (size_t i = 0; i < everSet_.size(); ++i) {
        if (everSet_[i]) columns.push_back(static_cast<uint16_t>(i));
    }
    out_ << "index,time,msg_code,log_code,direction";
    for (uint16_t column : columns) out_ << ',' << CsvField(scalars[column].name);
    out_ << '\n';

    // Last-known value per catalogue entry; empty text is an unknown or cleared value.
    std::vector<std::string> state(scalars.size());
    for (const Row& row : rows_) {
        for (uint32_t k = 0; k < row.changeCount; ++k) {
            const Change& change = changes_[row.firstChange + k];
            state[change.column] =
                change.cleared ? std::string()
                               : ScaledValueText(change.value, scalars[change.column].scale);
        }
        std::string logCode;
        if (row.identity.logCode) logCode = HexNumber(*row.identity.logCode, 4);
        if (row.identity.command) logCode = "cmd:" + HexNumber(*row.identity.command, 2);
        out_ << row.index << ',' << FormatItemTime(row.time) << ',' << HexNumber(row.msgCode, 8)
             << ',' << logCode << ',' << row.direction;
        for (uint16_t column : columns) out_ << ',' << state[column];
        out_ << '\n';
    }
    out_.flush();
}

}  // namespace tessavo::cli
