#include "jsonl_sink.h"

#include <nlohmann/json.hpp>
#include <string>

#include "item_time.h"
#include "json_writer.h"
#include "message_names.h"
#include "param_catalogue.h"
#include "struct_views.h"
#include "text_format.h"
#include "value_text.h"

namespace tessavo::cli {
namespace {

void ScalarJson(JsonWriter& json, const DecodeParam& param, std::span<const DecodeParam> list) {
    const ParamInfo* info = FindParam(param.id);
    const ShownValue shown = ShowValue(info, param, list);
    json.BeginObject();
    json.Key("id");
    json.String(HexNumber(param.id, 8));
    json.Key("name").String(info != nullptr ? std::string(info->name) : GenericParamName(param.id));
    json.Key("unit").String(shown.unit);
    json.Key("value");
    switch (shown.kind) {
        case ShownValue::Kind::kText:
            json.String(shown.text);
            break;
        case ShownValue::Kind::kNone:
            json.Null();
            break;
        case ShownValue::Kind::kNumber:
            if (shown.divisor == 1) {
                json.Int(shown.number);
            } else {
                json.Double(static_cast<double>(shown.number) / static_cast<double>(shown.divisor));
            }
            break;
    }
    json.Key("raw").Int(param.value);
    json.Key("scale").Int(param.scale);
    json.Key("state").String(ParamStateName(param.state));
    if (info != nullptr && !info->labels.empty()) {
        json.Key("label").StringOrNull(ValueLabelOf(*info, param.value));
    }
    json.EndObject();
}

void StructJson(JsonWriter& json, const StructParamRecord& record) {
    json.BeginObject();
    json.Key("id");
    json.String(HexNumber(record.id, 8));
    json.Key("name").String(ParamName(record.id));
    json.Key("length").Int(record.length);
    json.Key("state").String(ParamStateName(record.state));
    // A cleared record keeps stale bytes; only a set one is shown.
    bool set = record.state == TESSAVO_STATE_FRESH || record.state == TESSAVO_STATE_INHERITED;
    nlohmann::ordered_json fields =
        set ? StructFields(record.id, record.payload) : nlohmann::ordered_json();
    if (fields.is_null()) {
        json.Key("hex").String(HexBytes(record.payload));
    } else {
        json.Key("fields").Raw(
            fields.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
    }
    json.EndObject();
}

void ScalarList(JsonWriter& json, const std::vector<DecodeParam>& params,
                const ItemFilter& filter) {
    json.BeginArray();
    for (const DecodeParam& param : params) {
        if (filter.ShowsParam(param.id)) ScalarJson(json, param, params);
    }
    json.EndArray();
}

void StructList(JsonWriter& json, const std::vector<StructParamRecord>& records,
                const ItemFilter& filter) {
    json.BeginArray();
    for (const StructParamRecord& record : records) {
        if (filter.ShowsParam(record.id)) StructJson(json, record);
    }
    json.EndArray();
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
    JsonWriter& json = json_;
    json.Clear();
    json.BeginObject();
    json.Key("index").Int(item.index);
    const std::string_view time = clock_.Format(item.time, time_);
    json.Key("time").String(time);
    json.Key("time_utc").String(clock_.Local() ? clock_.FormatUtc(item.time, timeUtc_) : time);
    // The library's pair as it gives it in its own zone (UTC+8, where its seconds are the GPS
    // time as Unix seconds), whatever the process's zone and --tz: the same for every run.
    int32_t microseconds = 0;
    const int64_t seconds = clock_.GpsSeconds(item.time, &microseconds) + kGpsEpochUnixSeconds;
    json.Key("time_raw").BeginArray();
    json.Int(static_cast<int32_t>(seconds));
    json.Int(microseconds);
    json.EndArray();
    json.Key("msg_code");
    json.String(HexNumber(item.msgCode, 8));
    json.Key("msg_name").StringOrNull(MessageNameOf(item.msgCode));
    json.Key("log_code")
        .StringOrNull(item.identity.logCode ? HexNumber(*item.identity.logCode, 4) : std::string());
    json.Key("command").StringOrNull(item.identity.command ? HexNumber(*item.identity.command, 2)
                                                           : std::string());
    json.Key("direction").Int(item.direction);
    json.Key("direction_label").StringOrNull(DirectionName(item.direction));
    json.Key("params");
    ScalarList(json, item.currentParams, filter_);
    json.Key("struct_params");
    StructList(json, item.currentStructs, filter_);
    if (fields_.inherited) {
        json.Key("inherited_params");
        ScalarList(json, item.inheritedParams, filter_);
        json.Key("inherited_struct_params");
        StructList(json, item.inheritedStructs, filter_);
    }
    if (fields_.dtlog) {
        // Text copied from packets need not be UTF-8; what is not is replaced rather than
        // failing the line.
        json.Key("dtlog").Raw(
            nlohmann::ordered_json(std::string(item.dtlog.begin(), item.dtlog.end()))
                .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
    }
    if (fields_.outFile) {
        json.Key("outfile");
        json.String(HexBytes(item.outFile));
    }
    if (fields_.compact) {
        json.Key("compact");
        json.String(HexBytes(item.compact));
    }
    json.EndObject();
    json.Newline();
    const std::string_view line = json.Text();
    out_.write(line.data(), static_cast<std::streamsize>(line.size()));
}

void JsonlSink::Finish(const RunStats&) {
    out_.flush();
}

}  // namespace tessavo::cli
