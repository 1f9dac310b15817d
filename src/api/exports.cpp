// The 25 exported entry points: argument checks, fixed messages, failure values. No exception
// leaves this file.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <exception>

#include "api/decoder_object.h"
#include "bits/diag_time.h"
#include "common/messages.h"
#include "framing/frame_decoder.h"
#include "framing/stream_assembler.h"
#include "tessavo/tessavo.h"

using tessavo::DecoderObject;
using tessavo::ReportItem;
using tessavo::TimePair;
using tessavo::ZoneReadOnce;

namespace {

constexpr uint32_t kFailU32 = 0xFFFFFFFFu;

DecoderObject* Obj(void* h) {
    return static_cast<DecoderObject*>(h);
}

// The collected item at `i`, or null after printing the message naming the argument.
ReportItem* CollectedItem(DecoderObject* obj, int32_t i, const char* message) {
    if (i < 0 || i >= obj->collectedCount || static_cast<size_t>(i) >= obj->collected.size()) {
        tessavo::PrintMessage(message);
        return nullptr;
    }
    return obj->collected[static_cast<size_t>(i)];
}

constexpr const char* kBadI = "Entry parameter 'i' is bound violation\n";
constexpr const char* kBadNode = "Entry parameter 'nodeIdx' is bound violation\n";
constexpr const char* kBadParam = "Entry parameter 'paramIdx' is bound violation\n";

// Makes bytes [offset, offset + n) of collected item `item` hold the item's bytes.
void Ready(DecoderObject* obj, ReportItem& item, size_t offset, size_t n) {
    obj->ring.Fill(obj->ctx, item, reinterpret_cast<uint8_t*>(&item) + offset, n);
}

// The place of a field of the item, as Ready takes it.
#define ITEM_FIELD(name) offsetof(ReportItem, name), sizeof(ReportItem::name)

// Makes the count at `countAt` and entry `k` of the list at `listAt` (16-bit words) hold the
// item's bytes.
void ReadyListEntry(DecoderObject* obj, ReportItem& item, size_t countAt, size_t listAt, int32_t k) {
    Ready(obj, item, countAt, sizeof(uint16_t));
    if (k >= 0) Ready(obj, item, listAt + sizeof(uint16_t) * static_cast<size_t>(k), sizeof(uint16_t));
}

template <typename F>
uint32_t ItemWord(void* h, int32_t i, size_t offset, size_t n, F read) {
    DecoderObject* obj = Obj(h);
    if (obj == nullptr) return kFailU32;
    ReportItem* item = CollectedItem(obj, i, kBadI);
    if (item == nullptr) return kFailU32;
    Ready(obj, *item, offset, n);
    return static_cast<uint32_t>(read(*item));
}

// The record `record` picks in collected item `i`, filled over the `extent` bytes a host may
// read and write there; `head` is what the extent is computed from (a block's length word).
template <typename F, typename E>
void* ItemAddress(void* h, int32_t i, F record, E extent, size_t head) {
    DecoderObject* obj = Obj(h);
    if (obj == nullptr) return nullptr;
    ReportItem* item = CollectedItem(obj, i, kBadI);
    if (item == nullptr) return nullptr;
    auto& at = record(*item);
    obj->ring.Fill(obj->ctx, *item, &at, head);
    obj->ring.Fill(obj->ctx, *item, &at, extent(at));
    return &at;
}

// What a host may read and write of a block it was handed: the length word and the bytes it
// holds.
size_t BlockExtent(const tessavo::Block& block) {
    return sizeof block.length + std::min<size_t>(block.length, tessavo::kBlockCapacity);
}

template <typename F>
void* BlockAddress(void* h, int32_t i, F block) {
    return ItemAddress(h, i, block, BlockExtent, sizeof(tessavo::Block::length));
}

DecodeParam* ScalarEntry(void* h, int32_t nodeIdx, int32_t paramIdx, bool current) {
    DecoderObject* obj = Obj(h);
    if (obj == nullptr) return nullptr;
    ReportItem* item = CollectedItem(obj, nodeIdx, kBadNode);
    if (item == nullptr) return nullptr;
    ReadyListEntry(obj, *item,
                   current ? offsetof(ReportItem, curParamCount) : offsetof(ReportItem, inhParamCount),
                   current ? offsetof(ReportItem, curParamList) : offsetof(ReportItem, inhParamList),
                   paramIdx < tessavo::kParamCount ? paramIdx : -1);
    const int32_t count = current ? item->curParamCount : item->inhParamCount;
    if (paramIdx < 0 || paramIdx >= count || paramIdx >= tessavo::kParamCount) {
        tessavo::PrintMessage(kBadParam);
        return nullptr;
    }
    const uint16_t offset = (current ? item->curParamList : item->inhParamList)[paramIdx];
    if (offset >= tessavo::kParamCount * tessavo::kParamRecordSize) return nullptr;
    DecodeParam& record = item->ParamAt(offset);
    obj->ring.Fill(obj->ctx, *item, &record, sizeof record);
    return &record;
}

DecodeStructParam* StructEntry(void* h, int32_t nodeIdx, int32_t paramIdx, bool current) {
    DecoderObject* obj = Obj(h);
    if (obj == nullptr) return nullptr;
    ReportItem* item = CollectedItem(obj, nodeIdx, kBadNode);
    if (item == nullptr) return nullptr;
    ReadyListEntry(obj, *item,
                   current ? offsetof(ReportItem, curStructCount) : offsetof(ReportItem, inhStructCount),
                   current ? offsetof(ReportItem, curStructList) : offsetof(ReportItem, inhStructList),
                   paramIdx < tessavo::kStructParamCount ? paramIdx : -1);
    const int32_t count = current ? item->curStructCount : item->inhStructCount;
    if (paramIdx < 0 || paramIdx >= count || paramIdx >= tessavo::kStructParamCount) {
        tessavo::PrintMessage(kBadParam);
        return nullptr;
    }
    const uint16_t offset = (current ? item->curStructList : item->inhStructList)[paramIdx];
    if (offset + tessavo::kStructHeaderSize > static_cast<int>(tessavo::kStructParamAreaSize)) {
        return nullptr;
    }
    tessavo::StructRecordView record = item->StructAt(offset);
    obj->ring.Fill(obj->ctx, *item, record.record, tessavo::kStructHeaderSize);
    const size_t room = tessavo::kStructParamAreaSize - offset;
    obj->ring.Fill(obj->ctx, *item, record.record,
                   std::min<size_t>(room, tessavo::kStructHeaderSize + size_t{record.Length()}));
    record.SetDataToPayload();
    return reinterpret_cast<DecodeStructParam*>(record.record);
}

// Decodes the bytes that an earlier DecodeMsgProc could not take. The result is that of
// stream reassembly: 0 when none remain, the count still kept when the ring filled again, -1
// when a frame failed (the rest of the kept bytes is then dropped, as for any input).
int32_t DrainPending(DecoderObject& obj, TimePair host) {
    if (obj.pending.Empty()) return 0;
    const int32_t size = obj.pending.Size();
    const int32_t left = tessavo::AssembleStream(obj, obj.pending.Data(), size, host);
    if (left < 0) {
        obj.pending.Clear();
        return -1;
    }
    obj.pending.Consume(size - left);
    return left;
}

// After the kept bytes, the call's own input may be decoded only if the ring has room: kept
// bytes that filled it at their very last frame leave no room either.
bool RingFilledByPending(const DecoderObject& obj, int32_t pendingLeft) {
    return pendingLeft > 0 || obj.ringFillAfterPush >= tessavo::kRingSize;
}

}  // namespace

extern "C" {

TESSAVO_API void* TESSAVO_CALL CreateDecoderObjectProc(uint32_t moduleType) {
    try {
        return tessavo::CreateDecoderObject(moduleType);
    } catch (...) {
        return nullptr;
    }
}

TESSAVO_API bool TESSAVO_CALL SetDecoderConfiguration(void* h, int32_t code) {
    if (h == nullptr) return false;
    return tessavo::ApplyConfiguration(*Obj(h), code);
}

TESSAVO_API bool TESSAVO_CALL DecodeMsgProc(void* h, const uint8_t* bytes, int32_t length,
                                            int32_t hostSeconds, int32_t hostMicroseconds) {
    DecoderObject* obj = Obj(h);
    if (obj == nullptr || bytes == nullptr || length <= 0) return false;
    // Bytes that could not all be kept are refused before anything is decoded: a host that
    // passes them again in smaller pieces then gets every item once.
    if (static_cast<size_t>(length) >
        tessavo::kPendingInputCapacity - static_cast<size_t>(obj->pending.Size())) {
        return false;
    }
    const TimePair host{hostSeconds, hostMicroseconds};
    // In the whole-buffer and whole-frame modes the call is one frame: it is decoded or, when
    // its items do not fit, refused; never kept.
    const bool oneFrame = obj->wholeBufferMode != 0 || obj->wholeFramePlusOneMode != 0;
    try {
        const ZoneReadOnce zone;
        obj->ringFillAfterPush = 0;
        const int32_t pendingLeft = DrainPending(*obj, host);
        if (pendingLeft < 0) return false;
        // Bytes still kept from earlier calls: this call's bytes join them (within the cap,
        // checked above).
        if (RingFilledByPending(*obj, pendingLeft)) {
            return !oneFrame && obj->pending.Append(bytes, static_cast<size_t>(length));
        }
        const int32_t left = tessavo::AssembleStream(*obj, bytes, length, host);
        if (left < 0) return false;
        if (left > 0) {
            return !oneFrame &&
                   obj->pending.Append(bytes + (length - left), static_cast<size_t>(left));
        }
        return true;
    } catch (...) {
        obj->frameLength = 0;
        return false;
    }
}

TESSAVO_API int32_t TESSAVO_CALL DecodeMsgProc_NoDynamic(void* h, const uint8_t* bytes,
                                                         int32_t length, int32_t hostSeconds,
                                                         int32_t hostMicroseconds) {
    DecoderObject* obj = Obj(h);
    if (obj == nullptr || bytes == nullptr) return -1;
    if (length <= 0) return 0;
    const TimePair host{hostSeconds, hostMicroseconds};
    try {
        const ZoneReadOnce zone;
        // Bytes left by an earlier DecodeMsgProc come first; if they fill the ring again,
        // none of this call's bytes are taken.
        obj->ringFillAfterPush = 0;
        const int32_t pendingLeft = DrainPending(*obj, host);
        if (pendingLeft < 0) return -1;
        if (RingFilledByPending(*obj, pendingLeft)) return length;
        return tessavo::AssembleStream(*obj, bytes, length, host);
    } catch (...) {
        obj->frameLength = 0;
        return -1;
    }
}

TESSAVO_API uint32_t TESSAVO_CALL DecodeMsgProc_One(void* h, const uint8_t* frame, int32_t length,
                                                    int32_t hostSeconds, int32_t hostMicroseconds) {
    DecoderObject* obj = Obj(h);
    if (obj == nullptr || frame == nullptr || length < 1) return 0;
    try {
        // A frame whose items do not fit is not decoded: collect, then pass it again.
        if (!tessavo::RingHasRoomFor(*obj, frame, length)) return 0;
        const ZoneReadOnce zone;
        return tessavo::DecodeFrame(*obj, frame, length, TimePair{hostSeconds, hostMicroseconds});
    } catch (...) {
        return 0;
    }
}

TESSAVO_API int32_t TESSAVO_CALL GetReportItemCountProc(void* h) {
    DecoderObject* obj = Obj(h);
    if (obj == nullptr) return -1;
    obj->collectedCount = obj->ring.Collect(obj->collected);
    return obj->collectedCount;
}

TESSAVO_API void* TESSAVO_CALL GetReportItemProc(void* h, int32_t i) {
    return ItemAddress(
        h, i, [](ReportItem& it) -> ReportItem& { return it; },
        [](const ReportItem&) { return sizeof(ReportItem); }, sizeof(ReportItem));
}

TESSAVO_API uint32_t TESSAVO_CALL GetReportItemMsgCode(void* h, int32_t i) {
    return ItemWord(h, i, ITEM_FIELD(msgCode), [](const ReportItem& it) { return it.msgCode; });
}

TESSAVO_API uint32_t TESSAVO_CALL GetReportItemMsgDirection(void* h, int32_t i) {
    return ItemWord(h, i, ITEM_FIELD(direction), [](const ReportItem& it) { return it.direction; });
}

TESSAVO_API void* TESSAVO_CALL GetReportItemMsgTime(void* h, int32_t i) {
    return ItemAddress(
        h, i, [](ReportItem& it) -> auto& { return it.time; },
        [](const ItemTime& t) { return sizeof t; }, sizeof(ItemTime));
}

TESSAVO_API void* TESSAVO_CALL GetReportItemBinary(void* h, int32_t i) {
    return BlockAddress(h, i, [](ReportItem& it) -> auto& { return it.payload; });
}

TESSAVO_API void* TESSAVO_CALL GetReportItemBinaryToZelFilter(void* h, int32_t i) {
    return BlockAddress(h, i, [](ReportItem& it) -> auto& { return it.zelFilter; });
}

TESSAVO_API void* TESSAVO_CALL GetReportItemBinaryToZelSimple(void* h, int32_t i) {
    return BlockAddress(h, i, [](ReportItem& it) -> auto& { return it.zelSimple; });
}

TESSAVO_API void* TESSAVO_CALL GetReportItemDTLogBinary(void* h, int32_t i) {
    DecoderObject* obj = Obj(h);
    if (obj == nullptr || obj->dtLogEnabled == 0) return nullptr;
    return BlockAddress(h, i, [](ReportItem& it) -> auto& { return it.dtlog; });
}

TESSAVO_API void* TESSAVO_CALL GetReportItemOutFileBinary(void* h, int32_t* status, int32_t i) {
    if (status != nullptr) *status = -1;
    DecoderObject* obj = Obj(h);
    if (obj == nullptr || obj->outFileEnabled == 0) return nullptr;
    void* block = BlockAddress(h, i, [](ReportItem& it) -> auto& { return it.outFile; });
    if (block != nullptr && status != nullptr) *status = 1;
    return block;
}

TESSAVO_API uint32_t TESSAVO_CALL GetReportItemCurDecodeParamCount(void* h, int32_t i) {
    return ItemWord(h, i, ITEM_FIELD(curParamCount), [](const ReportItem& it) { return it.curParamCount; });
}

TESSAVO_API uint32_t TESSAVO_CALL GetReportItemInheritDecodeParamCount(void* h, int32_t i) {
    return ItemWord(h, i, ITEM_FIELD(inhParamCount), [](const ReportItem& it) { return it.inhParamCount; });
}

TESSAVO_API DecodeParam* TESSAVO_CALL GetReportItemCurDecodeParamList(void* h, int32_t nodeIdx,
                                                                      int32_t paramIdx) {
    return ScalarEntry(h, nodeIdx, paramIdx, true);
}

TESSAVO_API DecodeParam* TESSAVO_CALL GetReportItemInheritDecodeParamList(void* h, int32_t nodeIdx,
                                                                          int32_t paramIdx) {
    return ScalarEntry(h, nodeIdx, paramIdx, false);
}

TESSAVO_API uint32_t TESSAVO_CALL GetReportItemCurDecodeStructParamCount(void* h, int32_t i) {
    return ItemWord(h, i, ITEM_FIELD(curStructCount), [](const ReportItem& it) { return it.curStructCount; });
}

TESSAVO_API uint32_t TESSAVO_CALL GetReportItemInheritDecodeStructParamCount(void* h, int32_t i) {
    return ItemWord(h, i, ITEM_FIELD(inhStructCount), [](const ReportItem& it) { return it.inhStructCount; });
}

TESSAVO_API DecodeStructParam* TESSAVO_CALL
GetReportItemCurDecodeStructParamList(void* h, int32_t nodeIdx, int32_t paramIdx) {
    return StructEntry(h, nodeIdx, paramIdx, true);
}

TESSAVO_API DecodeStructParam* TESSAVO_CALL
GetReportItemInheritDecodeStructParamList(void* h, int32_t nodeIdx, int32_t paramIdx) {
    return StructEntry(h, nodeIdx, paramIdx, false);
}

TESSAVO_API bool TESSAVO_CALL ClearReportItemsProc(void* h) {
    DecoderObject* obj = Obj(h);
    if (obj == nullptr) return false;
    obj->ring.Clear();
    return true;
}

TESSAVO_API bool TESSAVO_CALL FreeDecoderObjectProc(void** handleVariable) {
    if (handleVariable == nullptr || *handleVariable == nullptr) return false;
    delete Obj(*handleVariable);
    *handleVariable = nullptr;
    return true;
}

}  // extern "C"

#undef ITEM_FIELD
