// Helpers shared by the unit tests of the 1x decoders: run a handler on a log packet the way
// the dispatcher does, and read the report item back by parameter ID.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bits/packet_view.h"
#include "common/le.h"
#include "decoders/decoder.h"
#include "params/param_lists.h"
#include "support/packet_builder.h"

namespace tessavo::test {

using Ids = std::vector<uint32_t>;
using Values = std::vector<std::pair<uint32_t, int32_t>>;

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

inline const DecodeParam& ParamOf(const DecoderContext& ctx, uint32_t id) {
    return ctx.item.ParamAt(static_cast<uint16_t>(ParamSlotOf(id) * kParamRecordSize));
}

inline int32_t ValueOf(const DecoderContext& ctx, uint32_t id) {
    return ParamOf(ctx, id).value;
}

inline Ids CurrentIds(const DecoderContext& ctx) {
    Ids ids;
    for (int i = 0; i < ctx.item.curParamCount; ++i) {
        ids.push_back(ctx.item.ParamAt(ctx.item.curParamList[i]).id);
    }
    return ids;
}

// The current scalar list is `prefix`, then the IDs of `expected` with those values.
inline void ExpectCurrent(const DecoderContext& ctx, const Values& expected, Ids prefix = {}) {
    for (const auto& [id, value] : expected) {
        prefix.push_back(id);
        EXPECT_EQ(ValueOf(ctx, id), value) << std::hex << id;
    }
    EXPECT_EQ(CurrentIds(ctx), prefix);
}

inline Ids CurrentStructIds(DecoderContext& ctx) {
    Ids ids;
    for (int i = 0; i < ctx.item.curStructCount; ++i) {
        ids.push_back(ctx.item.StructAt(ctx.item.curStructList[i]).Id());
    }
    return ids;
}

inline StructRecordView StructOf(DecoderContext& ctx, uint32_t id) {
    return ctx.item.StructAt(kStructParamOffsets[id - kFirstStructParamId]);
}

template <typename T>
T PayloadAt(DecoderContext& ctx, uint32_t id, size_t offset) {
    return LoadLE<T>(StructOf(ctx, id).Payload() + offset);
}

// `count` payload bytes of a structured record from `offset`.
inline Bytes PayloadBytes(DecoderContext& ctx, uint32_t id, size_t offset, size_t count) {
    const uint8_t* p = StructOf(ctx, id).Payload() + offset;
    return Bytes(p, p + count);
}

inline Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

// A pilot sets response (command 0x40) captured from a handset, as framed on the wire.
inline const char* const kCapturedPilotSetsFrame =
    "400300010019f000160021001c00d8003f0056013f0015001a0011013f0092013f0039003f0095013f001200"
    "3f0023013f0066003f000b013f00ae003f0002013f00a8003f0050013f00f8013f0057003f007d5e003f0093"
    "003f00bd003f0077013f00b7003f00ab003f0033003f00000000000000000000000000000000000000000000"
    "0000adde000000000000001313501f0000ffff00aa1900000000000000000000000000000000000000000000"
    "000000000000000000000000b1c47d5e7d5e7d5d5d04581b5b1b000000000000000000000000000000006569"
    "7e";

}  // namespace tessavo::test
