#include "params/param_table.h"

#include "common/messages.h"

namespace tessavo {

uint16_t GetParamOffset(uint32_t id) {
    const int offset = ParamSlotOf(id) * kParamRecordSize;
    if (offset >= kParamCount * kParamRecordSize) {
        PrintMessage("Function 'GetParamOffset' calculate the offset error\n");
        return kNoOffset;
    }
    return static_cast<uint16_t>(offset);
}

void ConstructParamTable(DecodeParam* table) {
    for (int slot = 0; slot < kParamCount; ++slot) {
        const uint32_t id = ParamIdOfSlot(slot);
        table[slot] = DecodeParam{TESSAVO_STATE_CLEARED, id, 0, ParamScaleOf(id)};
    }
}

}  // namespace tessavo
