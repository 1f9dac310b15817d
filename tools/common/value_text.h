// A scalar parameter's value as the outputs show it: the stored value divided by its scale,
// a coded value in engineering units (T_ADD in dB, a search window in chips) and identities
// as an engineer writes them (the ESN in hex, the IMSI as one digit string).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "param_catalogue.h"
#include "report_item_reader.h"

namespace tessavo::cli {

struct ShownValue {
    enum class Kind { kNumber, kText, kNone };
    Kind kind = Kind::kNumber;
    // kNumber: the value as stored integer over divisor; kText: an identity's digits.
    int64_t number = 0;
    int32_t divisor = 1;
    std::string text;
    std::string_view unit;
};

// `itemParams` are the other scalars of the same item's list: the upper half of a number
// split over two IDs is written by the same packet as its lower half. `info` may be null
// (an ID outside the catalogue).
ShownValue ShowValue(const ParamInfo* info, const DecodeParam& param,
                     std::span<const DecodeParam> itemParams);

// The shown value as text ("-7.5", "60", "80C9C915", "310001234567890"); empty for kNone.
std::string ShownText(const ShownValue& shown);

}  // namespace tessavo::cli
