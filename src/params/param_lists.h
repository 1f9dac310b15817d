// Publishing values and maintaining the current / inherited lists of the report item.
//
// A record's state: Fresh (1) when this packet set it, Inherited (0) when an earlier packet
// did, Cleared (-1) when this packet cleared it, Retired (-2) after that. A record that was
// never written is in no list. Decoders publish only through ParamRun / StructRun.
#pragma once

#include <cstddef>
#include <cstdint>

#include "params/param_store.h"

namespace tessavo {

// --- Operations on the context (also used by the dispatcher and direct-parameter packets) ---

// Writes the record (Fresh, ID, value), stores its offset at current-list entry `runCount`
// (when below the capacity) and remembers it in the touched set; advances `runCount`.
void SetParam(ParamStore& ctx, uint16_t offset, uint32_t id, int32_t value, uint16_t& runCount);
// Writes the header (Fresh, ID, length = capacity) and the payload, cut or zero-filled to the
// record's capacity; advances `runCount`.
void SetStructParam(ParamStore& ctx, uint16_t offset, uint32_t id, const uint8_t* payload,
                    size_t payloadLength, uint16_t& runCount);
bool IsParamTouched(const ParamStore& ctx, uint16_t offset);
// Start of every packet: Fresh becomes Inherited, Cleared becomes Retired; every valid
// parameter is listed as inherited and the current lists are empty.
void ResetParamLists(ParamStore& ctx);
// End of a decoder run: inherited list rebuilt, records cleared by the run appended to the
// current list, 0x7F010014 kept current while Fresh.
void BuildParamLists(ParamStore& ctx);
void BuildStructParamLists(ParamStore& ctx);

void ClearParam(ParamStore& ctx, uint16_t offset);
void ClearParamGroupA(ParamStore& ctx);
void ClearParamGroupB(ParamStore& ctx);
void ClearParamGroupC(ParamStore& ctx);
void ClearParamGroupD(ParamStore& ctx);

// Mode parameters: selector 0 publishes the channel state (0x7F01C102), 1 ModeC103
// (0x7F01C103), 2 both; other selectors nothing.
void PublishModeParams(ParamStore& ctx, int selector, uint16_t& runCount);

// One scalar decoder run. Owns the run counter and the end-of-run list rebuild, which runs
// in Finish() or, if the decoder did not call it, when the run goes out of scope.
class ParamRun {
  public:
    explicit ParamRun(ParamStore& ctx) : ctx_(ctx) {}
    ParamRun(const ParamRun&) = delete;
    ParamRun& operator=(const ParamRun&) = delete;
    ~ParamRun() { Finish(); }

    void Set(ParamRef p, int32_t value) { SetParam(ctx_, p.offset, p.id, value, runCount_); }
    // Publishes nothing when the value holds the no-value mark.
    void SetKnown(ParamRef p, int32_t value) {
        if (value != kNoValue) Set(p, value);
    }
    void Clear(ParamRef p) { ClearParam(ctx_, p.offset); }
    void PublishMode(int selector) { PublishModeParams(ctx_, selector, runCount_); }
    uint16_t Count() const { return runCount_; }
    ParamStore& Context() { return ctx_; }

    void Finish();

  private:
    ParamStore& ctx_;
    uint16_t runCount_ = 0;
    bool finished_ = false;
};

// One structured decoder run; the same life cycle as ParamRun.
class StructRun {
  public:
    explicit StructRun(ParamStore& ctx) : ctx_(ctx) {}
    StructRun(const StructRun&) = delete;
    StructRun& operator=(const StructRun&) = delete;
    ~StructRun() { Finish(); }

    void Set(StructParamRef p, const void* payload, size_t length) {
        SetStructParam(ctx_, p.offset, p.id, static_cast<const uint8_t*>(payload), length,
                       runCount_);
    }
    // The header's data word of the record, for the decoders that publish the blob address.
    void SetDataToPayload(StructParamRef p) {
        StructRecordView rec = ctx_.item.StructAt(p.offset);
        rec.SetDataToPayload();
        ctx_.Mark(rec.record, kStructHeaderSize);
    }
    uint16_t Count() const { return runCount_; }

    void Finish();

  private:
    ParamStore& ctx_;
    uint16_t runCount_ = 0;
    bool finished_ = false;
};

// A structured run of one record: sets it and finishes the run.
inline void PublishStruct(ParamStore& ctx, StructParamRef p, const void* payload, size_t length) {
    StructRun run(ctx);
    run.Set(p, payload, length);
}

}  // namespace tessavo
