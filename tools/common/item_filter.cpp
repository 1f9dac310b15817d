#include "item_filter.h"

#include <algorithm>
#include <charconv>

#include "param_catalogue.h"
#include "struct_views.h"

namespace tessavo::cli {
namespace {

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        std::string part = text.substr(start, comma == std::string::npos ? comma : comma - start);
        if (!part.empty()) parts.push_back(part);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return parts;
}

std::optional<uint32_t> ParseHex(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    uint32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

void ItemFilter::SelectParams(std::vector<std::string> names) {
    params = std::move(names);
    paramIds.clear();
    // A CSV view shows its structured parameter in JSONL.
    for (const std::string& name : params) {
        if (const ParamInfo* info = FindParamByName(name)) paramIds.push_back(info->id);
        for (const ViewInfo& view : ScalarViews()) {
            if (view.name == name) paramIds.push_back(view.source);
        }
    }
}

bool ItemFilter::ShowsParam(uint32_t id) const {
    return params.empty() || std::find(paramIds.begin(), paramIds.end(), id) != paramIds.end();
}

bool ItemFilter::Accepts(const ItemView& item) const {
    if (!logCodes.empty()) {
        if (!item.identity.logCode) return false;
        if (std::find(logCodes.begin(), logCodes.end(), *item.identity.logCode) == logCodes.end()) {
            return false;
        }
    }
    if (!decodedOnly) return true;
    for (const DecodeParam& param : item.currentParams) {
        if (ShowsParam(param.id)) return true;
    }
    for (const StructParamRecord& record : item.currentStructs) {
        if (ShowsParam(record.id)) return true;
    }
    return false;
}

std::optional<std::vector<uint16_t>> ParseLogCodes(const std::string& text, std::string& error) {
    std::vector<uint16_t> codes;
    for (const std::string& part : SplitList(text)) {
        std::optional<uint32_t> code = ParseHex(part);
        if (!code || *code > 0xFFFF) {
            error = "'" + part +
                    "' is not a log code; give hexadecimal codes such as 0x1007, "
                    "separated by commas";
            return std::nullopt;
        }
        codes.push_back(static_cast<uint16_t>(*code));
    }
    if (codes.empty()) {
        error = "no log code given; give hexadecimal codes such as 0x1007,0x107C";
        return std::nullopt;
    }
    return codes;
}

std::optional<std::vector<std::string>> ParseParamNames(const std::string& text,
                                                        std::string& error) {
    std::vector<std::string> names;
    for (const std::string& part : SplitList(text)) {
        const ParamInfo* info = FindParamByName(part);
        if (info == nullptr && part.size() > 2 && part[0] == '0') {
            if (std::optional<uint32_t> id = ParseHex(part)) info = FindParam(*id);
        }
        if (info != nullptr) {
            names.emplace_back(info->name);
            continue;
        }
        auto views = ScalarViews();
        auto view = std::find_if(views.begin(), views.end(),
                                 [&](const ViewInfo& v) { return v.name == part; });
        if (view == views.end()) {
            error = "unknown parameter '" + part +
                    "'; 'tessavo-decode --list-params' lists the names and IDs";
            return std::nullopt;
        }
        names.emplace_back(view->name);
    }
    if (names.empty()) {
        error = "no parameter given; give catalogue names or IDs separated by commas";
        return std::nullopt;
    }
    return names;
}

}  // namespace tessavo::cli
