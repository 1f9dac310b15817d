// The report item: the byte-exact record of one accepted packet, read by hosts in place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "params/param_table.h"
#include "params/struct_param_table.h"
#include "tessavo/tessavo.h"

namespace tessavo {

inline constexpr uint32_t kBlockCapacity = TESSAVO_BLOCK_CAPACITY;

#pragma pack(push, 1)

// A u32 length followed by up to 5120 bytes; copies into it are cut at the capacity.
struct Block {
    uint32_t length;
    uint8_t bytes[kBlockCapacity];

    // Replaces the content with `n` bytes of `src`, cut at the capacity.
    void Assign(const uint8_t* src, size_t n);
    // Appends, cut at the capacity.
    void Append(const uint8_t* src, size_t n);
};

struct ReportItem {
    uint16_t reserved0;
    uint16_t reserved1;
    ItemTime time;
    uint32_t msgCode;
    Block payload;
    Block zelFilter;  // the frame as handed to the dispatcher, escaped, with CRC and 0x7E
    Block zelSimple;  // the compact re-encoded frame
    uint16_t direction;
    uint16_t curParamCount;
    uint16_t inhParamCount;
    uint16_t paramCapacity;
    uint16_t curParamList[kParamCount];  // byte offsets into params
    uint16_t inhParamList[kParamCount];
    DecodeParam params[kParamCount];
    uint16_t curStructCount;
    uint16_t inhStructCount;
    uint16_t structCapacity;
    uint16_t curStructList[kStructParamCount];  // byte offsets into structArea
    uint16_t inhStructList[kStructParamCount];
    uint8_t structArea[kStructParamAreaSize];
    Block dtlog;
    Block outFile;
    Block packetCopy;  // the unescaped packet; no export hands it out

    DecodeParam& ParamAt(uint16_t offset) { return params[offset / kParamRecordSize]; }
    const DecodeParam& ParamAt(uint16_t offset) const { return params[offset / kParamRecordSize]; }
    StructRecordView StructAt(uint16_t offset) { return StructRecordView{structArea + offset}; }
};

#pragma pack(pop)

static_assert(offsetof(Block, bytes) == 4 && sizeof(Block) == 4 + kBlockCapacity);
static_assert(sizeof(ItemTime) == 8 && offsetof(ItemTime, microseconds) == 4);
static_assert(offsetof(ReportItem, reserved0) == 0);
static_assert(offsetof(ReportItem, reserved1) == 2);
static_assert(offsetof(ReportItem, time) == TESSAVO_OFFSET_ITEM_TIME);
static_assert(offsetof(ReportItem, msgCode) == TESSAVO_OFFSET_MSG_CODE);
static_assert(offsetof(ReportItem, payload) == TESSAVO_OFFSET_PAYLOAD);
static_assert(offsetof(ReportItem, zelFilter) == TESSAVO_OFFSET_ZEL_FILTER);
static_assert(offsetof(ReportItem, zelSimple) == TESSAVO_OFFSET_ZEL_SIMPLE);
static_assert(offsetof(ReportItem, direction) == TESSAVO_OFFSET_DIRECTION);
static_assert(offsetof(ReportItem, curParamCount) == TESSAVO_OFFSET_CUR_PARAM_COUNT);
static_assert(offsetof(ReportItem, inhParamCount) == TESSAVO_OFFSET_INH_PARAM_COUNT);
static_assert(offsetof(ReportItem, paramCapacity) == TESSAVO_OFFSET_PARAM_CAPACITY);
static_assert(offsetof(ReportItem, curParamList) == TESSAVO_OFFSET_CUR_PARAM_LIST);
static_assert(offsetof(ReportItem, inhParamList) == TESSAVO_OFFSET_INH_PARAM_LIST);
static_assert(offsetof(ReportItem, params) == TESSAVO_OFFSET_PARAM_TABLE);
static_assert(offsetof(ReportItem, curStructCount) == TESSAVO_OFFSET_CUR_SPARAM_COUNT);
static_assert(offsetof(ReportItem, inhStructCount) == TESSAVO_OFFSET_INH_SPARAM_COUNT);
static_assert(offsetof(ReportItem, structCapacity) == TESSAVO_OFFSET_SPARAM_CAPACITY);
static_assert(offsetof(ReportItem, curStructList) == TESSAVO_OFFSET_CUR_SPARAM_LIST);
static_assert(offsetof(ReportItem, inhStructList) == TESSAVO_OFFSET_INH_SPARAM_LIST);
static_assert(offsetof(ReportItem, structArea) == TESSAVO_OFFSET_SPARAM_TABLE);
static_assert(offsetof(ReportItem, dtlog) == TESSAVO_OFFSET_DTLOG);
static_assert(offsetof(ReportItem, outFile) == TESSAVO_OFFSET_OUTFILE);
static_assert(offsetof(ReportItem, packetCopy) == TESSAVO_OFFSET_PACKET_COPY);
static_assert(sizeof(ReportItem) == TESSAVO_REPORT_ITEM_SIZE);

// Constructs a record in place with its fill values (0xFF blocks, direction 2, capacities).
void ConstructReportItem(ReportItem& item);

}  // namespace tessavo
