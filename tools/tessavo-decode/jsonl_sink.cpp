#include "jsonl_sink.h"

#include <nlohmann/json.hpp>
#include <string>

#include "item_time.h"
#include "param_catalogue.h"
#include "struct_views.h"
#include "text_format.h"

namespace tessavo::cli {
namespace {

using Json = nlohmann::ordered_json;

Json ScalarJson(const DecodeParam& param) {
    const ParamInfo* info = FindParam(param.id);
    Json entry;
    entry["id"] = HexNumber(param.id, 8);
    entry["name"] = info != nullptr ? std::string(info->name) : GenericParamName(param.id);
    entry["unit"] = info != nullptr ? std::string(info->unit) : std::string();
    if (param.scale == 1 || param.scale == 0) {
        entry["value"] = param.value;
    } else {
        entry["value"] = static_cast<double>(param.value) / static_cast<double>(param.scale);
    }
    entry["raw"] = param.value;
    entry["scale"] = param.scale;
    entry["state"] = ParamStateName(param.state);
    if (info != nullptr && !info->labels.empty()) {
        std::string_view label = ValueLabelOf(*info, param.value);
        entry["label"] = label.empty() ? Json() : Json(std::string(label));
    }
    return entry;
}

Json StructJson(const StructParamRecord& record) {
    Json entry;
    entry["id"] = HexNumber(record.id, 8);
    entry["name"] = ParamName(record.id);
    entry["length"] = record.length;
    entry["state"] = ParamStateName(record.state);
    // A cleared record keeps stale bytes; only a set one is shown.
    bool set = record.state == TESSAVO_STATE_FRESH || record.state == TESSAVO_STATE_INHERITED;
    Json fields = set ? StructFields(record.id, record.payload) : Json();
    if (fields.is_null()) {
        entry["hex"] = HexBytes(record.payload);
    } else {
        entry["fields"] = std::move(fields);
    }
    return entry;
}

Json ScalarList(const std::vector<DecodeParam>& params, const ItemFilter& filter) {
    Json list = Json::array();
    for (const DecodeParam& param : params) {
        if (filter.ShowsParam(param.id)) list.push_back(ScalarJson(param));
    }
    return list;
}

Json StructList(const std::vector<StructParamRecord>& records, const ItemFilter& filter) {
    Json list = Json::array();
    for (const StructParamRecord& record : records) {
        if (filter.ShowsParam(record.id)) list.push_back(StructJson(record));
    }
    return list;
}

}  // namespace

std::string ParamStateName(int32_t state) {
    switch (state) {
        case TESSAVO_STATE_FRESH:
            return "fresh";
        case TESSAVO_STATE_INHERITED:
            return "inherited";
        case TESSAVO_STATE_CLEARED:
            return "cleared";
        case TESSAVO_STATE_RETIRED:
            return "retired";
        default:
            return std::to_string(state);
    }
}

std::string_view DirectionName(uint32_t direction) {
    switch (direction) {
        case 0:
            return "forward";
        case 1:
            return "reverse";
        default:
            return {};
    }
}

void JsonlSink::Consume(const ItemView& item) {
    Json line;
    line["index"] = item.index;
    line["time"] = clock_.Format(item.time);
    line["time_utc"] = clock_.FormatUtc(item.time);
    // The pair as the library gave it (its seconds count from 08:00 local time).
    line["time_raw"] = {item.time.seconds, item.time.microseconds};
    line["msg_code"] = HexNumber(item.msgCode, 8);
    line["log_code"] = item.identity.logCode ? Json(HexNumber(*item.identity.logCode, 4)) : Json();
    line["command"] = item.identity.command ? Json(HexNumber(*item.identity.command, 2)) : Json();
    line["direction"] = item.direction;
    std::string_view direction = DirectionName(item.direction);
    line["direction_label"] = direction.empty() ? Json() : Json(std::string(direction));
    line["params"] = ScalarList(item.currentParams, filter_);
    line["struct_params"] = StructList(item.currentStructs, filter_);
    if (fields_.inherited) {
        line["inherited_params"] = ScalarList(item.inheritedParams, filter_);
        line["inherited_struct_params"] = StructList(item.inheritedStructs, filter_);
    }
    if (fields_.dtlog) {
        line["dtlog"] = std::string(item.dtlog.begin(), item.dtlog.end());
    }
    if (fields_.outFile) line["outfile"] = HexBytes(item.outFile);
    if (fields_.compact) line["compact"] = HexBytes(item.compact);
    // Text copied from packets need not be UTF-8; replace what is not rather than fail.
    out_ << line.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

void JsonlSink::Finish(const RunStats&) {
    out_.flush();
}

}  // namespace tessavo::cli
