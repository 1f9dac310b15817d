#include "report_item_reader.h"

#include <algorithm>
#include <cstring>

#include "param_catalogue.h"

namespace tessavo::cli {
namespace {

// A count accessor answers 0xFFFFFFFF for a bad index; a list never holds more entries
// than its capacity.
uint32_t BoundedCount(uint32_t count, uint32_t capacity) {
    return count == 0xFFFFFFFFu ? 0 : std::min(count, capacity);
}

void ReadScalarList(void* handle, int32_t i, bool inherited, std::vector<DecodeParam>& out) {
    out.clear();
    uint32_t count = BoundedCount(inherited ? GetReportItemInheritDecodeParamCount(handle, i)
                                            : GetReportItemCurDecodeParamCount(handle, i),
                                  TESSAVO_SCALAR_PARAM_COUNT);
    for (uint32_t j = 0; j < count; ++j) {
        int32_t index = static_cast<int32_t>(j);
        const DecodeParam* record = inherited
                                        ? GetReportItemInheritDecodeParamList(handle, i, index)
                                        : GetReportItemCurDecodeParamList(handle, i, index);
        if (record == nullptr) continue;
        DecodeParam param;
        std::memcpy(&param, record, sizeof param);
        out.push_back(param);
    }
}

void ReadStructList(void* handle, int32_t i, bool inherited, std::vector<StructParamRecord>& out) {
    out.clear();
    uint32_t count = BoundedCount(inherited ? GetReportItemInheritDecodeStructParamCount(handle, i)
                                            : GetReportItemCurDecodeStructParamCount(handle, i),
                                  TESSAVO_STRUCT_PARAM_COUNT);
    for (uint32_t j = 0; j < count; ++j) {
        int32_t index = static_cast<int32_t>(j);
        const DecodeStructParam* record =
            inherited ? GetReportItemInheritDecodeStructParamList(handle, i, index)
                      : GetReportItemCurDecodeStructParamList(handle, i, index);
        if (record == nullptr) continue;
        DecodeStructParam header;
        std::memcpy(&header, record, sizeof header);
        // The payload never reaches past the record's capacity, which the catalogue knows;
        // an ID outside the table shows its length but no bytes.
        const ParamInfo* info = FindParam(header.id);
        uint32_t capacity =
            info != nullptr && info->kind == ParamKind::kStruct ? info->payloadLength : 0;
        uint32_t shown = std::min(header.length, capacity);
        out.push_back({header.state, header.id, header.length,
                       std::span<const uint8_t>(TESSAVO_STRUCT_PARAM_DATA(record), shown)});
    }
}

}  // namespace

std::span<const uint8_t> BlockBytes(const void* block) {
    if (block == nullptr) return {};
    uint32_t length = 0;
    std::memcpy(&length, block, sizeof length);
    length = std::min<uint32_t>(length, TESSAVO_BLOCK_CAPACITY);
    return {static_cast<const uint8_t*>(block) + sizeof length, length};
}

void ReadReportItem(void* handle, int32_t i, uint32_t moduleType, const ItemSelection& selection,
                    ItemView& item) {
    item.msgCode = GetReportItemMsgCode(handle, i);
    item.direction = selection.direction ? GetReportItemMsgDirection(handle, i) : 0;
    item.time = ItemTime{};
    if (const void* time = GetReportItemMsgTime(handle, i)) {
        std::memcpy(&item.time, time, sizeof item.time);
    }
    item.frame = BlockBytes(GetReportItemBinaryToZelFilter(handle, i));
    item.identity = IdentifyPacket(item.frame, item.msgCode, moduleType);
    ReadScalarList(handle, i, false, item.currentParams);
    if (selection.structs) {
        ReadStructList(handle, i, false, item.currentStructs);
    } else {
        item.currentStructs.clear();
    }
    if (selection.inherited) {
        ReadScalarList(handle, i, true, item.inheritedParams);
        ReadStructList(handle, i, true, item.inheritedStructs);
    } else {
        item.inheritedParams.clear();
        item.inheritedStructs.clear();
    }
    item.dtlog = selection.dtlog ? BlockBytes(GetReportItemDTLogBinary(handle, i))
                                 : std::span<const uint8_t>();
    item.outFile = {};
    if (selection.outFile) {
        int32_t status = -1;
        const void* block = GetReportItemOutFileBinary(handle, &status, i);
        if (status == 1) item.outFile = BlockBytes(block);
    }
    item.payload =
        selection.payload ? BlockBytes(GetReportItemBinary(handle, i)) : std::span<const uint8_t>();
    item.compact = selection.compact ? BlockBytes(GetReportItemBinaryToZelSimple(handle, i))
                                     : std::span<const uint8_t>();
}

}  // namespace tessavo::cli
