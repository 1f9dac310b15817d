// The DTLog builder: fourteen tagged records of text fields, filled from one packet's fresh
// parameters and written out as tab-separated lines. About 175 KB, so it lives in the decoder
// object and is reset, not rebuilt, for every packet.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "params/report_item.h"

namespace tessavo {

// Records in the order they are written out.
enum class DtRecord : uint8_t {
    kAp,
    kAsfi,
    kCi,
    kDm,
    kPsm,
    kSc,
    kHop,
    kPcp,
    kC1xQi,
    kC1xSmi,
    kCevs,
    kC1xFmi,
    kCl3,
    kUi,
};
inline constexpr int kDtRecordCount = 14;

struct DtRecordShape {
    std::string_view tag;
    int fieldCount;
};

inline constexpr std::array<DtRecordShape, kDtRecordCount> kDtRecordShapes = {{
    {"AP", 10},
    {"ASFI", 13},
    {"CI", 5},
    {"DM", 22},
    {"PSM", 10},
    {"SC", 25},
    {"HOP", 12},
    {"PCP", 11},
    {"C1XQI", 20},
    {"C1XSMI", 20},
    {"CEVS", 10},
    {"C1XFMI", 10},
    {"CL3", 3},
    {"UI", 3},
}};

constexpr int DtFieldCount(DtRecord r) {
    return kDtRecordShapes[static_cast<size_t>(r)].fieldCount;
}

// Index of a record's first field in the builder's flat field array.
constexpr int DtFirstField(DtRecord r) {
    int first = 0;
    for (size_t i = 0; i < static_cast<size_t>(r); ++i) first += kDtRecordShapes[i].fieldCount;
    return first;
}

inline constexpr int kDtFieldTotal = DtFirstField(DtRecord::kUi) + DtFieldCount(DtRecord::kUi);
inline constexpr int kDtFieldCapacity = 1024;  // bytes of text per field
static_assert(kDtFieldTotal == 174);

class DtLogBuilder {
  public:
    // Every record empty: counts and field lengths zero (text past a length is never read).
    void Reset();

    // Replaces a field's text, cut at the field capacity, and counts a store into the record.
    void Store(DtRecord r, int field, std::string_view text);
    void Store(DtRecord r, int field, std::span<const uint8_t> bytes);

    // Writes the records that were stored into, in record order, into `block`: the tag, a TAB
    // and the text of each field, then LF. The block is emptied first and the text is cut at
    // its capacity. `written`: how many leading bytes may be non-zero (the rest are known
    // zero and left alone).
    void Serialize(Block& block, size_t written = kBlockCapacity) const;

    int32_t Count(DtRecord r) const { return counts_[static_cast<size_t>(r)]; }

  private:
    friend class DtListWriter;
    struct Field {
        int32_t length;
        std::array<char, kDtFieldCapacity> text;
    };
    Field& At(DtRecord r, int field) {
        return fields_[static_cast<size_t>(DtFirstField(r) + field)];
    }

    std::array<int32_t, kDtRecordCount> counts_{};
    std::array<Field, kDtFieldTotal> fields_{};
};

// Builds one field as a list of items, each followed by one space. The field is emptied and
// counted when the writer is made. An item that would pass the field capacity is dropped, and
// so is every item after it: a list is cut between items, never inside one.
class DtListWriter {
  public:
    DtListWriter(DtLogBuilder& builder, DtRecord r, int field);
    void Add(std::string_view item);

  private:
    DtLogBuilder::Field& field_;
    bool closed_ = false;
};

}  // namespace tessavo
