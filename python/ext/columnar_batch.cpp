#include "columnar_batch.h"

#include <pybind11/stl.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "param_catalogue.h"
#include "struct_views.h"
#include "value_text.h"

namespace tessavo::python {
namespace {

constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

bool IsText(const cli::ParamInfo& info) {
    return info.form == cli::ValueForm::kHex || info.form == cli::ValueForm::kDigits ||
           info.form == cli::ValueForm::kPairLow;
}

std::optional<uint16_t> ScalarKey(uint32_t id) {
    const cli::ParamInfo* info = cli::FindParam(id);
    if (info == nullptr || info->kind != cli::ParamKind::kScalar) return std::nullopt;
    return static_cast<uint16_t>(info - cli::ScalarParams().data());
}

// A view's text as the CSV writes it, read back: the table holds what the CSV shows.
double ViewNumber(const std::string& text) {
    double value = kUnknown;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// The first `count` values as an array; they leave the vector.
template <typename T>
py::array_t<T> TakeFront(std::vector<T>& values, size_t count) {
    py::array_t<T> array(static_cast<py::ssize_t>(count));
    std::copy_n(values.begin(), count, array.mutable_data());
    values.erase(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(count));
    return array;
}

// A numpy array of objects (numpy fills it with None) and a cell setter keeping counts right.
py::array ObjectArray(std::vector<py::ssize_t> shape) {
    return py::array(py::dtype("O"), std::move(shape));
}

void SetCell(py::array& array, size_t index, const py::object& value) {
    PyObject** cells = static_cast<PyObject**>(array.mutable_data());
    Py_INCREF(value.ptr());
    Py_XDECREF(cells[index]);
    cells[index] = value.ptr();
}

template <typename T>
py::array_t<T> ArrayOf(std::vector<T>& values) {
    return TakeFront(values, values.size());
}

}  // namespace

bool ColumnarBatch::IsTextKey(uint16_t key) {
    return key < kViewKeyBase && IsText(cli::ScalarParams()[key]);
}

ColumnarBatch::ColumnarBatch(cli::ItemFilter filter)
    : filter_(std::move(filter)), carried_(kColumnKeyCount, kUnknown) {}

void ColumnarBatch::Event(uint16_t key, double value, bool fresh) {
    events_.row.push_back(static_cast<uint32_t>(rows_.item.size()));
    events_.key.push_back(key);
    events_.value.push_back(value);
    events_.fresh.push_back(fresh);
}

void ColumnarBatch::Consume(const cli::ItemView& item) {
    if (!filter_.Accepts(item)) return;
    discovery_.Consume(item);
    std::span<const cli::ParamInfo> scalars = cli::ScalarParams();
    for (const DecodeParam& param : item.currentParams) {
        std::optional<uint16_t> key = ScalarKey(param.id);
        if (!key) continue;
        if (param.state == TESSAVO_STATE_FRESH) {
            const cli::ShownValue shown = cli::ShowValue(&scalars[*key], param, item.currentParams);
            double value = kUnknown;  // a code outside its table has no value
            if (IsText(scalars[*key])) {
                const std::string text = cli::ShownText(shown);
                auto [at, added] = textIndex_.try_emplace(text, static_cast<double>(texts_.size()));
                if (added) texts_.push_back(text);
                value = at->second;
            } else if (shown.kind == cli::ShownValue::Kind::kNumber) {
                value = static_cast<double>(shown.number) / shown.divisor;
            }
            Event(*key, value, true);
        } else if (param.state == TESSAVO_STATE_CLEARED || param.state == TESSAVO_STATE_RETIRED) {
            Event(*key, kUnknown, false);
        }
    }
    std::span<const cli::ViewInfo, cli::kViewCount> views = cli::ScalarViews();
    for (const cli::StructParamRecord& record : item.currentStructs) {
        bool set = record.state == TESSAVO_STATE_FRESH || record.state == TESSAVO_STATE_INHERITED;
        if (set) cli::ComputeViews(record.id, record.payload, viewState_);
        for (size_t v = 0; v < cli::kViewCount; ++v) {
            if (views[v].source != record.id) continue;
            if (!set) viewState_[v].reset();
            const auto& text = viewState_[v];
            Event(static_cast<uint16_t>(kViewKeyBase + v), text ? ViewNumber(*text) : kUnknown,
                  text && record.state == TESSAVO_STATE_FRESH);
        }
    }
    rows_.item.push_back(item.index);
    const cli::UtcInstant instant = clock_.ToUtc(item.time);
    rows_.time.push_back(instant.seconds * 1'000'000'000 + instant.microseconds * int64_t{1000});
    rows_.msgCode.push_back(item.msgCode);
    rows_.logCode.push_back(item.identity.logCode ? *item.identity.logCode : -1);
    rows_.command.push_back(item.identity.command ? *item.identity.command : -1);
    rows_.direction.push_back(static_cast<uint16_t>(item.direction));
}

std::vector<uint16_t> ColumnarBatch::FoundColumns() const {
    std::vector<uint16_t> keys;
    for (const cli::CsvColumn& column : discovery_.Columns()) {
        keys.push_back(column.view ? static_cast<uint16_t>(kViewKeyBase + column.index)
                                   : column.index);
    }
    return keys;
}

py::dict ColumnarBatch::Take(const std::vector<uint16_t>& floatKeys,
                             const std::vector<uint16_t>& integerKeys,
                             const std::vector<uint16_t>& textKeys, bool longLayout, size_t limit) {
    for (const auto* keys : {&floatKeys, &integerKeys, &textKeys}) {
        for (uint16_t key : *keys) {
            if (key >= kColumnKeyCount) throw py::value_error("column key out of range");
        }
    }
    // One Python string per text, shared by its cells.
    std::vector<py::object> textObjects;
    textObjects.reserve(texts_.size());
    for (const std::string& text : texts_) textObjects.push_back(py::str(text));
    auto textOf = [&](double value) -> py::object {
        if (std::isnan(value)) return py::none();
        return textObjects[static_cast<size_t>(value)];
    };
    const size_t rows = std::min(limit, Rows());
    // The events of those rows.
    const size_t events = static_cast<size_t>(
        std::lower_bound(events_.row.begin(), events_.row.end(), static_cast<uint32_t>(rows)) -
        events_.row.begin());
    py::dict out;
    if (longLayout) {
        std::vector<bool> shown(kColumnKeyCount, false);
        for (uint16_t key : floatKeys) shown[key] = true;
        for (uint16_t key : integerKeys) shown[key] = true;
        for (uint16_t key : textKeys) shown[key] = true;
        std::vector<uint32_t> row;
        std::vector<uint16_t> key;
        std::vector<double> value;
        for (size_t e = 0; e < events; ++e) {
            if (!events_.fresh[e] || !shown[events_.key[e]]) continue;
            row.push_back(events_.row[e]);
            key.push_back(events_.key[e]);
            value.push_back(events_.value[e]);
        }
        py::array text = ObjectArray({static_cast<py::ssize_t>(row.size())});
        for (size_t r = 0; r < row.size(); ++r) {
            if (!IsTextKey(key[r])) continue;
            SetCell(text, r, textOf(value[r]));
            value[r] = kUnknown;
        }
        out["row"] = ArrayOf(row);
        out["key"] = ArrayOf(key);
        out["value"] = ArrayOf(value);
        out["text"] = std::move(text);
    } else {
        const auto n = static_cast<py::ssize_t>(rows);
        py::array_t<double> floats({static_cast<py::ssize_t>(floatKeys.size()), n});
        py::array_t<int64_t> integers({static_cast<py::ssize_t>(integerKeys.size()), n});
        py::array_t<bool> missing({static_cast<py::ssize_t>(integerKeys.size()), n});
        py::array_t<int32_t> textCodes({static_cast<py::ssize_t>(textKeys.size()), n});
        int32_t* t = textCodes.mutable_data();
        double* f = floats.mutable_data();
        int64_t* ints = integers.mutable_data();
        bool* gaps = missing.mutable_data();
        // The events grouped by key, each group in row order (a counting sort), so that a
        // column is written front to back in runs of one value.
        std::vector<uint32_t> first(kColumnKeyCount + 1, 0);
        for (size_t e = 0; e < events; ++e) ++first[events_.key[e] + 1u];
        for (size_t k = 0; k < kColumnKeyCount; ++k) first[k + 1] += first[k];
        std::vector<uint32_t> order(events);
        std::vector<uint32_t> next(first.begin(), first.end() - 1);
        for (size_t e = 0; e < events; ++e)
            order[next[events_.key[e]]++] = static_cast<uint32_t>(e);
        // Calls fill(from, to, value) for the runs of rows of one value of `key`.
        auto runs = [&](uint16_t key, auto fill) {
            double value = carried_[key];
            size_t from = 0;
            for (uint32_t i = first[key]; i < first[key + 1u]; ++i) {
                const size_t row = events_.row[order[i]];
                fill(from, row, value);
                value = events_.value[order[i]];
                from = row;
            }
            fill(from, rows, value);
        };
        for (size_t c = 0; c < floatKeys.size(); ++c) {
            runs(floatKeys[c], [&](size_t from, size_t to, double value) {
                std::fill(f + c * rows + from, f + c * rows + to, value);
            });
        }
        for (size_t c = 0; c < textKeys.size(); ++c) {
            runs(textKeys[c], [&](size_t from, size_t to, double value) {
                std::fill(t + c * rows + from, t + c * rows + to,
                          std::isnan(value) ? -1 : static_cast<int32_t>(value));
            });
        }
        for (size_t c = 0; c < integerKeys.size(); ++c) {
            runs(integerKeys[c], [&](size_t from, size_t to, double value) {
                const bool gap = std::isnan(value);
                std::fill(ints + c * rows + from, ints + c * rows + to,
                          gap ? 0 : static_cast<int64_t>(value));
                std::fill(gaps + c * rows + from, gaps + c * rows + to, gap);
            });
        }
        out["floats"] = std::move(floats);
        out["integers"] = std::move(integers);
        out["missing"] = std::move(missing);
        out["text_codes"] = std::move(textCodes);
        out["text_values"] = py::cast(texts_);
    }
    // Every key carries its value to the next batch, shown in this one or not.
    for (size_t e = 0; e < events; ++e) carried_[events_.key[e]] = events_.value[e];
    const auto cut = static_cast<std::ptrdiff_t>(events);
    events_.row.erase(events_.row.begin(), events_.row.begin() + cut);
    for (uint32_t& row : events_.row) row -= static_cast<uint32_t>(rows);
    events_.key.erase(events_.key.begin(), events_.key.begin() + cut);
    events_.value.erase(events_.value.begin(), events_.value.begin() + cut);
    events_.fresh.erase(events_.fresh.begin(), events_.fresh.begin() + cut);
    out["item"] = TakeFront(rows_.item, rows);
    out["time"] = TakeFront(rows_.time, rows);
    out["msg_code"] = TakeFront(rows_.msgCode, rows);
    out["log_code"] = TakeFront(rows_.logCode, rows);
    out["command"] = TakeFront(rows_.command, rows);
    out["direction"] = TakeFront(rows_.direction, rows);
    return out;
}

}  // namespace tessavo::python
