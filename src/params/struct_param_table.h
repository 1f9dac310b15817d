// Structured parameter table: 45 records (16-byte header + fixed payload) packed in one area.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/le.h"
#include "tessavo/tessavo.h"

namespace tessavo {

inline constexpr int kStructParamCount = TESSAVO_STRUCT_PARAM_COUNT;
inline constexpr uint32_t kStructParamAreaSize = TESSAVO_SPARAM_TABLE_SIZE;
inline constexpr uint32_t kFirstStructParamId = 0x7F0107D0;
inline constexpr int kStructHeaderSize = 16;
inline constexpr size_t kStructDataOffset = 12;  // the header's data word
// IDs with index below this are mapped by GetSParamOffset; the rest only by their own decoders.
inline constexpr int kMappedStructParams = 40;

static_assert(sizeof(DecodeStructParam) == 16);
static_assert(offsetof(DecodeStructParam, state) == 0);
static_assert(offsetof(DecodeStructParam, id) == 4);
static_assert(offsetof(DecodeStructParam, length) == 8);
static_assert(offsetof(DecodeStructParam, data) == kStructDataOffset);

// Record offsets in ID order (index = ID - 0x7F0107D0). The offsets do not follow the IDs.
inline constexpr std::array<uint16_t, kStructParamCount> kStructParamOffsets = {
    0,     35,    56,    96,    116,   393,   581,   3808,  4053,  7657,  8838,  9753,
    11565, 11609, 11677, 11697, 11753, 12057, 12085, 12121, 12149, 13509, 13681, 16169,
    16251, 16326, 16488, 17879, 21483, 24322, 25493, 27815, 29187, 29371, 31871, 32054,
    32244, 3161,  3377,  3666,  3699,  3727,  3745,  32738, 34558};

// Record size: distance to the next record in ascending offset order (or to the area end).
constexpr uint32_t StructRecordSize(int index) {
    const uint32_t off = kStructParamOffsets[static_cast<size_t>(index)];
    uint32_t next = kStructParamAreaSize;
    for (uint16_t o : kStructParamOffsets) {
        if (o > off && o < next) next = o;
    }
    return next - off;
}

constexpr uint32_t StructPayloadCapacity(int index) {
    return StructRecordSize(index) - kStructHeaderSize;
}

struct StructParamRef {
    uint32_t id;
    uint16_t offset;
    uint32_t capacity;  // payload bytes
};

consteval StructParamRef StructParam(uint32_t id) {
    if (id < kFirstStructParamId || id - kFirstStructParamId >= kStructParamCount) {
        throw "not a structured parameter ID";
    }
    const int index = static_cast<int>(id - kFirstStructParamId);
    return StructParamRef{id, kStructParamOffsets[static_cast<size_t>(index)],
                          StructPayloadCapacity(index)};
}

static_assert(StructParam(0x7F0107D0).capacity == 19);
static_assert(StructParam(0x7F0107D4).capacity == 261);
static_assert(StructParam(0x7F0107D6).capacity == 2564);
static_assert(StructParam(0x7F0107D8).capacity == 3588);
static_assert(StructParam(0x7F0107F5).offset == 3161 && StructParam(0x7F0107F5).capacity == 200);
static_assert(StructParam(0x7F0107FA).capacity == 47);
static_assert(StructParam(0x7F0107F4).capacity == 478);
static_assert(StructParam(0x7F0107FB).capacity == 1804);
static_assert(StructParam(0x7F0107FC).offset == 34558 && StructParam(0x7F0107FC).capacity == 24);

// Run-time mapping for IDs 0x7F0107D0..0x7F0107F7; prints the fixed message otherwise.
uint16_t GetSParamOffset(uint32_t id);

// Payload capacity of the record at an area offset (0 when no record starts there).
uint32_t StructCapacityAtOffset(uint16_t offset);

// Writes the 45 constructed headers (state Cleared, ID, length 0, data 0).
void ConstructStructParamTable(uint8_t* area);

// Unaligned header access of the record at `offset` in `area`.
struct StructRecordView {
    uint8_t* record;
    int32_t State() const { return LoadLE<int32_t>(record); }
    void SetState(int32_t s) { StoreLE(record, s); }
    uint32_t Id() const { return LoadLE<uint32_t>(record + 4); }
    void SetId(uint32_t id) { StoreLE(record + 4, id); }
    uint32_t Length() const { return LoadLE<uint32_t>(record + 8); }
    void SetLength(uint32_t n) { StoreLE(record + 8, n); }
    uint32_t Data() const { return LoadLE<uint32_t>(record + kStructDataOffset); }
    void SetData(uint32_t d) { StoreLE(record + kStructDataOffset, d); }
    uint8_t* Payload() { return record + kStructHeaderSize; }
    // Stores the payload address when it fits in 32 bits, else 0 (never a truncated pointer).
    void SetDataToPayload();
};

}  // namespace tessavo
