// Helpers shared by the unit tests of the 1x decoders: run a handler on a log packet the way
// the dispatcher does, and read the report item back by parameter ID.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "bits/packet_view.h"
#include "common/le.h"
#include "decoders/decoder.h"
#include "params/param_lists.h"
#include "support/packet_builder.h"

namespace tessavo::test {

inline std::unique_ptr<DecoderContext> NewContext() {
    return std::make_unique<DecoderContext>();
}

// Resets the lists, sets the message code the dispatcher would have set, and runs the
// handlers on the dispatched form of a log packet with `payload`.
inline void RunLog(DecoderContext& ctx, uint16_t logCode, const Bytes& payload,
                   std::initializer_list<LogHandler> handlers, uint32_t msgCode = 0) {
    const Bytes packet = Dispatched(LogPacket(logCode, payload));
    ResetParamLists(ctx);
    ctx.item.msgCode = msgCode;
    const PacketView view(packet.data(), static_cast<int32_t>(packet.size()));
    for (LogHandler h : handlers) h(ctx, view, 0);
}

// IDs of the current scalar list, in list order.
inline std::vector<uint32_t> CurrentIds(const DecoderContext& ctx) {
    std::vector<uint32_t> ids;
    for (int i = 0; i < ctx.item.curParamCount; ++i) {
        ids.push_back(ctx.item.ParamAt(ctx.item.curParamList[i]).id);
    }
    return ids;
}

inline std::vector<uint32_t> InheritedIds(const DecoderContext& ctx) {
    std::vector<uint32_t> ids;
    for (int i = 0; i < ctx.item.inhParamCount; ++i) {
        ids.push_back(ctx.item.ParamAt(ctx.item.inhParamList[i]).id);
    }
    return ids;
}

inline const DecodeParam& ParamOf(const DecoderContext& ctx, uint32_t id) {
    return ctx.item.ParamAt(static_cast<uint16_t>(ParamSlotOf(id) * kParamRecordSize));
}

inline int32_t ValueOf(const DecoderContext& ctx, uint32_t id) {
    return ParamOf(ctx, id).value;
}

// IDs of the current structured list, in list order.
inline std::vector<uint32_t> CurrentStructIds(DecoderContext& ctx) {
    std::vector<uint32_t> ids;
    for (int i = 0; i < ctx.item.curStructCount; ++i) {
        ids.push_back(ctx.item.StructAt(ctx.item.curStructList[i]).Id());
    }
    return ids;
}

// Header view and payload of a structured record by ID.
inline StructRecordView StructOf(DecoderContext& ctx, uint32_t id) {
    return ctx.item.StructAt(kStructParamOffsets[id - kFirstStructParamId]);
}

template <typename T>
T PayloadAt(DecoderContext& ctx, uint32_t id, size_t offset) {
    return LoadLE<T>(StructOf(ctx, id).Payload() + offset);
}

}  // namespace tessavo::test
