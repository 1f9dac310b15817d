// Runs record decoders the way the dispatcher does (list reset, message code, handlers on the
// dispatched packet) and reads the current report item back by parameter ID.
#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "bits/packet_view.h"
#include "common/le.h"
#include "decoders/decoder.h"
#include "dispatch/log_routes.h"
#include "params/param_lists.h"
#include "support/packet_builder.h"

namespace tessavo::test {

using Ids = std::vector<uint32_t>;
using IdValues = std::vector<std::pair<uint32_t, int32_t>>;

inline const DecodeParam& ParamOf(const DecoderContext& ctx, uint32_t id) {
    return ctx.item.ParamAt(static_cast<uint16_t>(ParamSlotOf(id) * kParamRecordSize));
}
inline int32_t ValueOf(const DecoderContext& ctx, uint32_t id) {
    return ParamOf(ctx, id).value;
}
template <typename List>
Ids ParamIds(const DecoderContext& ctx, const List& list, int count) {
    Ids ids;
    for (int i = 0; i < count; ++i) ids.push_back(ctx.item.ParamAt(list[i]).id);
    return ids;
}
inline Ids CurrentIds(const DecoderContext& ctx) {
    return ParamIds(ctx, ctx.item.curParamList, ctx.item.curParamCount);
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

// ID, value, ID, value, ... as pairs.
inline IdValues Pairs(const std::vector<int64_t>& flat) {
    IdValues pairs;
    for (size_t k = 0; k + 1 < flat.size(); k += 2) {
        pairs.emplace_back(static_cast<uint32_t>(flat[k]), static_cast<int32_t>(flat[k + 1]));
    }
    return pairs;
}

// One packet of a sequence: log code, payload, the current list it must leave (flat: ID, value,
// ...), the carrier mode set before it (kKeepMode: unchanged), its time and message code.
inline constexpr int32_t kKeepMode = INT32_MIN;
struct Step {
    uint16_t code;
    Bytes payload;
    std::vector<int64_t> current;
    int32_t mode = kKeepMode;
    uint64_t ticks = 0;
    uint32_t msgCode = 0;
};

class RecordHarness {
  public:
    DecoderContext& Ctx() { return *ctx_; }

    // A log packet with `payload`, stamped `ticks` (1.25 ms units), through `handlers`.
    void Log(uint16_t logCode, const Bytes& payload, std::initializer_list<LogHandler> handlers,
             uint32_t msgCode = 0, uint64_t ticks = 0, int32_t extra = 0) {
        Packet(LogPacket(logCode, payload, ticks), handlers, msgCode, extra);
    }

    // A log packet through the handlers its route names, parameters first, as the dispatcher
    // runs them.
    void Routed(uint16_t logCode, const Bytes& payload, uint32_t msgCode = 0, uint64_t ticks = 0) {
        const LogRoute* r = FindLogRoute(logCode);
        ASSERT_TRUE(r != nullptr) << std::hex << logCode;
        const LogHandler none = [](DecoderContext&, PacketView, int32_t) {};
        const int32_t extra = r->extra == ExtraArg::LogCode ? logCode : 0;
        Log(logCode, payload, {r->param ? r->param : none, r->structured ? r->structured : none},
            msgCode, ticks, extra);
    }

    // Each step routed in turn, its current list checked.
    void Steps(const std::vector<Step>& steps) {
        for (size_t i = 0; i < steps.size(); ++i) {
            const Step& s = steps[i];
            SCOPED_TRACE(testing::Message() << "step " << i << " code " << std::hex << s.code);
            if (s.mode != kKeepMode) ctx_->carrierMode = s.mode;
            Routed(s.code, s.payload, s.msgCode, s.ticks);
            ExpectCurrent(Pairs(s.current));
        }
    }

    // Any packet (without check bytes) through `handlers`.
    void Packet(const Bytes& raw, std::initializer_list<LogHandler> handlers, uint32_t msgCode = 0,
                int32_t extra = 0) {
        packet_ = Dispatched(raw);
        ResetParamLists(*ctx_);
        ctx_->item.msgCode = msgCode;
        const PacketView view(packet_.data(), static_cast<int32_t>(packet_.size()));
        for (LogHandler h : handlers) h(*ctx_, view, extra);
    }

    // Publishes a value as an earlier packet's decoder would have.
    void Preset(uint32_t id, int32_t value) {
        ResetParamLists(*ctx_);
        uint16_t run = 0;
        SetParam(*ctx_, static_cast<uint16_t>(ParamSlotOf(id) * kParamRecordSize), id, value, run);
        ctx_->item.curParamCount = run;
        BuildParamLists(*ctx_);
    }

    Ids Current() const { return CurrentIds(*ctx_); }
    Ids Inherited() const {
        return ParamIds(*ctx_, ctx_->item.inhParamList, ctx_->item.inhParamCount);
    }
    Ids CurrentStructs() const { return CurrentStructIds(*ctx_); }

    // The current list holds exactly the IDs of `expected`, in order, with these values.
    void ExpectCurrent(const IdValues& expected) const {
        Ids ids;
        for (const auto& [id, value] : expected) ids.push_back(id);
        EXPECT_EQ(Current(), ids);
        for (const auto& [id, value] : expected) EXPECT_EQ(Value(id), value) << std::hex << id;
    }

    int32_t Value(uint32_t id) const { return ValueOf(*ctx_, id); }
    int32_t State(uint32_t id) const { return ParamOf(*ctx_, id).state; }

    StructRecordView Struct(uint32_t id) const { return StructOf(*ctx_, id); }
    template <typename T>
    T StructAt(uint32_t id, size_t offset) const {
        return PayloadAt<T>(*ctx_, id, offset);
    }
    Bytes StructBytes(uint32_t id, size_t offset, size_t n) const {
        return PayloadBytes(*ctx_, id, offset, n);
    }
    // `n` little-endian 32-bit words of a structure from `offset`.
    std::vector<uint32_t> StructWords(uint32_t id, size_t offset, size_t n) const {
        std::vector<uint32_t> words;
        for (size_t i = 0; i < n; ++i) words.push_back(StructAt<uint32_t>(id, offset + 4 * i));
        return words;
    }
    // The structure holds `words` (little-endian 32-bit) or `bytes` from `offset`.
    void ExpectWords(uint32_t id, size_t offset, const std::vector<uint32_t>& words) const {
        EXPECT_EQ(StructWords(id, offset, words.size()), words) << std::hex << id << " +" << offset;
    }
    void ExpectBytes(uint32_t id, size_t offset, const Bytes& bytes) const {
        EXPECT_EQ(StructBytes(id, offset, bytes.size()), bytes) << std::hex << id << " +" << offset;
    }

  private:
    std::unique_ptr<DecoderContext> ctx_ = std::make_unique<DecoderContext>();
    Bytes packet_;
};

// Little-endian payload pieces.
template <typename T>
Bytes Le(std::initializer_list<T> values) {
    Bytes b(values.size() * sizeof(T));
    for (size_t i = 0; i < values.size(); ++i) StoreLE(b.data() + i * sizeof(T), values.begin()[i]);
    return b;
}
inline Bytes U16s(std::initializer_list<uint16_t> values) {
    return Le(values);
}
inline Bytes Zeros(size_t n) {
    return Bytes(n, 0);
}

}  // namespace tessavo::test
