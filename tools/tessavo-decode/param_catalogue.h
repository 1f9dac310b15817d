// Parameter catalogue: a short stable name, unit, scale and writers for every parameter ID.
//
// The catalogue is what the command-line decoder prints next to a value; it is also listed
// by `tessavo-decode --list-params`. Names are stable: output columns and JSON keys are
// built from them, so a name never changes once released. IDs that no decoder writes keep
// the plain name `param_<id in lower-case hex>`.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tessavo::cli {

enum class ParamKind { kScalar, kStruct };

struct ParamInfo {
    uint32_t id;
    ParamKind kind;
    std::string_view name;
    // "dBm", "dB", "%", "bps", "bits"; empty for counts, indices, raw fields and blobs.
    std::string_view unit;
    // Divisor of a scalar's stored value (1, 100 or 1000); 0 for structured parameters.
    int32_t scale;
    // Payload bytes of a structured parameter; 0 for scalars.
    uint32_t payloadLength;
    // Space-separated writers: "0x102D" is a log code, "cmd:0x60" a DIAG command response.
    // Empty when only a compact (0xFFFE) packet can set the parameter.
    std::string_view writers;
};

inline constexpr int kScalarParamCount = 384;
inline constexpr int kStructParamCount = 45;

// All 429 entries: the scalars in their table slot order, then the structured parameters
// in ID order (0x7F0107D0 first).
std::span<const ParamInfo> ParamCatalogue();
std::span<const ParamInfo> ScalarParams();
std::span<const ParamInfo> StructParams();

// Null for an ID that is in neither table.
const ParamInfo* FindParam(uint32_t id);

// "param_7f01031f": the name of an ID without a writer, and of any unknown ID.
std::string GenericParamName(uint32_t id);

// The catalogue name, or the generic name for an unknown ID.
std::string ParamName(uint32_t id);

}  // namespace tessavo::cli
