// Parameter catalogue: name, unit, scale, writers and a one-line meaning for every ID.
//
// The catalogue is what the command-line decoder prints next to a value; it is also listed
// by `tessavo-decode --list-params`. IDs are the stable key; names are the air-interface
// names where the field has one (SID, T_ADD, ...) and otherwise say what the value is. IDs
// that no decoder writes are named `reserved_<id in lower-case hex>`.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tessavo::cli {

enum class ParamKind { kScalar, kStruct };

// How a value carried in coded units becomes an engineering value: the stored integer
// (sign-extended from `signedBits` when that is not 0, or looked up in `table` when that is
// not empty; an index past the table has no engineering value) times `multiplier`, divided
// by `scale`, in `unit`.
struct ValueCoding {
    std::string_view unit;
    int32_t multiplier = 1;
    int32_t scale = 1;
    int signedBits = 0;
    std::span<const int32_t> table;
};

// How a value is written: a number, or an identity as an engineer writes it.
enum class ValueForm : uint8_t {
    kNumber,
    kHex,       // unsigned, `digits` upper-case hex digits (ESN)
    kDigits,    // unsigned, zero-padded to `digits` decimal digits (MCC, MNC)
    kPairHigh,  // upper 32 bits of a 64-bit number, shown unsigned
    kPairLow,   // lower 32 bits: shown as the whole number with its upper half (`pairId`),
                // zero-padded to `digits` decimal digits
};

// A named value of an enumeration (channel state, EV-DO state, ...).
struct ValueLabel {
    int32_t value;
    std::string_view label;
};

struct ParamInfo {
    uint32_t id;
    ParamKind kind;
    std::string_view name;
    // What the stored value divided by `scale` counts: "dBm", "dB", "%", "bit/s", "bits",
    // "ms", "-0.5 dB" (a threshold step); empty for counts, indices, raw fields and blobs.
    // A coded value's engineering unit is its coding's.
    std::string_view unit;
    // Divisor of a scalar's stored value (1, 100 or 1000); 0 for structured parameters.
    int32_t scale;
    // Payload bytes of a structured parameter; 0 for scalars.
    uint32_t payloadLength;
    // Space-separated writers: "0x102D" is a log code, "cmd:0x60" a DIAG command response.
    // Empty when only a compact (0xFFFE) packet can set the parameter.
    std::string_view writers;
    std::string_view description;         // one line
    std::span<const ValueLabel> labels;   // empty unless the value is an enumeration
    const ValueCoding* coding = nullptr;  // set when `unit` is a coded unit (steps, an index)
    ValueForm form = ValueForm::kNumber;
    uint8_t digits = 0;
    uint32_t pairId = 0;  // kPairLow: the ID of the upper half
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
// Null for a name that is not in the catalogue.
const ParamInfo* FindParamByName(std::string_view name);

// The label of `value`, or empty when it has none.
std::string_view ValueLabelOf(const ParamInfo& info, int32_t value);

// "param_7f01031f": the name of an ID outside the catalogue.
std::string GenericParamName(uint32_t id);

// The catalogue name, or the generic name for an unknown ID.
std::string ParamName(uint32_t id);

}  // namespace tessavo::cli
