// Structured parameters as fields.
//
// The payloads whose layout the decoders fix (pilot sets, finger list, pilot and sector
// tables, the paging-channel parameter records, the position fix, the status record) are
// turned into JSON objects; the rest stay hex. A few scalar views of them (active set
// size, best active pilot, latitude, longitude) become CSV columns.
#pragma once

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tessavo::cli {

// Null when the layout of `id` is not decoded or the payload is shorter than the layout.
nlohmann::ordered_json StructFields(uint32_t id, std::span<const uint8_t> payload);

struct ViewInfo {
    std::string_view name;
    std::string_view unit;
    std::string_view description;
    uint32_t source;  // the structured parameter it is read from
};

inline constexpr size_t kViewCount = 5;
std::span<const ViewInfo, kViewCount> ScalarViews();

// The view values that a payload of `id` gives, as text; views of other parameters and
// values the payload lacks (an empty active set has no best pilot) stay unset.
using ViewValues = std::array<std::optional<std::string>, kViewCount>;
void ComputeViews(uint32_t id, std::span<const uint8_t> payload, ViewValues& values);

}  // namespace tessavo::cli
