#include "params/struct_param_table.h"

#include <cstring>

#include "common/messages.h"

namespace tessavo {

uint16_t GetSParamOffset(uint32_t id) {
    const uint32_t index = id - kFirstStructParamId;
    if (index < static_cast<uint32_t>(kMappedStructParams)) return kStructParamOffsets[index];
    PrintMessage("Function 'GetSParamOffset' calculate the offset error\n");
    return 0xFFFF;
}

uint32_t StructCapacityAtOffset(uint16_t offset) {
    for (int i = 0; i < kStructParamCount; ++i) {
        if (kStructParamOffsets[static_cast<size_t>(i)] == offset) return StructPayloadCapacity(i);
    }
    return 0;
}

void ConstructStructParamTable(uint8_t* area) {
    for (int i = 0; i < kStructParamCount; ++i) {
        StructRecordView rec{area + kStructParamOffsets[static_cast<size_t>(i)]};
        rec.SetState(TESSAVO_STATE_CLEARED);
        rec.SetId(kFirstStructParamId + static_cast<uint32_t>(i));
        rec.SetLength(0);
        rec.SetData(0);
    }
}

void StructRecordView::SetDataToPayload() {
    const auto address = reinterpret_cast<uintptr_t>(Payload());
    SetData(address <= UINT32_MAX ? static_cast<uint32_t>(address) : 0);
}

}  // namespace tessavo
