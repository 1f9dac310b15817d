// Which items and parameters reach the chosen output: --log-code, --params, --decoded-only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "report_item_reader.h"

namespace tessavo::cli {

struct ItemFilter {
    std::vector<uint16_t> logCodes;   // empty: every item
    std::vector<std::string> params;  // catalogue or view names; empty: every parameter
    std::vector<uint32_t> paramIds;   // their IDs (a view: its structured parameter)
    bool decodedOnly = false;         // skip items that set no (shown) parameter

    // Shows only `names` (catalogue or view names, as ParseParamNames gives them).
    void SelectParams(std::vector<std::string> names);
    bool ShowsParam(uint32_t id) const;
    bool Accepts(const ItemView& item) const;
};

// "0x1007,107C": log codes in hex, with or without 0x; nullopt with `error` set otherwise.
std::optional<std::vector<uint16_t>> ParseLogCodes(const std::string& text, std::string& error);

// "rx_power,0x7f010003,latitude": catalogue names, IDs or CSV view names, each turned into
// its name. nullopt with `error` set for an unknown one.
std::optional<std::vector<std::string>> ParseParamNames(const std::string& text,
                                                        std::string& error);

}  // namespace tessavo::cli
