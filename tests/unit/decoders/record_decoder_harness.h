// Runs 1x record decoders the way the dispatcher does (list reset, message code, handlers on
// the dispatched packet) and reads the current report item back by parameter ID.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "bits/packet_view.h"
#include "common/le.h"
#include "decoders/decoder.h"
#include "params/param_lists.h"
#include "support/packet_builder.h"

namespace tessavo::test {

using Ids = std::vector<uint32_t>;
using IdValues = std::vector<std::pair<uint32_t, int32_t>>;

class RecordHarness {
  public:
    DecoderContext& Ctx() { return *ctx_; }

    // A log packet with `payload`, stamped `ticks` (1.25 ms units), through `handlers`.
    void Log(uint16_t logCode, const Bytes& payload, std::initializer_list<LogHandler> handlers,
             uint32_t msgCode = 0, uint64_t ticks = 0, int32_t extra = 0) {
        Packet(LogPacket(logCode, payload, ticks), handlers, msgCode, extra);
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
        SetParam(*ctx_, Offset(id), id, value, run);
        ctx_->item.curParamCount = run;
        BuildParamLists(*ctx_);
    }

    Ids Current() const { return ParamIds(ctx_->item.curParamList, ctx_->item.curParamCount); }
    Ids Inherited() const { return ParamIds(ctx_->item.inhParamList, ctx_->item.inhParamCount); }
    Ids CurrentStructs() const {
        Ids ids;
        for (int i = 0; i < ctx_->item.curStructCount; ++i) {
            ids.push_back(ctx_->item.StructAt(ctx_->item.curStructList[i]).Id());
        }
        return ids;
    }

    // The current list holds exactly the IDs of `expected`, in order, with these values.
    void ExpectCurrent(const IdValues& expected) const {
        Ids ids;
        for (const auto& [id, value] : expected) ids.push_back(id);
        EXPECT_EQ(Current(), ids);
        for (const auto& [id, value] : expected) EXPECT_EQ(Value(id), value) << std::hex << id;
    }

    int32_t Value(uint32_t id) const { return Record(id).value; }
    int32_t State(uint32_t id) const { return Record(id).state; }

    StructRecordView Struct(uint32_t id) const {
        return ctx_->item.StructAt(kStructParamOffsets[id - kFirstStructParamId]);
    }
    template <typename T>
    T StructAt(uint32_t id, size_t offset) const {
        return LoadLE<T>(Struct(id).Payload() + offset);
    }
    Bytes StructBytes(uint32_t id, size_t offset, size_t n) const {
        const uint8_t* p = Struct(id).Payload() + offset;
        return Bytes(p, p + n);
    }
    // `n` little-endian 32-bit words of a structure from `offset`.
    std::vector<uint32_t> StructWords(uint32_t id, size_t offset, size_t n) const {
        std::vector<uint32_t> words;
        for (size_t i = 0; i < n; ++i) words.push_back(StructAt<uint32_t>(id, offset + 4 * i));
        return words;
    }

  private:
    template <typename List>
    Ids ParamIds(const List& list, int count) const {
        Ids ids;
        for (int i = 0; i < count; ++i) ids.push_back(ctx_->item.ParamAt(list[i]).id);
        return ids;
    }
    static uint16_t Offset(uint32_t id) {
        return static_cast<uint16_t>(ParamSlotOf(id) * kParamRecordSize);
    }
    const DecodeParam& Record(uint32_t id) const { return ctx_->item.ParamAt(Offset(id)); }

    std::unique_ptr<DecoderContext> ctx_ = std::make_unique<DecoderContext>();
    Bytes packet_;
};

// Little-endian payload pieces.
inline Bytes U16s(std::initializer_list<uint16_t> values) {
    Bytes b;
    for (uint16_t v : values) PutU16(b, v);
    return b;
}
inline Bytes Zeros(size_t n) {
    return Bytes(n, 0);
}

}  // namespace tessavo::test
